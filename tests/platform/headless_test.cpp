// vantrel-headless end to end with a stand-in game: the frame limit, scripts,
// captures, the WAV length and header, and the save folder.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "common/test_files.h"
#include "common/test_run.h"

namespace {

uint32_t le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; i--) v = v << 8 | (uint8_t)s[at + i];
  return v;
}

uint32_t be32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) v = v << 8 | (uint8_t)s[at + i];
  return v;
}

int count_lines(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

struct HeadlessRun : ::testing::Test {
  std::string dir;
  std::string err;
  std::string out;
  void SetUp() override {
    dir = test_temp_dir("vantrel_headless_");
    ASSERT_FALSE(dir.empty());
  }
  void TearDown() override { ASSERT_EQ(0, test_remove_dir(dir)); }
  void write(const std::string& name, const std::string& text) {
    test_write_file(dir + "/" + name, text);
  }
  // Runs the runner in the test folder; returns its exit status.
  int run(const std::string& args) {
    std::string command = "cd '" + dir + "' && '" FAKE_RUNNER "' --save-dir save " + args +
                          " >stdout.txt 2>stderr.txt";
    int status = test_run(command);
    out = test_read_file(dir + "/stdout.txt");
    err = test_read_file(dir + "/stderr.txt");
    return status;
  }
  std::string file(const std::string& name) { return test_read_file(dir + "/" + name); }
  bool exists(const std::string& name) {
    struct stat st;
    return stat((dir + "/" + name).c_str(), &st) == 0;
  }
};

TEST_F(HeadlessRun, FrameLimitExitsWithThreeAfterExactlyNFrames) {
  EXPECT_EQ(3, run("--frames 10 --trace t.csv"));
  std::string trace = file("t.csv");
  EXPECT_EQ(11, count_lines(trace));
  EXPECT_EQ(0u, trace.find("frame,game_state,room_number,avatar_x,avatar_y,airborne,fall_speed,"
                           "respawn_timer,paused\n"));
  EXPECT_NE(std::string::npos, trace.find("\n9,1,10,16666,"));  // frame 9 is the 10th call
  EXPECT_EQ(std::string::npos, trace.find("\n10,"));
  EXPECT_EQ(3, run("--frames 0 --trace t.csv"));
  EXPECT_EQ(1, count_lines(file("t.csv")));
}

TEST_F(HeadlessRun, WavHoldsExactlyTheFrameTimeOfSound) {
  EXPECT_EQ(3, run("--frames 10 --wav a.wav"));
  std::string wav = file("a.wav");
  ASSERT_EQ(44u + 10 * 735 * 4, wav.size());
  EXPECT_EQ("RIFF", wav.substr(0, 4));
  EXPECT_EQ(wav.size() - 8, le32(wav, 4));
  EXPECT_EQ("WAVEfmt ", wav.substr(8, 8));
  EXPECT_EQ(44100u, le32(wav, 24));
  EXPECT_EQ(10u * 735 * 4, le32(wav, 40));
  // The tone written ahead of the write cursor is heard: not all silence.
  EXPECT_NE(std::string::npos, wav.find_first_not_of('\0', 44));

  EXPECT_EQ(3, run("--frames 7 --dt 0.02 --wav a.wav"));
  EXPECT_EQ(44u + 7 * 882 * 4, file("a.wav").size());
  EXPECT_EQ(3, run("--frames 3 --dt=0.001 --wav a.wav"));  // 44.1 frames each: 132 in all
  EXPECT_EQ(44u + 132 * 4, file("a.wav").size());

  EXPECT_EQ(3, run("--frames 5 --wav a.wav -sound"));      // no device: silence, same length
  wav = file("a.wav");
  ASSERT_EQ(44u + 5 * 735 * 4, wav.size());
  EXPECT_EQ(std::string::npos, wav.find_first_not_of('\0', 44));
}

TEST_F(HeadlessRun, ScriptEventsArriveBeforeTheirFrameAndQuitCarriesTheCode) {
  write("s.txt", "# press Q before frame 4\n2 down A\n4 down Q\n");
  EXPECT_EQ(9, run("--script s.txt --trace t.csv --frames 100"));
  std::string trace = file("t.csv");
  EXPECT_EQ(5, count_lines(trace));  // header and frames 0..3
  EXPECT_NE(std::string::npos, trace.find("\n1,1,2,16666,0,0,"));
  EXPECT_NE(std::string::npos, trace.find("\n2,1,3,16666,0,65,"));  // A seen before frame 2
  write("esc.txt", "3 down ESCAPE\n");
  EXPECT_EQ(0, run("--script esc.txt --frames 100 --trace t.csv"));
  EXPECT_EQ(4, count_lines(file("t.csv")));
}

TEST_F(HeadlessRun, CapturesAreRgbPngsOfTheChosenFrames) {
  EXPECT_EQ(3, run("--frames 10 --capture shots --capture-every 4"));
  EXPECT_TRUE(exists("shots/frame_000000.png"));
  EXPECT_TRUE(exists("shots/frame_000004.png"));
  EXPECT_TRUE(exists("shots/frame_000008.png"));
  EXPECT_FALSE(exists("shots/frame_000001.png"));
  EXPECT_FALSE(exists("shots/frame_000010.png"));
  std::string png = file("shots/frame_000004.png");
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ("\x89PNG", png.substr(0, 4));
  EXPECT_EQ("IHDR", png.substr(12, 4));
  EXPECT_EQ(800u, be32(png, 16));
  EXPECT_EQ(600u, be32(png, 20));
  EXPECT_EQ(8, png[24]);  // bit depth
  EXPECT_EQ(2, png[25]);  // truecolour RGB
  EXPECT_NE(file("shots/frame_000000.png"), png);

  EXPECT_EQ(3, run("--frames 10 --capture more/nested --capture-frames 9,2"));
  EXPECT_TRUE(exists("more/nested/frame_000002.png"));
  EXPECT_TRUE(exists("more/nested/frame_000009.png"));
  EXPECT_FALSE(exists("more/nested/frame_000000.png"));
}

TEST_F(HeadlessRun, SaveLivesUnderTheSaveDirAndCarriesOver) {
  write("s.txt", "2 down S\n");
  EXPECT_EQ(3, run("--script s.txt --frames 4"));
  std::string save = file("save/Orrinvale/qorvel/save");
  ASSERT_EQ(4u, save.size());
  EXPECT_EQ(2u, le32(save, 0));  // two frames had run when S arrived
  EXPECT_EQ(3, run("--frames 1 --trace t.csv"));  // the next run reads it back
  EXPECT_NE(std::string::npos, file("t.csv").find("\n0,1,3,"));
}

}  // namespace
