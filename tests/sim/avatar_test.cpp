// Avatar movement: steps, the room edges as the mask test sees them, and the
// sideways nudge. Rooms are painted at pixel level so the half-resolution
// rounding is real.
#include "sim/avatar.h"

#include "sim_fixture.h"

namespace {

const int FLOOR_Y = 500;  // top row of the floor in most rooms here

class AvatarTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    make_avatar();
    room = make_room();
    g_game.room_number = 1;
  }
  void floor_at(int y, int x0 = 0, int x1 = 800) {
    fill_rect(room, x0, y, x1, 600, 1);
    install_room(room);
  }
  // Puts the avatar on the floor at FLOOR_Y and lets it settle.
  void stand(int x) {
    g_game.avatar_x = x;
    g_game.avatar_y = FLOOR_Y - 78;
    g_game.airborne = 0;
    ticks(3);
    ASSERT_EQ(g_game.airborne, 0);
  }
  void hold(int key, int on) { g_game.key_held[key] = on; }

  Bitmap* room = nullptr;
};

TEST_F(AvatarTest, SixteenPixelStepIsClimbedSeventeenStops) {
  for (int h : {16, 17}) {
    SCOPED_TRACE(h);
    fill_rect(room, 0, 0, 800, 600, 0);
    floor_at(FLOOR_Y);
    fill_rect(room, 500, FLOOR_Y - h, 800, FLOOR_Y, 1);
    install_room(room);
    stand(400);
    hold(AVATAR_KEY_RIGHT, 1);
    ticks(100);
    if (h == 16) {
      EXPECT_GT(g_game.avatar_x, 520);
      EXPECT_NEAR(g_game.avatar_y, FLOOR_Y - 78 - 16, 1);
    } else {  // stopped at the wall: the body's half-resolution columns end at 451
      EXPECT_GE(g_game.avatar_x, 440);
      EXPECT_LT(g_game.avatar_x, 452);
      EXPECT_NEAR(g_game.avatar_y, FLOOR_Y - 78, 1);
    }
  }
}

TEST_F(AvatarTest, RoomBottomIsAFloorAndTopAndSidesAreOpen) {
  // Regression: rows below the room used to close whatever the mask held
  // there, so the body (whose last mask row is empty: the feet own it) could
  // never fit where the feet touch. The avatar then hovered 2 px above the
  // bottom, airborne for good, drifting sideways through the nudge.
  g_game.avatar_x = 300;
  g_game.avatar_y = 300;
  g_game.airborne = 1;
  ticks(200);
  EXPECT_EQ(g_game.airborne, 0);
  EXPECT_EQ(g_game.avatar_x, 300) << "no sideways drift";
  EXPECT_GE(g_game.avatar_y, 522);
  EXPECT_LE(g_game.avatar_y, 523);
  EXPECT_EQ(avatar_fits(300, 523), 1);
  EXPECT_EQ(avatar_feet_touch(300, 522), 1) << "the feet reach below the room";
  EXPECT_EQ(avatar_feet_touch(300, 521), 0);
  EXPECT_EQ(avatar_fits(300, 524), 0) << "the body reaches below the room";
  EXPECT_EQ(avatar_fits(300, 900), 0);
  EXPECT_EQ(avatar_feet_touch(300, 900), 1);
  // It walks and jumps off the bottom like off any floor.
  g_game.key_held[AVATAR_KEY_RIGHT] = 1;
  ticks(10);
  EXPECT_EQ(g_game.avatar_x, 319);
  EXPECT_EQ(g_game.airborne, 0);
  g_game.key_held[AVATAR_KEY_JUMP] = 1;
  tick();
  EXPECT_EQ(g_game.fall_speed, -156);

  // A solid room: everything on the map collides, nothing beyond it.
  fill_rect(room, 0, 0, 800, 600, 1);
  install_room(room);
  EXPECT_EQ(avatar_fits(300, 300), 0);
  EXPECT_EQ(avatar_fits(300, -78), 1) << "-78 >> 1 puts body row 38 on map row -1";
  EXPECT_EQ(avatar_fits(300, -76), 0) << "the last body row reaches row 0";
  EXPECT_EQ(avatar_fits(-50, 300), 1) << "beyond the left edge";
  EXPECT_EQ(avatar_fits(-48, 300), 0) << "body mask column 24 reaches map column 0";
  EXPECT_EQ(avatar_fits(790, 300), 1) << "beyond the right edge";
  EXPECT_EQ(avatar_fits(788, 300), 0);
}

TEST_F(AvatarTest, SidewaysNudgeGivesUpAndLeavesTheAvatarInPlace) {
  // Regression: the nudge searched upward without end; here it would have
  // lifted the avatar through 300 px of solid rock to above the room.
  fill_rect(room, 0, 0, 800, 600, 1);
  fill_rect(room, 0, 376, 800, 400, 0);  // only the feet are free
  install_room(room);
  g_game.avatar_x = 300;
  g_game.avatar_y = 300;
  g_game.airborne = 1;
  g_game.fall_speed = 64;
  tick();
  EXPECT_EQ(g_game.avatar_x, 300);
  EXPECT_EQ(g_game.avatar_y, 300);
  EXPECT_EQ(g_game.airborne, 1);
}

}  // namespace
