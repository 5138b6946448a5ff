// From sources to packed.dat: the shipped directory order with any subset of
// entries, key colours that the game's own PNG decoder reads back exactly, and
// the generator's exit status and messages on broken sources.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "assets/asset_build.h"
#include "assets/asset_pack.h"
#include "assets/asset_source.h"
#include "common/test_files.h"
#include "common/test_run.h"
#include "core/bitmap.h"
#include "image/image.h"
#include "pack/archive_write.h"

namespace {

struct PackTest : ::testing::Test {
  std::string dir;
  void SetUp() override {
    ASSERT_FALSE((dir = test_temp_dir("vantrel_pack_")).empty());
    ASSERT_EQ(0, test_run("mkdir -p '" + dir + "/src/rooms' '" + dir + "/music'"));
  }
  void TearDown() override { ASSERT_EQ(0, test_remove_dir(dir)); }
  void write(const std::string& name, const std::string& text) { test_write_file(dir + "/" + name, text); }
  // Runs the generator executable; returns its exit status, stderr in err.
  int run_tool(const std::string& args, std::string* err) {
    std::string command = "'" ASSETS_TOOL "' " + args + " 2>'" + dir + "/err.txt'";
    int status = test_run(command);
    *err = test_read_file(dir + "/err.txt");
    return status;
  }
};

TEST_F(PackTest, ArchiveHoldsWhatExistsInShippedOrderAndDecodesToTheSameClasses) {
  write("src/title.img", "image title.png 800 600\nrect 100 100 600 50 1\n");
  write("src/rooms/r02.img", "image r02.png 800 600\nrect 0 560 800 40 1\ncircle 400 300 50 14\n");
  write("src/rooms/r01.img", "image r01.png 800 600\nfill 1\n");
  write("src/cr05.img", "image cr05.png 7 5\ngrid 1\n.#23456\n789abcd\nefg....\nend\n");
  write("src/avatar.img", "image avatar.png 60 80\nrect 10 0 40 78 16\nrect 10 78 40 2 1\n");
  write("src/notes.txt", "not a source\n");
  write("music/merged_data.txt", "table");
  write("music/merged.ogg", "OggS...");
  AssetBuildOptions options;
  options.assets_dir = dir + "/src";
  options.music_dir = dir + "/music";
  options.out_path = dir + "/packed.dat";
  std::vector<AssetImage> images;
  ASSERT_TRUE(asset_build(options, &images));
  std::vector<uint8_t> bytes;
  std::vector<ArchiveFile> files;
  ASSERT_TRUE(archive_read_file_bytes(options.out_path.c_str(), &bytes));
  ASSERT_TRUE(archive_read_bytes(bytes, &files));
  std::vector<std::string> names;
  for (const ArchiveFile& f : files) names.push_back(f.name);
  EXPECT_EQ((std::vector<std::string>{"avatar.png", "cr05.png", "merged.ogg", "merged_data.txt", "r01.png",
                                      "r02.png", "title.png"}),
            names);
  EXPECT_EQ("table", std::string(files[3].data.begin(), files[3].data.end()));

  // Every image back through the game's decoder: exact key colours, so each
  // pixel classifies to the class it was painted with.
  for (const ArchiveFile& f : files) {
    if (f.name.find(".png") == std::string::npos) continue;
    const AssetImage* source = nullptr;
    for (const AssetImage& img : images)
      if (img.name == f.name) source = &img;
    ASSERT_NE(nullptr, source) << f.name;
    int32_t w = 0, h = 0, comps = 0;
    uint8_t* rgba = image_load_from_memory(f.data.data(), (int32_t)f.data.size(), &w, &h, &comps, 4);
    ASSERT_TRUE(rgba && source->width == w && source->height == h) << f.name;
    int wrong = 0;
    for (int i = 0; i < w * h; i++) {
      uint32_t word = rgba[4 * i] | (rgba[4 * i + 1] << 8) | ((uint32_t)rgba[4 * i + 2] << 16);
      int cls = -1;
      for (int c = 0; c < BITMAP_CLASS_COUNT; c++)
        if (BITMAP_KEY_COLOURS[c] == word) cls = c;
      wrong += cls != source->pixels[i] || rgba[4 * i + 3] != 255;
    }
    EXPECT_EQ(0, wrong) << f.name;
    free(rgba);
  }
}

TEST_F(PackTest, BrokenSourcesAreAllReportedAndNothingIsWritten) {
  write("src/a.img", "image cr04.png 10 10\nrect 0 0 1\n");
  write("src/b.img", "image avatar.png 60 60\n");
  write("src/c.img", "image cr05.png 4 4\n");
  write("src/d.img", "image cr05.png 4 4\n");
  write("packed.dat", "old");
  std::string err;
  EXPECT_EQ(1, run_tool("--assets '" + dir + "/src' --out '" + dir + "/packed.dat'", &err));
  EXPECT_NE(std::string::npos, err.find(dir + "/src/a.img:2: usage: rect")) << err;
  EXPECT_NE(std::string::npos, err.find(dir + "/src/b.img:1: avatar.png must be 60 x 80")) << err;
  EXPECT_NE(std::string::npos, err.find(dir + "/src/d.img:1: entry cr05.png is already made by " + dir +
                                        "/src/c.img:1"))
      << err;
  EXPECT_EQ("old", test_read_file(dir + "/packed.dat"));  // untouched
  EXPECT_EQ(2, run_tool("--bogus x", &err));
  EXPECT_EQ(1, run_tool("--assets '" + dir + "/empty'", &err));
  EXPECT_NE(std::string::npos, err.find("no *.img sources")) << err;
}

}  // namespace
