// Rooms: leaving through an edge, and a room image that does not decode.
#include "game_fixture.h"

namespace {

TEST_F(GameCore, LeavingRightWrapsIntoNextRoomAndSaves) {
  enter_play(1, 771, 300);
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.room_number, 1) << "771 is not yet 2 pixels past the edge";
  EXPECT_TRUE(stored_save().empty());

  g_game.avatar_x = 772;
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.room_number, 2);
  EXPECT_EQ(g_game.avatar_x, -28);
  EXPECT_EQ(g_game.checkpoint.avatar_x, -28);
  EXPECT_EQ(g_game.checkpoint.avatar_y, 300);
  EXPECT_EQ(g_game.room->pixels[0], 3) << "room 2's image is loaded";
  std::vector<uint8_t> v = stored_save();
  ASSERT_EQ(v.size(), 24u);
  SaveRecord r;
  memcpy(&r, v.data(), 24);
  EXPECT_EQ(1, save_is_valid(&r));
  EXPECT_EQ(r.words[0], 2u);
  EXPECT_EQ((int32_t)r.words[1], -28);
  EXPECT_EQ((int32_t)r.words[2], 300);

  // And back out through the left edge: more than 2 pixels beyond it.
  g_game.avatar_x = -32;
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.room_number, 2);
  g_game.avatar_x = -33;
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.room_number, 1);
  EXPECT_EQ(g_game.avatar_x, 767);
}

// Regression: a room image that is in the data but does not decode was taken
// for the end of the row of rooms, so walking into it erased the player's
// save and exited as if the game had been won. Broken data ends with the data
// file message and leaves the save alone; only a room with no image at all
// finishes the game.
TEST(RoomChange, UndecodableNextRoomIsBrokenDataNotTheEndOfTheGame) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/vantrel_review_XXXXXX";
  ASSERT_TRUE(mkdtemp(tmpl));
  fs::path archive = fs::path(tmpl) / "packed.dat";
  const std::string junk = "PNG? no: a damaged room image";
  ASSERT_EQ(1, archive_write_file(archive.c_str(),
                                  {{"r02.png", std::vector<uint8_t>(junk.begin(), junk.end())}}));
  archive_close_all();
  ASSERT_EQ(1, archive_open(archive.c_str()));
  test_platform_reset();
  g_game.sound_enabled = 0;
  g_game.cheats_enabled = 0;
  g_game.room_number = 1;
  g_game.avatar_x = -28;
  g_game.avatar_y = 300;
  save_capture();
  SaveRecord saved = g_game.save;
  save_write();
  const std::vector<uint8_t> stored = test_stored(SAVE_STORE_KEY, SAVE_STORE_VALUE);
  ASSERT_EQ(stored.size(), 24u);

  int code = -1;
  try {
    room_change(+1);
  } catch (const TestExit& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 0);
  ASSERT_EQ(g_test_platform.messages.size(), 1u);
  EXPECT_EQ(g_test_platform.messages[0], "ERROR: Couldn't find data file");
  EXPECT_EQ(test_stored(SAVE_STORE_KEY, SAVE_STORE_VALUE), stored) << "the save is kept";
  EXPECT_EQ(0, memcmp(&g_game.save, &saved, sizeof saved));

  // Past the last room there is no image at all: that is the end.
  test_platform_reset();
  g_game.room_number = 2;
  code = -1;
  try {
    room_change(+1);
  } catch (const TestExit& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(g_test_platform.messages.empty());
  EXPECT_EQ(test_stored(SAVE_STORE_KEY, SAVE_STORE_VALUE), std::vector<uint8_t>(24, 0));

  archive_close_all();
  fs::remove_all(tmpl);
}

}  // namespace
