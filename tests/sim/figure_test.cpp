// The avatar figure: the walk pose over the first ticks off a ledge, and
// which classes under the drawn blobs kill.
#include "sim/figure.h"

#include <utility>

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
  Bitmap* work = nullptr;
};

TEST_F(FigureTest, FirstTicksOffALedgeKeepStepping) {
  g_game.airborne = 1;
  g_game.air_ticks = 3;  // the last airborne tick that still steps
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

TEST_F(FigureTest, OnlyDeadlyClassesUnderTheBlobsKill) {
  static int16_t noise[2 * 60000];
  g_game.sound_enabled = 1;
  g_game.noise_sound = noise;
  for (int fly = 0; fly < 2; fly++) {
    for (int cls = 0; cls <= 16; cls++) {
      SCOPED_TRACE(cls + 100 * fly);
      fill_rect(work, 0, 0, 800, 600, (uint8_t)cls);
      g_game.fly_mode = fly;
      g_game.respawn_timer = 0.0f;
      g_game.ring_radius = 0.7f;
      voice_table.count = 0;
      avatar_figure_step(DT);
      int dies = !fly && cls != 0 && cls != 1 && cls != 13;
      EXPECT_EQ(g_game.respawn_timer, dies ? 1.5f : 0.0f);
      EXPECT_EQ(g_game.ring_radius, dies ? 0.0f : 0.7f);
      EXPECT_EQ(voice_table.count > 0, dies) << "the death cue";
    }
  }
}

}  // namespace
