// Start-up, game states, the frame driver and rooms, run on a small archive of
// synthetic PNG images through the real decoder, simulation and renderer.
// The platform is the headless backend (common/test_platform.h): the store,
// the message box, quit and exit are observed there.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/key_canvas.h"
#include "core/archive.h"
#include "core/bitmap_load.h"
#include "core/game_state.h"
#include "core/noise_tables.h"
#include "core/save.h"
#include "core/tables.h"
#include "common/test_platform.h"
#include "game/frame.h"
#include "game/game.h"
#include "game/keys.h"
#include "game/room.h"
#include "pack/archive_write.h"
#include "support/random.h"

namespace fs = std::filesystem;

namespace {

const int FLOOR_Y = 500;  // rooms are solid (class 1) from this row down

std::vector<uint8_t> room_png(int marker_class) {
  return key_png_of_classes(800, 600, [=](int x, int y) {
    if (y >= FLOOR_Y) return 1;
    if (x < 20 && y < 20) return marker_class;  // tells rooms apart
    return 0;
  });
}

// Body class 16 down to row 75, the class-1 feet band on rows 78-79: their own
// half-resolution rows, as the game's avatar has them.
std::vector<uint8_t> avatar_png() {
  return key_png_of_classes(60, 80, [](int x, int y) {
    if (y <= 75 && x >= 10 && x < 50) return 16;
    if (y >= 78 && x >= 15 && x < 45) return 1;
    return 0;
  });
}

std::vector<uint8_t> title_png(int k) {
  return key_png_of_classes(800, 600, [=](int x, int y) { return (x / 100 == k && y < 300) ? 16 : 0; });
}

struct DataSet {
  bool avatar = true;
  bool title = true;
};

std::vector<ArchiveFile> game_files(const DataSet& set) {
  std::vector<ArchiveFile> files;
  if (set.avatar) files.push_back({"avatar.png", avatar_png()});
  files.push_back({"blob.png", key_png_of_classes(9, 10, [](int, int) { return 16; })});
  files.push_back({"blob2.png", key_png_of_classes(16, 16, [](int, int) { return 16; })});
  files.push_back({"cr03.png", key_png_of_classes(60, 60, [](int x, int) { return x < 30 ? 2 : 0; })});
  files.push_back({"r01.png", room_png(2)});
  files.push_back({"r02.png", room_png(3)});
  files.push_back({"r03.png", room_png(4)});
  files.push_back({"r25.png", room_png(5)});
  if (set.title) files.push_back({"title.png", title_png(1)});
  files.push_back({"title_1.png", title_png(2)});
  files.push_back({"title_2.png", title_png(3)});
  return files;
}

fs::path g_dir;
fs::path g_old_cwd;

std::string read_text(const fs::path& path) {
  std::vector<uint8_t> bytes;
  if (!archive_read_file_bytes(path.c_str(), &bytes)) return "";
  return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> stored_save() { return test_stored(SAVE_STORE_KEY, SAVE_STORE_VALUE); }

SaveRecord valid_record(int room, int x, int y, int airborne, int fall) {
  SaveRecord r = {{(uint32_t)room, (uint32_t)x, (uint32_t)y, (uint32_t)airborne, (uint32_t)fall, 0}};
  r.words[5] = save_checksum(&r);
  return r;
}

int count_palette(uint32_t colour) {
  int n = 0;
  for (uint32_t c : g_game.palette) n += c == colour;
  return n;
}

class GameCore : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/vantrel_core_XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    g_dir = tmpl;
    g_old_cwd = fs::current_path();
    ASSERT_EQ(1, archive_write_file((g_dir / "packed.dat").c_str(), game_files(DataSet())));
    fs::current_path(g_dir);
    test_platform_reset();
    random_reset();
    archive_close_all();
    g_game.sound_enabled = 0;
    g_game.cheats_enabled = 0;
    try {
      startup(nullptr);
    } catch (const TestExit& e) {
      FAIL() << "start-up exited with " << e.code;
    }
  }
  static void TearDownTestSuite() {
    fs::current_path(g_old_cwd);
    fs::remove_all(g_dir);
  }

  void SetUp() override {
    test_platform_reset();
    g_game.cheats_enabled = 0;
    g_game.start_room_25 = 0;
    g_game.fly_mode = 0;
    g_game.paused = 0;
    g_game.respawn_timer = 0;
    g_game.ring_radius = 0;
    memset(g_game.key_held, 0, sizeof g_game.key_held);
    memset(g_game.key_held_prev, 0, sizeof g_game.key_held_prev);
  }

  // Play in room n with the avatar hovering in fly mode at (x, y), where
  // nothing but the keys moves it.
  void enter_play(int room, int x, int y) {
    g_game.avatar_x = x;
    g_game.avatar_y = y;
    g_game.fall_speed = 0;
    g_game.airborne = 0;
    ASSERT_EQ(1, room_load(room));
    g_game.game_state = 0;
    g_game.game_started = 1;
    g_game.fade_level = 5000;
    g_game.fly_mode = 1;
    g_game.tick_accumulator = 0;
  }
};

// ---- start-up ----------------------------------------------------------------

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

// The random tables are drawn in a fixed order: noise tables (65536 twister +
// LCG pairs, then 32768 twister words), the noise sound, the wave phases.
TEST_F(GameCore, StartupDrawsNoiseSoundAndWavePhasesInOrder) {
  random_reset();
  for (int i = 0; i < 65536; i++) {
    mt_next();
    lcg_next();
  }
  for (int i = 0; i < 32768; i++) mt_next();
  std::vector<int> raw(120000);
  for (int& v : raw) v = (int16_t)(mt_next() & 0xFFFF);
  double phase[3];
  for (double& p : phase) p = random_unit();

  for (int j = 0; j < 59999; j++) {
    for (int c = 0; c < 2; c++) {
      int sum = raw[2 * j + c] + raw[2 * j + 2 + c];
      int expect = (int)floor(sum / 2.0);  // toward minus infinity
      ASSERT_EQ(g_game.noise_sound[2 * j + c], expect) << "frame " << j;
    }
  }
  EXPECT_EQ(g_game.noise_sound[2 * 59999], raw[2 * 59999]) << "the last frame stays as drawn";
  EXPECT_EQ(g_game.noise_sound[2 * 59999 + 1], raw[2 * 59999 + 1]);

  const double f[3] = {3 * M_PI / 128, 5 * M_PI / 128, 7 * M_PI / 128};
  for (int j = 0; j < 256; j++) {
    double x = 0, y = 0;
    for (int k = 0; k < 3; k++) {
      x += sin(j * f[k] + phase[k]);
      y += cos(j * f[k] + phase[k]);
    }
    ASSERT_NEAR(g_game.wave_table[j][0], 0.75 * x, 2e-5) << j;
    ASSERT_NEAR(g_game.wave_table[j][1], 0.75 * y, 2e-5) << j;
  }
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

// ---- keys and game states ---------------------------------------------------

TEST_F(GameCore, TitleStartsNewGameOnAnyKeyButEsc) {
  for (int key : {(int)'A', (int)KEY_DOWN, (int)KEY_UP, (int)KEY_CODE_SPACE}) {
    g_game.game_state = 1;
    g_game.game_started = 0;
    g_game.fade_level = 40;
    g_game.avatar_x = g_game.avatar_y = 0;
    g_game.key_held[1] = 1;
    on_key_down(key);
    EXPECT_EQ(g_game.game_state, 0) << key;
    EXPECT_EQ(g_game.room_number, 1);
    EXPECT_EQ(g_game.avatar_x, 350);
    EXPECT_EQ(g_game.avatar_y, 50);
    EXPECT_EQ(g_game.fade_level, 5000);
    EXPECT_EQ(g_game.game_started, 1);
    EXPECT_EQ(g_game.key_held[1], 0) << "held flags are cleared when play begins";
    EXPECT_EQ(count_palette(0xFFFFFFFFu), 128);
    EXPECT_EQ(count_palette(0), 128);
  }
  g_game.game_state = 1;
  on_key_down(KEY_CODE_ESCAPE);
  EXPECT_EQ(g_game.game_state, 1);
  int quit_code = -1;
  EXPECT_EQ(test_quits_posted(&quit_code), 1);
  EXPECT_EQ(quit_code, 0);
  EXPECT_TRUE(stored_save().empty()) << "starting a game writes no save";
}

TEST_F(GameCore, MenuMovesSelectionAndContinuesOrStartsNew) {
  g_game.save = valid_record(2, 123, 300, 1, -40);
  g_game.game_started = 0;
  g_game.game_state = 2;
  on_key_down(KEY_UP);
  EXPECT_EQ(g_game.game_state, 2);
  on_key_down(KEY_DOWN);
  EXPECT_EQ(g_game.game_state, 3);
  on_key_down(KEY_DOWN);  // held down arrow: stays on new game
  on_key_down(KEY_RIGHT);
  EXPECT_EQ(g_game.game_state, 3);
  on_key_down(KEY_LEFT);
  EXPECT_EQ(g_game.game_state, 2);
  on_key_up(KEY_LEFT);  // releases are not seen in the menu
  on_key_down(0x0D);
  EXPECT_EQ(g_game.game_state, 0);
  EXPECT_EQ(g_game.room_number, 2);
  EXPECT_EQ(g_game.avatar_x, 123);
  EXPECT_EQ(g_game.avatar_y, 300);
  EXPECT_EQ(g_game.airborne, 1);
  EXPECT_EQ(g_game.fall_speed, -40);
  EXPECT_EQ(g_game.checkpoint.avatar_x, 123);

  // Esc in play, then continue: the interrupted game resumes untouched.
  g_game.avatar_x = 444;
  g_game.paused = 1.0f;
  g_game.respawn_timer = 0.7f;
  g_game.palette[0] = 0x12345678;
  on_key_down(KEY_CODE_ESCAPE);
  EXPECT_EQ(g_game.game_state, 2);
  g_game.key_held[0] = 1;
  on_key_down('X');
  EXPECT_EQ(g_game.game_state, 0);
  EXPECT_EQ(g_game.avatar_x, 444);
  EXPECT_EQ(g_game.paused, 1.0f);
  EXPECT_EQ(g_game.respawn_timer, 0.7f);
  EXPECT_EQ(g_game.palette[0], 0x12345678u);
  EXPECT_EQ(g_game.key_held[0], 0);

  // Esc, then new game: room 1, and the stored save is left alone.
  test_platform_reset();
  on_key_down(KEY_CODE_ESCAPE);
  on_key_down(KEY_DOWN);
  on_key_down(KEY_CODE_SPACE);
  EXPECT_EQ(g_game.game_state, 0);
  EXPECT_EQ(g_game.room_number, 1);
  EXPECT_EQ(g_game.avatar_x, 350);
  EXPECT_EQ(g_game.paused, 0.0f);
  EXPECT_EQ(g_game.respawn_timer, 0.0f);
  EXPECT_TRUE(stored_save().empty());

  // With "+25" a new game starts in room 25.
  g_game.start_room_25 = 25;
  on_key_down(KEY_CODE_ESCAPE);
  on_key_down(KEY_DOWN);
  on_key_down('N');
  EXPECT_EQ(g_game.room_number, 25);
  EXPECT_EQ(g_game.avatar_x, 100);
  EXPECT_EQ(g_game.avatar_y, 300);
}

TEST_F(GameCore, ContinueWithoutValidSaveStartsNewGame) {
  g_game.save = valid_record(2, 123, 300, 0, 0);
  g_game.save.words[1] += 1;  // edited without a new checksum
  g_game.game_started = 0;
  g_game.game_state = 2;
  on_key_down(KEY_CODE_SPACE);
  EXPECT_EQ(g_game.room_number, 1);
  EXPECT_EQ(g_game.avatar_x, 350);

  // A valid record for a room these data lack starts afresh instead of
  // playing on without a room.
  g_game.save = valid_record(77, 5, 5, 0, 0);
  g_game.game_started = 0;
  g_game.game_state = 2;
  on_key_down(KEY_CODE_SPACE);
  EXPECT_EQ(g_game.room_number, 1);
  EXPECT_EQ(g_game.avatar_x, 350);
}

TEST_F(GameCore, EscInMenuQuits) {
  g_game.game_state = 3;
  on_key_down(KEY_CODE_ESCAPE);
  int quit_code = -1;
  EXPECT_EQ(test_quits_posted(&quit_code), 1);
  EXPECT_EQ(quit_code, 0);
  EXPECT_EQ(g_game.game_state, 3);
}

TEST_F(GameCore, PlayKeysHoldToggleAndRestart) {
  enter_play(1, 300, 300);
  g_game.fly_mode = 0;
  const int keys[5] = {KEY_UP, KEY_RIGHT, KEY_DOWN, KEY_LEFT, KEY_CODE_SPACE};
  for (int i = 0; i < 5; i++) {
    on_key_down(keys[i]);
    EXPECT_EQ(g_game.key_held[i], 1) << i;
    on_key_up(keys[i]);
    EXPECT_EQ(g_game.key_held[i], 0) << i;
  }
  // Auto-repeat: every repeated P toggles again.
  on_key_down(KEY_CODE_P);
  EXPECT_EQ(g_game.paused, 1.0f);
  on_key_down(KEY_CODE_P);
  EXPECT_EQ(g_game.paused, 0.0f);
  on_key_down(KEY_CODE_P);
  EXPECT_EQ(g_game.paused, 1.0f);
  g_game.paused = 0;

  // D and F only with cheats.
  g_game.debug_view = 0;
  on_key_down(KEY_CODE_D);
  on_key_down(KEY_CODE_F);
  EXPECT_EQ(g_game.debug_view, 0);
  EXPECT_EQ(g_game.fly_mode, 0);
  g_game.cheats_enabled = 1;
  on_key_down(KEY_CODE_D);
  on_key_down(KEY_CODE_F);
  EXPECT_EQ(g_game.debug_view, 1);
  EXPECT_EQ(g_game.fly_mode, 1);
  on_key_down(KEY_CODE_D);
  EXPECT_EQ(g_game.debug_view, 0);

  // R cuts a death burst short.
  g_game.respawn_timer = 1.5f;
  g_game.ring_radius = 0.8f;
  on_key_down(KEY_CODE_R);
  EXPECT_EQ(g_game.respawn_timer, 0.05f);
  EXPECT_EQ(g_game.ring_radius, 0.0f);
}

TEST_F(GameCore, LWritesFrameTimeLogOnlyWithCheats) {
  fs::remove(g_dir / FRAME_TIME_LOG_NAME);
  g_game.frame_times[0] = 0.016f;
  g_game.frame_times[1] = 0.018f;
  g_game.game_state = 2;
  g_game.game_started = 1;
  g_game.cheats_enabled = 1;
  on_key_down(KEY_CODE_L);
  EXPECT_EQ(g_game.game_state, 2) << "L logs and does not confirm the menu";
  on_key_down(KEY_CODE_L);
  EXPECT_EQ(read_text(g_dir / FRAME_TIME_LOG_NAME),
            "frame time: 17.00 ms (58.824 fps)\nframe time: 17.00 ms (58.824 fps)\n");

  // Regression: a log that cannot be opened is ignored.
  fs::remove(g_dir / FRAME_TIME_LOG_NAME);
  fs::create_directory(g_dir / FRAME_TIME_LOG_NAME);
  on_key_down(KEY_CODE_L);
  EXPECT_EQ(g_game.game_state, 2);
  fs::remove(g_dir / FRAME_TIME_LOG_NAME);

  g_game.cheats_enabled = 0;
  on_key_down(KEY_CODE_L);
  EXPECT_EQ(g_game.game_state, 0) << "without cheats L confirms like any key";
  EXPECT_FALSE(fs::exists(g_dir / FRAME_TIME_LOG_NAME));
}

// ---- frame driver ------------------------------------------------------------

TEST_F(GameCore, FrameTimeIsClampedAndRunsThreeOrFourTicks) {
  enter_play(1, 300, 300);
  g_game.key_held[1] = g_game.key_held_prev[1] = 1;  // right: 2 px per fly tick
  float play_time = g_game.play_time;
  run_frame(0.2f, 0);
  EXPECT_EQ(g_game.avatar_x, 306) << "0.2 s counts as 0.05 s: three ticks";
  EXPECT_FLOAT_EQ(g_game.play_time - play_time, 0.05f);
  EXPECT_LT(g_game.tick_accumulator, 1e-6f);
  EXPECT_EQ(headless_machine()->presents, 1);

  g_game.tick_accumulator = 1.0f / 60.0f;  // a whole tick carried
  run_frame(0.2f, 0);
  EXPECT_EQ(g_game.avatar_x, 314) << "four ticks with a tick carried";

  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.avatar_x, 316);
  EXPECT_EQ(g_game.key_held_prev[1], 1);
}

TEST_F(GameCore, InactiveFramesDoNothing) {
  enter_play(1, 300, 300);
  g_game.key_held[1] = g_game.key_held_prev[1] = 1;
  int32_t counter = g_game.frame_counter;
  run_frame(0.05f, 1);
  EXPECT_EQ(g_game.avatar_x, 300);
  EXPECT_EQ(g_game.frame_counter, counter);
  EXPECT_EQ(headless_machine()->presents, 0);
}

TEST_F(GameCore, PauseFreezesPlayAndBlinksTheNoise) {
  enter_play(1, 300, 300);
  g_game.key_held[1] = g_game.key_held_prev[1] = 1;
  g_game.paused = 1.0f;
  g_game.pause_blink = 0;
  float play_time = g_game.play_time;
  int32_t counter = g_game.frame_counter;
  // Blink after 0.25 s frames: 0.25 0.5 0.75 1.0 1.25* 1.5* (then back to 0).
  const int advanced[6] = {0, 0, 0, 0, 1, 1};
  for (int i = 0; i < 6; i++) {
    run_frame(0.25f, 0);
    EXPECT_EQ(g_game.frame_counter - counter, advanced[i]) << "frame " << i;
    counter = g_game.frame_counter;
  }
  EXPECT_EQ(g_game.pause_blink, 0.0f);
  EXPECT_EQ(g_game.avatar_x, 300);
  EXPECT_EQ(g_game.play_time, play_time);
  EXPECT_EQ(headless_machine()->presents, 6);
}

TEST_F(GameCore, TitleFadeReaches255OnFrame255ThenShuffles) {
  g_game.game_state = 1;
  g_game.fade_level = 0;
  for (int frame = 1; frame <= 254; frame++) run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.fade_level, 254);
  EXPECT_EQ(g_game.palette[0], 0xFFFEFEFEu);
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.fade_level, 255);
  EXPECT_EQ(count_palette(0xFFFFFFFFu), 128);
  for (int i = 128; i < 256; i++) EXPECT_EQ(g_game.palette[i], 0u);

  uint32_t before[256];
  memcpy(before, g_game.palette, sizeof before);
  int changed_frames = 0;
  for (int frame = 0; frame < 50; frame++) {
    run_frame(1.0f / 60.0f, 0);
    changed_frames += memcmp(before, g_game.palette, sizeof before) != 0;
    memcpy(before, g_game.palette, sizeof before);
  }
  EXPECT_EQ(g_game.fade_level, 305);
  EXPECT_GT(changed_frames, 15) << "one swap per frame after the fade";
  EXPECT_EQ(count_palette(0xFFFFFFFFu), 128);

  // Slow frames step by 4 dt; the level stops at 1000.
  run_frame(1.0f, 0);
  EXPECT_EQ(g_game.fade_level, 309);
  g_game.fade_level = 999;
  run_frame(1.0f / 60.0f, 0);
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.fade_level, 1000);
  g_game.fade_level = 5000;
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(g_game.fade_level, 1000);
  // The menu states render their own pictures without trouble.
  g_game.game_state = 3;
  run_frame(1.0f / 60.0f, 0);
  EXPECT_EQ(headless_machine()->presents, 255 + 50 + 5);
}

TEST_F(GameCore, PaletteShuffleScheduleOfTheLastRooms) {
  for (int n = 1; n <= 64; n++) {
    EXPECT_EQ(frame_palette_swaps(1, n), 0);
    EXPECT_EQ(frame_palette_swaps(28, n), 0);
    EXPECT_EQ(frame_palette_swaps(29, n), n % 16 == 0) << n;
    EXPECT_EQ(frame_palette_swaps(30, n), n % 4 == 0) << n;
    EXPECT_EQ(frame_palette_swaps(31, n), n % 4 == 0) << n;
    EXPECT_EQ(frame_palette_swaps(32, n), n % 2 == 0) << n;
    EXPECT_EQ(frame_palette_swaps(33, n), n % 2 == 0) << n;
    EXPECT_EQ(frame_palette_swaps(34, n), 1);
    EXPECT_EQ(frame_palette_swaps(35, n), 1);
    EXPECT_EQ(frame_palette_swaps(39, n), 1);
  }
  EXPECT_EQ(frame_palette_swaps(29, 16), 1);
  EXPECT_EQ(frame_palette_swaps(29, 32), 1);
  EXPECT_EQ(frame_palette_swaps(29, 24), 0);
}

// The same schedule as run_frame applies it: room 29 never touches the
// Palette between its 16th frames, room 35 shuffles on (nearly) every frame.
TEST_F(GameCore, RunFrameShufflesOnTheRoomSchedule) {
  enter_play(1, 300, 300);
  palette_reset();
  g_game.room_number = 29;
  g_game.frame_counter = 0;
  int changed = 0;
  for (int frame = 0; frame < 256; frame++) {
    uint32_t before[256];
    memcpy(before, g_game.palette, sizeof before);
    run_frame(1.0f / 60.0f, 0);
    bool differs = memcmp(before, g_game.palette, sizeof before) != 0;
    if (g_game.frame_counter % 16 != 0) {
      ASSERT_FALSE(differs) << "frame_counter " << g_game.frame_counter;
    }
    changed += differs;
  }
  EXPECT_GE(changed, 3);  // of 16 swaps, about half visible
  g_game.room_number = 35;
  changed = 0;
  for (int frame = 0; frame < 32; frame++) {
    uint32_t before[256];
    memcpy(before, g_game.palette, sizeof before);
    run_frame(1.0f / 60.0f, 0);
    changed += memcmp(before, g_game.palette, sizeof before) != 0;
  }
  // Half the swaps exchange two entries of one colour and change nothing.
  EXPECT_GE(changed, 6);
  EXPECT_EQ(count_palette(0xFFFFFFFFu), 128);
}

TEST_F(GameCore, RoomEffectsOfRooms38To40) {
  palette_reset();
  g_game.room_number = 38;
  g_game.avatar_x = 380;
  g_game.frame_counter = 1000;
  frame_room_effects();
  EXPECT_EQ(g_game.frame_counter, 1017) << "w = 0.5: 100 w^2.5 = 17.68";
  g_game.avatar_x = 2000;
  frame_room_effects();
  EXPECT_EQ(g_game.frame_counter, 1117);
  g_game.avatar_x = -50;
  frame_room_effects();
  EXPECT_EQ(g_game.frame_counter, 1117);

  g_game.room_number = 39;
  g_game.avatar_x = -10;
  memset(g_game.work_bitmap->pixels, 3, 800 * 600);
  frame_room_effects();
  EXPECT_EQ(g_game.frame_counter, 1217);
  EXPECT_EQ(count_palette(0xFFFFFFFFu), 128);
  EXPECT_EQ(count_palette(0), 128);
  for (int i = 0; i < 800 * 600; i++) ASSERT_EQ(g_game.work_bitmap->pixels[i], 16);
  g_game.avatar_x = 760;
  frame_room_effects();
  EXPECT_EQ(count_palette(0xFFA0A0A0u), 128) << "marked entries grey 160";
  EXPECT_EQ(count_palette(0x00A0A0A0u), 128) << "unmarked entries grey 160";
  g_game.avatar_x = 380;
  frame_room_effects();
  EXPECT_EQ(count_palette(0xFF000000u + 207u * 0x010101u), 128);  // 255 - 47.5
  EXPECT_EQ(count_palette(80u * 0x010101u), 128);

  g_game.room_number = 40;
  frame_room_effects();
  EXPECT_EQ(g_game.palette[0], 0xFFFFFFFFu);
  EXPECT_EQ(g_game.palette[127], 0xFFFFFFFFu);
  EXPECT_EQ(g_game.palette[128], 0u);
}

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

TEST_F(GameCore, LeavingTheLastRoomErasesSaveAndExitsZero) {
  enter_play(3, 772, 300);
  const std::vector<uint8_t> old(24, 0x55);
  ASSERT_EQ(1, platform_store_write(SAVE_STORE_KEY, SAVE_STORE_VALUE, old.data(), 24));
  int code = -1;
  try {
    run_frame(1.0f / 60.0f, 0);
  } catch (const TestExit& e) {
    code = e.code;
  }
  EXPECT_EQ(code, 0);
  EXPECT_EQ(stored_save(), std::vector<uint8_t>(24, 0));
  g_game.save = valid_record(1, 1, 1, 0, 0);
  save_read();
  EXPECT_EQ(0, save_is_valid(&g_game.save)) << "the next start shows the title";
  EXPECT_EQ(g_game.room_number, 3);
}

TEST_F(GameCore, RoomLoadOfMissingRoomChangesNothing) {
  enter_play(2, 300, 300);
  Bitmap* room = g_game.room;
  EXPECT_EQ(0, room_load(40));
  EXPECT_EQ(g_game.room, room);
  EXPECT_EQ(g_game.room_number, 2);
}

TEST_F(GameCore, BurstReturnsAvatarToCheckpoint) {
  enter_play(1, 300, 200);
  g_game.fly_mode = 0;
  g_game.avatar_x = 600;
  g_game.avatar_y = 100;
  g_game.fall_speed = 99;
  on_key_down(KEY_CODE_R);
  run_frame(0.02f, 0);
  EXPECT_NEAR(g_game.respawn_timer, 0.03f, 1e-6);
  EXPECT_NEAR(g_game.ring_radius, 0.02f, 1e-6);
  EXPECT_EQ(g_game.avatar_x, 600) << "no ticks during the burst";
  run_frame(0.05f, 0);
  EXPECT_EQ(g_game.respawn_timer, 0.0f);
  EXPECT_EQ(g_game.avatar_x, 300);
  EXPECT_EQ(g_game.avatar_y, 200);
  EXPECT_EQ(g_game.fall_speed, 0);

  // A checkpoint inside the floor puts the avatar 2 pixels lower, once.
  g_game.checkpoint.avatar_y = 480;
  on_key_down(KEY_CODE_R);
  run_frame(0.05f, 0);
  EXPECT_EQ(g_game.avatar_y, 482);
}

}  // namespace
