// The real game through vantrel-headless on the small archive make_test_archive
// writes: the runner's frame limit, script, captures, WAV length and save
// folder; two runs with the same arguments, one of them paced in real time,
// leave byte-identical frames, sound, trace and save.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_run.h"

namespace {

std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::stringstream lines(text);
  std::string line, cell;
  while (std::getline(lines, line)) {
    std::stringstream cells(line);
    rows.emplace_back();
    while (std::getline(cells, cell, ',')) rows.back().push_back(cell);
  }
  return rows;
}

struct GameRun : ::testing::Test {
  std::string root, err;
  void SetUp() override { ASSERT_FALSE((root = test_temp_dir("vantrel_game_")).empty()); }
  void TearDown() override { ASSERT_EQ(0, test_remove_dir(root)); }
  // A fresh working folder holding packed.dat.
  std::string folder(const std::string& name) {
    std::string dir = root + "/" + name;
    EXPECT_EQ(0, mkdir(dir.c_str(), 0755));
    EXPECT_EQ(0, test_run("'" ARCHIVE_MAKER "' '" + dir + "/packed.dat'"));
    return dir;
  }
  int run(const std::string& dir, const std::string& args) {
    int status = test_run("cd '" + dir + "' && '" REAL_RUNNER "' --save-dir save " + args +
                          " >stdout.txt 2>stderr.txt");
    err = test_read_file(dir + "/stderr.txt");
    return status;
  }
  bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
  }
};

TEST_F(GameRun, RepeatRunsAreByteIdenticalAndTheSaveCarriesOver) {
  // Start a new game, walk right over the block into room 2 (the room change
  // writes the save), pause and unpause.
  const std::string script =
      "20 down SPACE\n21 up SPACE\n40 down RIGHT\n100 down SPACE\n106 up SPACE\n"
      "300 up RIGHT\n305 down P\n306 up P\n315 down PAUSE\n";
  const std::string args =
      "--script s.txt --frames 330 --capture c --capture-every 50 --wav a.wav --trace t.csv";
  std::string one = folder("one"), two = folder("two");
  test_write_file(one + "/s.txt", script);
  test_write_file(two + "/s.txt", script);
  ASSERT_EQ(3, run(one, args)) << err;
  ASSERT_EQ(3, run(two, args + " --pace")) << err;  // real-time pacing changes nothing played

  std::string trace = test_read_file(one + "/t.csv");
  EXPECT_EQ(trace, test_read_file(two + "/t.csv"));
  std::string wav = test_read_file(one + "/a.wav");
  ASSERT_EQ(44u + 330u * 735 * 4, wav.size());
  EXPECT_TRUE(wav == test_read_file(two + "/a.wav"));
  for (int frame = 0; frame < 330; frame += 50) {
    char name[32];
    snprintf(name, sizeof name, "/c/frame_%06d.png", frame);
    std::string png = test_read_file(one + name);
    ASSERT_GT(png.size(), 1000u) << name;
    EXPECT_EQ("\x89PNG", png.substr(0, 4));
    EXPECT_TRUE(png == test_read_file(two + name)) << name;
  }
  EXPECT_FALSE(exists(one + "/c/frame_000001.png"));
  std::string save = test_read_file(one + "/save/Orrinvale/qorvel/save");
  ASSERT_EQ(24u, save.size());
  EXPECT_EQ(2, save[0]);  // room 2
  EXPECT_EQ(save, test_read_file(two + "/save/Orrinvale/qorvel/save"));

  // The run really played: title, then play, then room 2, then paused.
  auto rows = csv_rows(trace);
  ASSERT_EQ(331u, rows.size());
  EXPECT_EQ("1", rows[1][1]);
  EXPECT_EQ("0", rows[100][1]);
  EXPECT_EQ("1", rows[100][2]);
  EXPECT_EQ("2", rows[300][2]);
  EXPECT_NE("0", rows[310][8]);  // P paused
  EXPECT_EQ("0", rows[320][8]);  // Pause acts as P and resumes

  // The next run in the same folder reads the save: the menu offers "continue".
  ASSERT_EQ(3, run(one, "--frames 1 --trace t.csv -sound")) << err;
  EXPECT_EQ("2", csv_rows(test_read_file(one + "/t.csv"))[1][1]);
}

}  // namespace
