// Start-up: the images it loads and makes, the order of its random draws,
// the key colours, and the message when the data are missing.
#include "game_fixture.h"

namespace {

TEST_F(GameCore, StartupLoadsEveryImageAndMakesFrameImages) {
  ASSERT_TRUE(g_game.avatar);
  EXPECT_EQ(g_game.avatar->width, 60);
  EXPECT_EQ(g_game.avatar->height, 80);
  EXPECT_EQ(g_game.avatar->pixels[0], 0);
  EXPECT_EQ(g_game.avatar->pixels[10], 16);
  EXPECT_EQ(g_game.avatar->pixels[79 * 60 + 20], 1);
  ASSERT_TRUE(g_game.body_mask && g_game.feet_mask);
  EXPECT_EQ(g_game.body_mask->width, 30);
  EXPECT_EQ(g_game.body_mask->height, 40);
  EXPECT_EQ(g_game.feet_mask->pixels[39 * 30 + 10], 255);
  EXPECT_EQ(g_game.feet_mask->pixels[37 * 30 + 10], 0);
  EXPECT_EQ(g_game.body_mask->pixels[37 * 30 + 10], 255);
  EXPECT_EQ(g_game.body_mask->pixels[39 * 30 + 10], 0);
  ASSERT_TRUE(g_game.avatar_frame);
  EXPECT_EQ(g_game.avatar_frame->width, 60);
  ASSERT_TRUE(g_game.sprites[3]);
  EXPECT_EQ(g_game.sprites[3]->width, 60);
  EXPECT_EQ(g_game.sprites[0], nullptr);
  EXPECT_EQ(g_game.sprites[4], nullptr);
  EXPECT_EQ(g_game.sprites[39], nullptr);
  for (int k = 1; k <= 3; k++) ASSERT_TRUE(g_game.titles[k]) << k;
  EXPECT_EQ(g_game.titles[2]->pixels[250], 16);
  ASSERT_TRUE(g_game.work_bitmap && g_game.output_image);
  EXPECT_EQ(g_game.work_bitmap->width, 800);
  EXPECT_EQ(g_game.output_image->height, 600);
  EXPECT_EQ(g_game.draw_target, g_game.work_bitmap);
  EXPECT_EQ(g_game.sound_enabled, 0) << "-sound: no output, no music";
}

TEST_F(GameCore, ClassesComeFromExactKeyColours) {
  uint8_t rgba[4 * 4] = {255, 255, 255, 0,   18, 0, 219, 255,   18, 0, 218, 255,   196, 196, 196, 7};
  DecodedImage image = {4, 1, rgba};
  Bitmap* b = bitmap_from_rgba(&image);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->pixels[0], 0);
  EXPECT_EQ(b->pixels[1], 16);
  EXPECT_EQ(b->pixels[2], 0) << "an unknown colour is class 0";
  EXPECT_EQ(b->pixels[3], 13) << "alpha is ignored";
  bitmap_free(b);

  Bitmap* avatar = bitmap_new(60, 80);
  memset(avatar->pixels, 0, 60 * 80);
  avatar->pixels[79 * 60 + 59] = 16;
  Bitmap* mask = bitmap_half_mask(avatar, 16);
  EXPECT_EQ(mask->width, 30);
  EXPECT_EQ(mask->height, 40);
  EXPECT_EQ(mask->pixels[39 * 30 + 29], 255);
  int set = 0;
  for (int i = 0; i < 30 * 40; i++) set += mask->pixels[i] != 0;
  EXPECT_EQ(set, 1);
  bitmap_free(mask);
  bitmap_free(avatar);
  EXPECT_EQ(bitmap_load("nothing.png"), nullptr);
  EXPECT_TRUE(g_test_platform.messages.empty());
}

// Regression: a missing avatar or title image used to crash later on their
// sizes; now start-up ends with the data-file message.
TEST_F(GameCore, StartupWithoutRequiredDataEndsWithMessage) {
  struct Case {
    const char* what;
    bool archive;
    DataSet set;
  } cases[] = {
      {"no archive", false, {}},
      {"no avatar", true, {false, true}},
      {"no title", true, {true, false}},
  };
  fs::path sub = g_dir / "broken";
  fs::create_directory(sub);
  fs::current_path(sub);
  for (const Case& c : cases) {
    fs::remove(sub / "packed.dat");
    if (c.archive) {
      ASSERT_EQ(1, archive_write_file((sub / "packed.dat").c_str(), game_files(c.set)));
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
