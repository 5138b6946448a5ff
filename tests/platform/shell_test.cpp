// The shell on the headless backend with a stand-in game: options, frame
// period, key routing, the order of events and frames, pacing, the windowed
// fallback and the present's full-screen fallback. The clock only moves when
// the shell sleeps or the stand-in game works.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/game_state.h"
#include "game/game.h"
#include "platform/headless/headless.h"
#include "platform/shell.h"

GameState g_game;

struct FakeGame {
  int started;
  std::string startup_path;
  std::vector<std::string> log;  // "frame", "key_down 82"... in order
  std::vector<float> frame_dts;
  std::vector<int> frame_inactive;
  std::vector<int> keys_down;
  std::vector<int> keys_up;
  double time;                   // the work done so far, on the backend's clock
  double work_seconds = 0.002;   // clock advance inside each run_frame
  int quit_after_frames = -1;    // posts a quit with quit_code after that many frames
  int quit_code = 0;
  int vsync_lost_at_frame = -1;  // the backend finds its presents do not wait
  // An event pushed while frame n runs (as if it arrived during the frame).
  int inject_at_frame = -1;
  int inject_type = 0, inject_key = 0;
};

FakeGame g_fake_game;

void startup(const char* executable_path) {
  g_fake_game.started = 1;
  g_fake_game.startup_path = executable_path;
}

void run_frame(float dt, int inactive) {
  FakeGame& g = g_fake_game;
  int frame = (int)g.frame_dts.size();
  g.log.push_back("frame");
  g.frame_dts.push_back(dt);
  g.frame_inactive.push_back(inactive);
  g.time += g.work_seconds;
  headless_set_time(g.time);
  if (frame == g.vsync_lost_at_frame) headless_machine()->vsync_lost = 1;
  if (frame == g.inject_at_frame) headless_push_event(g.inject_type, g.inject_key);
  if (frame + 1 == g.quit_after_frames) platform_post_quit(g.quit_code);
}

void on_key_down(int key) {
  g_fake_game.log.push_back("key_down " + std::to_string(key));
  g_fake_game.keys_down.push_back(key);
}

void on_key_up(int key) {
  g_fake_game.log.push_back("key_up " + std::to_string(key));
  g_fake_game.keys_up.push_back(key);
}

namespace {

// A machine with a display service (full screen and vsync work) and a fresh
// stand-in game with the settings cleared.
HeadlessMachine& fake_reset(void) {
  headless_reset();
  headless_machine()->display_service = 1;
  g_fake_game = FakeGame();
  g_game.fullscreen = 0;
  g_game.sound_enabled = 0;
  g_game.cheats_enabled = 0;
  g_game.start_room_25 = 0;
  g_game.app_inactive = 0;
  return *headless_machine();
}

struct Settings {
  int fullscreen, sound, cheats, room;
};

Settings parse(const char* line) {
  fake_reset();
  g_game.cheats_enabled = 1;  // stale values must not survive the parse
  g_game.start_room_25 = 7;
  options_parse(line);
  return {g_game.fullscreen, g_game.sound_enabled, g_game.cheats_enabled, g_game.start_room_25};
}

TEST(ShellOptions, DefaultsAndEveryListedCase) {
  Settings none = parse("");
  EXPECT_EQ(1, none.fullscreen);
  EXPECT_EQ(1, none.sound);
  EXPECT_EQ(0, none.cheats);
  EXPECT_EQ(0, none.room);
  EXPECT_EQ(1, parse("+full").fullscreen);
  EXPECT_EQ(0, parse("-full").fullscreen);
  // Both forms, either order: the "-" test runs later and wins.
  EXPECT_EQ(0, parse("+full -full").fullscreen);
  EXPECT_EQ(0, parse("-full +full").fullscreen);
  EXPECT_EQ(0, parse("-sound").sound);
  EXPECT_EQ(1, parse("+sound").sound);
  EXPECT_EQ(0, parse("+sound-sound").sound);  // no blank between them
  EXPECT_EQ(0, parse("-sound+sound").sound);
  EXPECT_EQ(1, parse("+cheat").cheats);
  EXPECT_EQ(25, parse("+25").room);
  EXPECT_EQ(25, parse("level+250x").room);    // inside a longer word
  EXPECT_EQ(0, parse("-fullscreen").fullscreen);
  Settings all = parse("+cheat -full -sound +25");
  EXPECT_EQ(0, all.fullscreen);
  EXPECT_EQ(0, all.sound);
  EXPECT_EQ(1, all.cheats);
  EXPECT_EQ(25, all.room);
}

TEST(ShellOptions, AssistScalesOnlyTheGamesTime) {
  parse("-full -assist");
  EXPECT_EQ(1, g_game.assist);
  EXPECT_FLOAT_EQ(0.015f, shell_game_seconds(0.02));
  parse("+assist -full");
  EXPECT_EQ(0, g_game.assist);
  EXPECT_FLOAT_EQ(0.02f, shell_game_seconds(0.02));
}

TEST(ShellOptions, TestsAreCaseSensitive) {
  Settings upper = parse("-FULL -Sound +CHEAT");
  EXPECT_EQ(1, upper.fullscreen);
  EXPECT_EQ(1, upper.sound);
  EXPECT_EQ(0, upper.cheats);
  EXPECT_EQ(0, parse("+2 5").room);
  Settings null_line = parse(nullptr);
  EXPECT_EQ(1, null_line.fullscreen);
}

TEST(ShellOptions, JoinKeepsArgumentsApartAndStaysInBounds) {
  char a0[] = "vantrel", a1[] = "+sound", a2[] = "-sound", a3[] = "+25";
  char* argv[] = {a0, a1, a2, a3};
  char buffer[64];
  EXPECT_EQ(17, options_join(4, argv, buffer, sizeof buffer));
  EXPECT_STREQ("+sound -sound +25", buffer);
  char small[8];
  EXPECT_EQ(7, options_join(4, argv, small, sizeof small));
  EXPECT_STREQ("+sound ", small);
  EXPECT_EQ(0, options_join(1, argv, buffer, sizeof buffer));
  EXPECT_STREQ("", buffer);
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

TEST(ShellKeys, AltF4GoesToTheSystemAndEndsTheLoop) {
  fake_reset();
  headless_push_event(PLATFORM_EVENT_SYSKEY_DOWN, PLATFORM_VK_F4);
  int code = -1;
  EXPECT_EQ(1, shell_pump_events(&code));
  EXPECT_EQ(0, code);
  EXPECT_TRUE(g_fake_game.keys_down.empty());
}

TEST(ShellKeys, ActivationAndClosing) {
  fake_reset();
  PlatformEvent event = {};
  event.type = PLATFORM_EVENT_ACTIVATE;
  event.active = 0;
  EXPECT_EQ(1, shell_handle_event(&event));
  EXPECT_EQ(1, g_game.app_inactive);
  event.active = 1;
  shell_handle_event(&event);
  EXPECT_EQ(0, g_game.app_inactive);
  event.type = PLATFORM_EVENT_CLOSED;
  shell_handle_event(&event);
  PlatformEvent queued = {};
  ASSERT_EQ(1, platform_poll_event(&queued));
  EXPECT_EQ(PLATFORM_EVENT_QUIT, queued.type);
  EXPECT_EQ(0, queued.exit_code);
  EXPECT_EQ(0, platform_poll_event(&queued));
}

TEST(ShellLoop, WindowedStartupOrderAndPacingAt60Hz) {
  fake_reset();
  g_fake_game.quit_after_frames = 20;
  g_fake_game.quit_code = 0;
  EXPECT_EQ(0, shell_main("-full"));
  char path[512];
  ASSERT_GT(platform_executable_path(path, sizeof path), 0);
  EXPECT_EQ(path, g_fake_game.startup_path);
  ASSERT_EQ(20u, g_fake_game.frame_dts.size());
  for (float dt : g_fake_game.frame_dts) {
    EXPECT_GE(dt, 0.8f / 60 - 1e-6f);        // never before 80 % of the period
    EXPECT_LT(dt, 0.8f / 60 + 0.0011f);       // and within one 1 ms sleep of it
  }
}

TEST(ShellLoop, NoDisplayServiceWaitsNinetyPercent) {
  HeadlessMachine& machine = fake_reset();
  machine.display_service = 0;
  machine.refresh_hz = 100;
  g_fake_game.quit_after_frames = 5;
  EXPECT_EQ(0, shell_main("+sound"));
  EXPECT_EQ(0, g_game.fullscreen);
  for (float dt : g_fake_game.frame_dts) {
    EXPECT_GE(dt, 0.009f - 1e-6f);
    EXPECT_LT(dt, 0.0101f);
  }
}

TEST(ShellLoop, ActiveFullScreenWithVsyncNeverSleeps) {
  HeadlessMachine& machine = fake_reset();
  g_fake_game.quit_after_frames = 10;
  g_fake_game.work_seconds = 0.004;
  EXPECT_EQ(0, shell_main(""));
  EXPECT_EQ(1, g_game.fullscreen);
  EXPECT_EQ(1, machine.sleeps);  // only the settle after the full-screen set-up
  for (size_t i = 1; i < g_fake_game.frame_dts.size(); i++)
    EXPECT_NEAR(0.004, g_fake_game.frame_dts[i], 1e-6);  // only the frame's own work
}

TEST(ShellLoop, FullScreenWithoutVsyncIsPacedBySleeping) {
  fake_reset().vsync_lost = 1;
  g_fake_game.quit_after_frames = 5;
  EXPECT_EQ(0, shell_main(""));
  for (size_t i = 1; i < g_fake_game.frame_dts.size(); i++)
    EXPECT_GE(g_fake_game.frame_dts[i], 0.8f / 60 - 1e-6f);
}

TEST(ShellLoop, VsyncFoundMissingMidRunSwitchesToSleeping) {
  fake_reset();
  g_fake_game.vsync_lost_at_frame = 3;
  g_fake_game.quit_after_frames = 8;
  EXPECT_EQ(0, shell_main(""));
  EXPECT_NEAR(0.002, g_fake_game.frame_dts[3], 1e-6);
  for (size_t i = 4; i < 8; i++) EXPECT_GE(g_fake_game.frame_dts[i], 0.8f / 60 - 1e-6f);
}

TEST(ShellLoop, InactiveFramesRunPacedWithTheFlag) {
  fake_reset();
  g_fake_game.inject_at_frame = 2;
  g_fake_game.inject_type = PLATFORM_EVENT_ACTIVATE;  // active 0: lost
  g_fake_game.quit_after_frames = 8;
  EXPECT_EQ(0, shell_main(""));  // active full screen until frame 2
  ASSERT_EQ(8u, g_fake_game.frame_inactive.size());
  EXPECT_EQ(0, g_fake_game.frame_inactive[2]);
  EXPECT_EQ(1, g_fake_game.frame_inactive[3]);
  EXPECT_EQ(1, g_fake_game.frame_inactive[7]);
  EXPECT_NEAR(0.002, g_fake_game.frame_dts[2], 1e-6);    // unpaced while active
  EXPECT_GE(g_fake_game.frame_dts[4], 0.8f / 60 - 1e-6f);  // paced once inactive
}

TEST(ShellLoop, EveryWaitingEventIsHandledBeforeTheNextFrame) {
  fake_reset();
  headless_push_event(PLATFORM_EVENT_KEY_DOWN, 'R');
  headless_push_event(PLATFORM_EVENT_KEY_UP, 'R');
  g_fake_game.inject_at_frame = 0;
  g_fake_game.inject_type = PLATFORM_EVENT_KEY_DOWN;
  g_fake_game.inject_key = ' ';
  g_fake_game.quit_after_frames = 3;
  shell_main("-full");
  EXPECT_EQ((std::vector<std::string>{"key_down 82", "key_up 82", "frame", "key_down 32", "frame",
                                      "frame"}),
            g_fake_game.log);
}

TEST(ShellLoop, QuitCarriesTheGameExitCode) {
  fake_reset();
  g_fake_game.quit_after_frames = 3;
  g_fake_game.quit_code = 7;
  EXPECT_EQ(7, shell_main("-full"));
  EXPECT_EQ(3u, g_fake_game.frame_dts.size());
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

TEST(ShellLoop, NoWindowEndsWithZeroBeforeStartup) {
  fake_reset().window_fails = 1;
  EXPECT_EQ(0, shell_main(""));
  EXPECT_EQ(0, g_fake_game.started);
  EXPECT_TRUE(g_fake_game.frame_dts.empty());
}

TEST(ShellPresent, FailedFullScreenPresentFallsBackForGood) {
  HeadlessMachine& machine = fake_reset();
  g_game.fullscreen = 1;
  uint32_t pixels[4] = {};
  present_frame(0, 0, pixels, 2, 2, 2);
  EXPECT_EQ(1, g_game.fullscreen);
  machine.present_fails = 1;
  present_frame(0, 0, pixels, 2, 2, 2);
  EXPECT_EQ(0, g_game.fullscreen);
  machine.present_fails = 0;
  present_frame(0, 0, pixels, 2, 2, 2);
  EXPECT_EQ(0, g_game.fullscreen);
  EXPECT_EQ(3, machine.presents);
}

}  // namespace
