// The simulation end to end through vantrel-headless: a synthetic room of
// loose files (+cheat) over the small test archive. The trace must show the
// fall, the walk over a step, a jump, the death on a deadly pillar and the
// return to the checkpoint; the sound, the death cue and nothing before it.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_run.h"

namespace {

struct TraceRow {
  int frame, game_state, room, x, y, airborne, fall_speed;
  float respawn_timer;
};

std::vector<TraceRow> read_trace(const std::string& path) {
  std::vector<TraceRow> rows;
  std::stringstream lines(test_read_file(path));
  std::string line;
  std::getline(lines, line);  // header
  while (std::getline(lines, line)) {
    TraceRow r;
    float paused;
    if (sscanf(line.c_str(), "%d,%d,%d,%d,%d,%d,%d,%f,%f", &r.frame, &r.game_state, &r.room, &r.x,
               &r.y, &r.airborne, &r.fall_speed, &r.respawn_timer, &paused) == 9) {
      rows.push_back(r);
    }
  }
  return rows;
}

// Largest absolute sample per video frame of 735 audio frames (44100 / 60).
std::vector<int> wav_peaks(const std::string& path) {
  std::string d = test_read_file(path);
  std::vector<int> peaks;
  size_t i = 12;
  while (i + 8 <= d.size()) {
    uint32_t n;
    memcpy(&n, d.data() + i + 4, 4);
    if (d.compare(i, 4, "data") == 0) {
      const int16_t* s = (const int16_t*)(d.data() + i + 8);
      size_t count = n / 2;
      if (i + 8 + n > d.size()) count = (d.size() - i - 8) / 2;
      for (size_t f = 0; f + 735 * 2 <= count; f += 735 * 2) {
        int peak = 0;
        for (size_t k = f; k < f + 735 * 2; k++) peak = abs(s[k]) > peak ? abs(s[k]) : peak;
        peaks.push_back(peak);
      }
      break;
    }
    i += 8 + n;
  }
  return peaks;
}

TEST(SimRun, WalkJumpDieOnAHazardAndComeBackAtTheCheckpoint) {
  std::string dir = test_temp_dir("vantrel_sim_");
  ASSERT_FALSE(dir.empty());
  ASSERT_EQ(0, test_run("'" ARCHIVE_MAKER "' '" + dir + "/packed.dat'"));
  ASSERT_EQ(0, test_run("'" ROOM_MAKER "' '" + dir + "'"));
  {
    std::ofstream script(dir + "/s.txt");
    script << "5 down SPACE\n6 up SPACE\n"  // title: start a new game
           << "120 down RIGHT\n"             // walk right, over the step
           << "200 down SPACE\n204 up SPACE\n"
           << "300 up RIGHT\n";
  }
  std::string command = "cd '" + dir + "' && '" REAL_RUNNER
                        "' --save-dir save --script s.txt --trace t.csv --wav w.wav"
                        " --frames 480 +cheat >stdout.txt 2>stderr.txt";
  int status = test_run(command);
  ASSERT_NE(status, -1);  // it exited, not killed by a signal
  EXPECT_EQ(status, 3) << test_read_file(dir + "/stderr.txt");  // frame limit
  std::vector<TraceRow> t = read_trace(dir + "/t.csv");
  ASSERT_EQ(t.size(), 480u);

  // The new game starts in room 1 at (350, 50) and falls onto the floor.
  EXPECT_EQ(t[10].room, 1);
  EXPECT_EQ(t[10].x, 350);
  EXPECT_EQ(t[119].airborne, 0);
  const int floor_y = t[119].y;
  EXPECT_GT(floor_y, 400);

  // Walking right goes up the 16-px step and the jump rises 115 px above it.
  int step_y = floor_y, top = floor_y;
  for (int f = 120; f < 200; f++) step_y = t[f].y < step_y ? t[f].y : step_y;
  for (int f = 200; f < 260; f++) top = t[f].y < top ? t[f].y : top;
  EXPECT_EQ(t[150].x - t[140].x, 20);
  EXPECT_NEAR(floor_y - step_y, 16, 1);
  EXPECT_EQ(step_y - top, 115);

  // Death on the pillar (x 660..700): the burst starts at 1.5 s.
  int death = -1;
  for (int f = 200; f < 480 && death < 0; f++) {
    if (t[f].respawn_timer > 0.0f) death = f;
  }
  ASSERT_GT(death, 0);
  EXPECT_FLOAT_EQ(t[death].respawn_timer, 1.5f);
  EXPECT_GT(t[death].x + 60, 660);
  EXPECT_LT(t[death].x, 700);
  // Frozen through the burst, then back at the checkpoint 90 frames later.
  EXPECT_EQ(t[death + 80].x, t[death].x);
  int back = -1;
  for (int f = death + 1; f < 480 && back < 0; f++) {
    if (t[f].respawn_timer == 0.0f) back = f;
  }
  ASSERT_GT(back, 0);
  EXPECT_NEAR(back - death, 90, 1);
  EXPECT_EQ(t[back].x, 350);
  EXPECT_LE(t[back].y, 60);
  EXPECT_EQ(t[479].airborne, 0);
  EXPECT_EQ(t[479].y, floor_y) << "fell back onto the floor";

  // Sound: silence until the death, then the two fading noise bursts.
  std::vector<int> peaks = wav_peaks(dir + "/w.wav");
  ASSERT_GE(peaks.size(), 400u);
  for (int f = 0; f < death; f++) ASSERT_EQ(peaks[f], 0) << "frame " << f;
  int loud = 0;
  for (int f = death; f < death + 20; f++) loud = peaks[f] > loud ? peaks[f] : loud;
  EXPECT_GT(loud, 8000);
  EXPECT_LT(peaks[death + 60], loud / 4) << "the cue fades out";
  EXPECT_EQ(peaks[death + 100], 0);

  EXPECT_EQ(0, test_remove_dir(dir));
}

}  // namespace
