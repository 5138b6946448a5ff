// The packed.dat this build generated, in the real game: vantrel-headless
// starts on the title screen with it, runs to its frame limit (exit 3), and
// the frames it captures are noise that moves: neither uniform nor the same
// from one frame to the next.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_run.h"
#include "image/image.h"

namespace {

std::vector<uint8_t> decode(const std::string& path, int* w, int* h) {
  std::string bytes = test_read_file(path);
  int32_t width = 0, height = 0, comps = 0;
  uint8_t* rgb = image_load_from_memory((const uint8_t*)bytes.data(), (int32_t)bytes.size(), &width,
                                        &height, &comps, 3);
  std::vector<uint8_t> out;
  if (rgb) out.assign(rgb, rgb + (size_t)width * height * 3);
  free(rgb);
  *w = width;
  *h = height;
  return out;
}

TEST(ShippedArchive, StartsTheGameOnTheTitleScreen) {
  std::string dir = test_temp_dir("vantrel_start_");
  ASSERT_FALSE(dir.empty());
  ASSERT_EQ(0, test_run("cp '" PACKED_DAT "' '" + dir + "/packed.dat' && mkdir '" + dir + "/cap'"));
  std::string command = "cd '" + dir + "' && '" REAL_RUNNER
                        "' -sound --save-dir save --frames 302 --trace t.csv "
                        "--capture cap --capture-frames 300,301 >out.txt 2>err.txt";
  int status = test_run(command);
  ASSERT_NE(-1, status);  // it exited, not killed by a signal
  EXPECT_EQ(3, status) << test_read_file(dir + "/err.txt");
  // Still on the title screen (game_state 1) at the end: no key was pressed.
  std::string trace = test_read_file(dir + "/t.csv");
  size_t last = trace.rfind('\n', trace.size() - 2);
  ASSERT_NE(std::string::npos, last);
  EXPECT_EQ(0u, trace.find("frame,game_state")) << trace.substr(0, 80);
  EXPECT_EQ(',', trace[trace.find(',', last + 1) + 2]);
  EXPECT_EQ('1', trace[trace.find(',', last + 1) + 1]);

  std::vector<std::string> captures;
  std::string listing;
  ASSERT_EQ(0, test_run("ls '" + dir + "/cap' > '" + dir + "/ls.txt'"));
  std::stringstream names(test_read_file(dir + "/ls.txt"));
  std::string name;
  while (std::getline(names, name)) captures.push_back(dir + "/cap/" + name);
  ASSERT_EQ(2u, captures.size());
  int w = 0, h = 0, w2 = 0, h2 = 0;
  std::vector<uint8_t> a = decode(captures[0], &w, &h), b = decode(captures[1], &w2, &h2);
  ASSERT_EQ(800, w);
  ASSERT_EQ(600, h);
  ASSERT_EQ(a.size(), b.size());
  size_t differing_from_first = 0, changed = 0;
  for (size_t i = 0; i + 2 < a.size(); i += 3) {
    differing_from_first += a[i] != a[0];
    changed += a[i] != b[i];
  }
  EXPECT_GT(differing_from_first, a.size() / 3 / 10);  // noise, not a flat screen
  EXPECT_GT(changed, a.size() / 3 / 10);               // and it moves
  EXPECT_EQ(0, test_remove_dir(dir));
}

}  // namespace
