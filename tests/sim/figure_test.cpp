// The avatar figure: pose slots over a walk cycle in both directions, the
// sway after stopping, the joint interpolation with its mirroring, the
// hazard test on the drawn blobs and the death cues.
#include "sim/figure.h"

#include <utility>
#include <vector>

#include "audio/voice.h"
#include "sim/avatar.h"
#include "sim_fixture.h"

namespace {

const float DT = 1.0f / 32.0f;  // exact in binary: rate 8 -> 4 frames, rate 5 -> 7

class FigureTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    make_avatar();
    make_brushes();
    work = make_bitmap(800, 600, 0);
    g_game.work_bitmap = work;
    g_game.draw_target = work;
    g_game.avatar_x = 300;
    g_game.avatar_y = 300;
  }
  // Frames until pose_from changes, with the new (from, to).
  std::pair<int, int> next_pose(int* frames_out) {
    int from = g_game.pose_from, to = g_game.pose_to;
    for (int f = 1; f <= 100; f++) {
      avatar_figure_step(DT);
      if (g_game.pose_from != from || g_game.pose_to != to) {
        *frames_out = f;
        return {g_game.pose_from, g_game.pose_to};
      }
    }
    *frames_out = -1;
    return {-1, -1};
  }
  std::vector<int> joint(int i) { return {g_game.figure_joints[i][0], g_game.figure_joints[i][1]}; }

  Bitmap* work = nullptr;
};

TEST_F(FigureTest, WalkingLeftRunsTheCycleBackward) {
  g_game.key_held[AVATAR_KEY_LEFT] = 1;
  g_game.pose_from = 0;
  g_game.pose_to = 1;
  std::vector<int> targets;
  for (int i = 0; i < 6; i++) {
    int frames;
    targets.push_back(next_pose(&frames).second);
  }
  EXPECT_EQ(targets, (std::vector<int>{0, 3, 2, 1, 0, 3}));
  EXPECT_EQ(g_game.walk_dir, -1);
}

TEST_F(FigureTest, StoppingLeadsIntoTheSwayOfTheSlotItWasHeadingFor) {
  struct Case {
    int to;
    std::vector<int> targets;
  };
  for (const Case& c : {Case{1, {4, 5, 4, 5}}, Case{3, {6, 7, 6, 7}}}) {
    SCOPED_TRACE(c.to);
    g_game.pose_from = (c.to + 3) & 3;
    g_game.pose_to = c.to;
    g_game.pose_phase = 0.0f;
    std::vector<int> targets, frames;
    for (int i = 0; i < 4; i++) {
      int f;
      targets.push_back(next_pose(&f).second);
      frames.push_back(f);
    }
    EXPECT_EQ(targets, c.targets);
    // 1/5 s out of the walk, 1/5 s more out of the last walking slot, then
    // half a second per sway.
    EXPECT_EQ(frames, (std::vector<int>{7, 7, 16, 16}));
  }
}

TEST_F(FigureTest, BothKeysHeldIsNotWalking) {
  g_game.key_held[AVATAR_KEY_LEFT] = 1;
  g_game.key_held[AVATAR_KEY_RIGHT] = 1;
  int frames;
  auto p = next_pose(&frames);
  EXPECT_EQ(p, std::make_pair(5, 4));
  EXPECT_EQ(frames, 16);
}

TEST_F(FigureTest, FirstTicksOffALedgeKeepStepping) {
  g_game.airborne = 1;
  g_game.air_ticks = 2;
  g_game.pose_from = 0;
  g_game.pose_to = 1;
  int frames;
  auto p = next_pose(&frames);
  EXPECT_EQ(p, std::make_pair(1, 2));
  EXPECT_EQ(frames, 4);
  // Well into a jump: the figure eases into a sway instead.
  g_game.air_ticks = 99999;
  p = next_pose(&frames);
  EXPECT_EQ(p, std::make_pair(2, 7));  // (2 ^ 1) | 4: the mirrored sway
  EXPECT_EQ(frames, 7);
}

TEST_F(FigureTest, FigureIsDrawnIntoTheWorkBitmapInsideTheAvatarBox) {
  avatar_figure_step(DT);
  EXPECT_EQ(g_game.draw_target, work);
  int inside = 0, outside = 0;
  for (int y = 0; y < 600; y++) {
    for (int x = 0; x < 800; x++) {
      if (!at(work, x, y)) continue;
      (x >= 300 && x < 360 && y >= 300 && y < 380 ? inside : outside)++;
    }
  }
  EXPECT_GT(inside, 40);
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(g_game.respawn_timer, 0.0f);
}

TEST_F(FigureTest, OnlyDeadlyClassesUnderTheBlobsKill) {
  for (int fly = 0; fly < 2; fly++) {
    for (int cls = 0; cls <= 16; cls++) {
      SCOPED_TRACE(cls + 100 * fly);
      fill_rect(work, 0, 0, 800, 600, (uint8_t)cls);
      g_game.fly_mode = fly;
      g_game.respawn_timer = 0.0f;
      g_game.ring_radius = 0.7f;
      avatar_figure_step(DT);
      int dies = !fly && cls != 0 && cls != 1 && cls != 13;
      EXPECT_EQ(g_game.respawn_timer, dies ? 1.5f : 0.0f);
      EXPECT_EQ(g_game.ring_radius, dies ? 0.0f : 0.7f);
    }
  }
}

TEST_F(FigureTest, HazardTestUsesTheDrawnBlobsNotTheBox) {
  // Deadly paint in the box's top-left corner, where no blob reaches.
  fill_rect(work, 300, 300, 304, 304, 14);
  avatar_figure_step(DT);
  EXPECT_EQ(g_game.respawn_timer, 0.0f);
  // The same paint under the head kills.
  fill_rect(work, 0, 0, 800, 600, 0);
  fill_rect(work, 320, 315, 340, 330, 14);
  avatar_figure_step(DT);
  EXPECT_EQ(g_game.respawn_timer, 1.5f);
}

TEST_F(FigureTest, PausedFrameKeepsThePoseButStillTestsHazards) {
  g_game.key_held[AVATAR_KEY_RIGHT] = 1;
  avatar_figure_step(DT);
  avatar_figure_step(DT);
  int before[14][2];
  for (int i = 0; i < 14; i++) {
    before[i][0] = g_game.figure_joints[i][0];
    before[i][1] = g_game.figure_joints[i][1];
  }
  float phase = g_game.pose_phase;
  fill_rect(work, 0, 0, 800, 600, 9);
  avatar_figure_step(0.0f);
  EXPECT_EQ(g_game.pose_phase, phase);
  for (int i = 0; i < 14; i++) {
    EXPECT_EQ(g_game.figure_joints[i][0], before[i][0]);
    EXPECT_EQ(g_game.figure_joints[i][1], before[i][1]);
  }
  EXPECT_EQ(g_game.respawn_timer, 1.5f);
}

TEST_F(FigureTest, DeathSchedulesTwoFadingNoiseVoices) {
  std::vector<int16_t> noise(2 * 60000, 100);
  g_game.noise_sound = noise.data();
  fill_rect(work, 0, 0, 800, 600, 2);

  g_game.sound_enabled = 0;
  avatar_figure_step(DT);
  EXPECT_EQ(g_game.respawn_timer, 1.5f);
  EXPECT_EQ(voice_table.count, 0) << "silent with sound off";

  g_game.sound_enabled = 1;
  avatar_figure_step(DT);
  ASSERT_EQ(voice_table.count, 2);
  const Voice& a = voice_table.voices[0];
  const Voice& b = voice_table.voices[1];
  EXPECT_EQ(a.data, noise.data());
  EXPECT_EQ(a.data_persistent, 1);
  EXPECT_EQ(a.channels, 2);
  EXPECT_EQ(a.duration, 60000u);
  EXPECT_EQ(a.start_time, b.start_time);
  EXPECT_FLOAT_EQ(a.volume, 0.25f);
  EXPECT_FLOAT_EQ(b.volume, 0.45f);
  EXPECT_EQ(a.release_curve, 1);
  EXPECT_EQ(b.release_curve, 4);
  EXPECT_EQ(a.release_length, 60000u);
  EXPECT_EQ(b.release_length, 60000u);
  EXPECT_EQ(a.release_start, a.start_time) << "the fade starts at once";
  g_game.noise_sound = nullptr;
}

}  // namespace
