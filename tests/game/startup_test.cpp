// Start-up: the message when the data are missing.
#include "game_fixture.h"

namespace {

// Regression: a missing avatar or title image used to crash later on their
// sizes; now start-up ends with the data-file message.
TEST_F(GameCore, StartupWithoutRequiredDataEndsWithMessage) {
  struct Case {
    const char* what;
    bool archive, avatar, title;
  } cases[] = {
      {"no archive", false, true, true},
      {"no avatar", true, false, true},
      {"no title", true, true, false},
  };
  fs::path sub = g_dir / "broken";
  fs::create_directory(sub);
  fs::current_path(sub);
  for (const Case& c : cases) {
    fs::remove(sub / "packed.dat");
    if (c.archive) {
      SyntheticGame set;
      set.avatar = c.avatar;
      set.title = c.title;
      ASSERT_EQ(1, archive_write_file((sub / "packed.dat").c_str(), game_files(set)));
    }
    test_platform_reset();
    archive_close_all();
    SaveRecord r = valid_record(2, 10, 20, 0, 0);
    ASSERT_EQ(1, platform_store_write(SAVE_STORE_KEY, SAVE_STORE_VALUE, &r, 24));
    int code = -1;
    try {
      startup((sub / "not-an-archive").c_str());
    } catch (const TestExit& e) {
      code = e.code;
    }
    EXPECT_EQ(code, 0) << c.what;
    ASSERT_EQ(g_test_platform.messages.size(), 1u) << c.what;
    EXPECT_EQ(g_test_platform.messages[0], "ERROR: Couldn't find data file") << c.what;
    EXPECT_EQ(g_game.game_state, 2) << "a valid save opens the menu";
  }
  // Put the suite's data back.
  fs::current_path(g_dir);
  archive_close_all();
  ASSERT_EQ(1, archive_open("packed.dat"));
  g_game.avatar = bitmap_load("avatar.png");
  const char* titles[4] = {"", "title.png", "title_1.png", "title_2.png"};
  for (int k = 1; k <= 3; k++) g_game.titles[k] = bitmap_load(titles[k]);
}

}  // namespace
