// The shell on the headless backend with a stand-in game: options, key
// routing, the windowed fallback and the present's full-screen fallback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/game_state.h"
#include "game/game.h"
#include "platform/headless/headless.h"
#include "platform/shell.h"

GameState g_game;

struct FakeGame {
  std::vector<float> frame_dts;
  std::vector<int> keys_down, keys_up;
  double time;                 // the work done so far, on the backend's clock
  int quit_after_frames = -1;  // posts a quit after that many frames
};

FakeGame g_fake_game;

void startup(const char*) {}

void run_frame(float dt, int /*inactive*/) {
  FakeGame& g = g_fake_game;
  g.frame_dts.push_back(dt);
  headless_set_time(g.time += 0.002);  // each frame's work takes 2 ms
  if ((int)g.frame_dts.size() == g.quit_after_frames) platform_post_quit(0);
}

void on_key_down(int key) { g_fake_game.keys_down.push_back(key); }
void on_key_up(int key) { g_fake_game.keys_up.push_back(key); }

// The runner's --portable asks the renderer for its plain code; there is none here.
int noise_field_limit_vector(int) { return 0; }

namespace {

// A machine with a display service (full screen and vsync work) and a fresh
// stand-in game with the settings cleared.
HeadlessMachine& fake_reset(void) {
  headless_reset();
  headless_machine()->display_service = 1;
  g_fake_game = FakeGame();
  g_game.fullscreen = 0;
  g_game.sound_enabled = g_game.cheats_enabled = g_game.start_room_25 = g_game.app_inactive = 0;
  return *headless_machine();
}

// Each line parsed from stale values: (fullscreen, sound, cheats, room).
TEST(ShellOptions, DefaultsAndEveryListedCase) {
  const struct { const char* line; int full, sound, cheats, room; } cases[] = {
      {"", 1, 1, 0, 0},
      {"-full", 0, 1, 0, 0},
      {"+full -full", 0, 1, 0, 0},  // both forms, either order: the "-" test runs later and wins
      {"-sound", 1, 0, 0, 0},
      {"+sound-sound", 1, 0, 0, 0},  // no blank between them
      {"+cheat", 1, 1, 1, 0},
      {"+25", 1, 1, 0, 25},
      {"level+250x", 1, 1, 0, 25},   // inside a longer word
      {"+cheat -full -sound +25", 0, 0, 1, 25},
  };
  for (const auto& c : cases) {
    fake_reset();
    g_game.cheats_enabled = 1;
    g_game.start_room_25 = 7;
    options_parse(c.line);
    EXPECT_EQ(c.full, g_game.fullscreen) << c.line;
    EXPECT_EQ(c.sound, g_game.sound_enabled) << c.line;
    EXPECT_EQ(c.cheats, g_game.cheats_enabled) << c.line;
    EXPECT_EQ(c.room, g_game.start_room_25) << c.line;
  }
}

TEST(ShellKeys, RoutingOfEachEventType) {
  fake_reset();
  headless_push_event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_VK_LEFT);
  headless_push_event(PLATFORM_EVENT_KEY_DOWN, PLATFORM_VK_PAUSE);
  headless_push_event(PLATFORM_EVENT_KEY_DOWN, 'A');
  headless_push_event(PLATFORM_EVENT_KEY_DOWN, 'A');             // auto-repeat is not filtered
  headless_push_event(PLATFORM_EVENT_SYSKEY_DOWN, PLATFORM_VK_UP);  // Alt+arrow acts as the arrow
  headless_push_event(PLATFORM_EVENT_KEY_UP, PLATFORM_VK_LEFT);
  headless_push_event(PLATFORM_EVENT_SYSKEY_DOWN, 'X');          // left to the system
  int code = -1;
  EXPECT_EQ(0, shell_pump_events(&code));
  EXPECT_EQ((std::vector<int>{KEY_LEFT, 'P', 'A', 'A', KEY_UP}), g_fake_game.keys_down);
  EXPECT_EQ((std::vector<int>{KEY_LEFT}), g_fake_game.keys_up);
}

TEST(ShellLoop, FailedFullScreenLeavesExactlyOneFramedWindow) {
  HeadlessMachine& machine = fake_reset();
  machine.fullscreen_fails = 1;
  g_fake_game.quit_after_frames = 4;
  EXPECT_EQ(0, shell_main(""));
  // Destroying the popup reported its closing, but that did not end the
  // program: all four frames ran.
  EXPECT_EQ(4u, g_fake_game.frame_dts.size());
  EXPECT_EQ(0, g_game.fullscreen);
  EXPECT_EQ(1, machine.windows);
}

TEST(ShellPresent, FailedFullScreenPresentFallsBackForGood) {
  HeadlessMachine& machine = fake_reset();
  g_game.fullscreen = 1;
  uint32_t pixels[4] = {};
  const int fails[] = {0, 1, 0}, full_after[] = {1, 0, 0};  // one failure: windowed for good
  for (int i = 0; i < 3; i++) {
    machine.present_fails = fails[i];
    present_frame(0, 0, pixels, 2, 2, 2);
    EXPECT_EQ(full_after[i], g_game.fullscreen) << i;
  }
  EXPECT_EQ(3, machine.presents);
}

}  // namespace
