// The shell against a stand-in backend and game: options, frame period, key
// routing, the order of events and frames, pacing, the windowed fallback and
// the present's full-screen fallback.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/game_state.h"
#include "fake_platform.h"
#include "game/game.h"
#include "platform/shell.h"

namespace {

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

TEST(ShellFramePeriod, RefreshRates) {
  EXPECT_DOUBLE_EQ(1.0 / 60, shell_frame_period(60));
  EXPECT_DOUBLE_EQ(1.0 / 100, shell_frame_period(100));  // 0.01 is not below 0.0099
  EXPECT_DOUBLE_EQ(2.0 / 120, shell_frame_period(120));  // doubled: every second refresh
  EXPECT_DOUBLE_EQ(1.0 / 60, shell_frame_period(0));     // unknown rate
  EXPECT_DOUBLE_EQ(1.0 / 60, shell_frame_period(1));
  EXPECT_DOUBLE_EQ(2.0 / 144, shell_frame_period(144));
  EXPECT_DOUBLE_EQ(1.0 / 75, shell_frame_period(75));
}

TEST(ShellFramePeriod, WaitIsEightyOrNinetyPercent) {
  EXPECT_NEAR(0.0133333, shell_wait_seconds(1.0 / 60, 1), 1e-6);
  EXPECT_NEAR(0.015, shell_wait_seconds(1.0 / 60, 0), 1e-9);
}

TEST(ShellKeys, TranslateTable) {
  EXPECT_EQ(KEY_UP, translate_key(0x26));
  EXPECT_EQ(KEY_DOWN, translate_key(0x28));
  EXPECT_EQ(KEY_LEFT, translate_key(0x25));
  EXPECT_EQ(KEY_RIGHT, translate_key(0x27));
  EXPECT_EQ('P', translate_key(0x13));
  const int unchanged[] = {0x1B, 0x20, 'P', 'R', 'D', 'F', 'L', 0x73, 0x12, 0x00, 0xFF};
  for (int key : unchanged)
    EXPECT_EQ(key, translate_key(key)) << key;
}

TEST(ShellKeys, RoutingOfEachEventType) {
  fake_reset();
  fake_push_key(PLATFORM_EVENT_KEY_DOWN, PLATFORM_VK_LEFT);
  fake_push_key(PLATFORM_EVENT_KEY_DOWN, PLATFORM_VK_PAUSE);
  fake_push_key(PLATFORM_EVENT_KEY_DOWN, 'A');
  fake_push_key(PLATFORM_EVENT_KEY_DOWN, 'A');             // auto-repeat is not filtered
  fake_push_key(PLATFORM_EVENT_SYSKEY_DOWN, PLATFORM_VK_UP);  // Alt+arrow acts as the arrow
  fake_push_key(PLATFORM_EVENT_KEY_UP, PLATFORM_VK_LEFT);
  fake_push_key(PLATFORM_EVENT_SYSKEY_DOWN, 'X');          // left to the system
  int code = -1;
  EXPECT_EQ(0, shell_pump_events(&code));
  EXPECT_EQ((std::vector<int>{KEY_LEFT, 'P', 'A', 'A', KEY_UP}), g_fake_game.keys_down);
  EXPECT_EQ((std::vector<int>{KEY_LEFT}), g_fake_game.keys_up);
  EXPECT_EQ("default 88", g_fake.log.back());
}

TEST(ShellKeys, AltF4GoesToTheSystemAndEndsTheLoop) {
  fake_reset();
  fake_push_key(PLATFORM_EVENT_SYSKEY_DOWN, PLATFORM_VK_F4);
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
  g_fake.queue.clear();
  shell_handle_event(&event);
  ASSERT_EQ(1u, g_fake.queue.size());
  EXPECT_EQ(PLATFORM_EVENT_QUIT, g_fake.queue.front().type);
  EXPECT_EQ(0, g_fake.queue.front().exit_code);
}

TEST(ShellLoop, WindowedStartupOrderAndPacingAt60Hz) {
  fake_reset();
  g_fake_game.quit_after_frames = 20;
  g_fake_game.quit_code = 0;
  EXPECT_EQ(0, shell_main("-full"));
  EXPECT_EQ((std::vector<std::string>{"window framed", "startup", "display open", "window show"}),
            std::vector<std::string>(g_fake.log.begin(), g_fake.log.begin() + 4));
  EXPECT_EQ("/opt/vantrel/vantrel", g_fake_game.startup_path);
  ASSERT_EQ(20u, g_fake_game.frame_dts.size());
  for (float dt : g_fake_game.frame_dts) {
    EXPECT_GE(dt, 0.8f / 60 - 1e-6f);        // never before 80 % of the period
    EXPECT_LT(dt, 0.8f / 60 + 0.0011f);       // and within one 1 ms sleep of it
  }
}

TEST(ShellLoop, NoDisplayServiceWaitsNinetyPercent) {
  fake_reset();
  g_fake.display_open_ok = 0;
  g_fake.refresh_hz = 100;
  g_fake_game.quit_after_frames = 5;
  EXPECT_EQ(0, shell_main("+sound"));
  EXPECT_EQ(0, g_game.fullscreen);
  for (float dt : g_fake_game.frame_dts) {
    EXPECT_GE(dt, 0.009f - 1e-6f);
    EXPECT_LT(dt, 0.0101f);
  }
}

TEST(ShellLoop, ActiveFullScreenWithVsyncNeverSleeps) {
  fake_reset();
  g_fake_game.quit_after_frames = 10;
  g_fake_game.work_seconds = 0.004;
  EXPECT_EQ(0, shell_main(""));
  EXPECT_EQ(1, g_game.fullscreen);
  EXPECT_EQ(1, g_fake.sleeps);  // only the settle after the full-screen set-up
  EXPECT_NE(std::find(g_fake.log.begin(), g_fake.log.end(), "pointer hide"), g_fake.log.end());
  EXPECT_EQ(std::find(g_fake.log.begin(), g_fake.log.end(), "window show"), g_fake.log.end());
  for (size_t i = 1; i < g_fake_game.frame_dts.size(); i++)
    EXPECT_NEAR(0.004, g_fake_game.frame_dts[i], 1e-6);  // only the frame's own work
}

TEST(ShellLoop, FullScreenWithoutVsyncIsPacedBySleeping) {
  fake_reset();
  g_fake.vsync = 0;
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
  PlatformEvent lost = {};
  lost.type = PLATFORM_EVENT_ACTIVATE;
  lost.active = 0;
  g_fake_game.inject_at_frame = 2;
  g_fake_game.inject_event = lost;
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
  fake_push_key(PLATFORM_EVENT_KEY_DOWN, 'R');
  fake_push_key(PLATFORM_EVENT_KEY_UP, 'R');
  PlatformEvent space = {};
  space.type = PLATFORM_EVENT_KEY_DOWN;
  space.key = ' ';
  g_fake_game.inject_at_frame = 0;
  g_fake_game.inject_event = space;
  g_fake_game.quit_after_frames = 3;
  shell_main("-full");
  std::vector<std::string> after_show(
      std::find(g_fake.log.begin(), g_fake.log.end(), "window show") + 1, g_fake.log.end());
  EXPECT_EQ((std::vector<std::string>{"key_down 82", "key_up 82", "frame", "key_down 32", "frame",
                                      "frame"}),
            after_show);
}

TEST(ShellLoop, QuitCarriesTheGameExitCode) {
  fake_reset();
  g_fake_game.quit_after_frames = 3;
  g_fake_game.quit_code = 7;
  EXPECT_EQ(7, shell_main("-full"));
  EXPECT_EQ(3u, g_fake_game.frame_dts.size());
}

TEST(ShellLoop, FailedFullScreenLeavesExactlyOneFramedWindow) {
  fake_reset();
  g_fake.fullscreen_ok = 0;
  g_fake_game.quit_after_frames = 4;
  EXPECT_EQ(0, shell_main(""));
  // Destroying the popup reported its closing, but that did not end the
  // program: all four frames ran.
  EXPECT_EQ(4u, g_fake_game.frame_dts.size());
  EXPECT_EQ(0, g_game.fullscreen);
  EXPECT_EQ(1, g_fake.windows_alive);
  EXPECT_EQ(1, g_fake.framed_window);
  EXPECT_EQ((std::vector<std::string>{"window popup", "startup", "display open",
                                      "display fullscreen", "window destroy", "window framed",
                                      "window show"}),
            std::vector<std::string>(g_fake.log.begin(), g_fake.log.begin() + 7));
}

TEST(ShellLoop, NoWindowEndsWithZeroBeforeStartup) {
  fake_reset();
  g_fake.window_create_ok = 0;
  EXPECT_EQ(0, shell_main(""));
  EXPECT_EQ((std::vector<std::string>{"window popup"}), g_fake.log);
}

TEST(ShellPresent, FailedFullScreenPresentFallsBackForGood) {
  fake_reset();
  g_game.fullscreen = 1;
  uint32_t pixels[4] = {};
  present_frame(0, 0, pixels, 2, 2, 2);
  EXPECT_EQ(1, g_game.fullscreen);
  g_fake.present_ok = 0;
  present_frame(0, 0, pixels, 2, 2, 2);
  EXPECT_EQ(0, g_game.fullscreen);
  g_fake.present_ok = 1;
  present_frame(0, 0, pixels, 2, 2, 2);
  EXPECT_EQ(0, g_game.fullscreen);
  EXPECT_EQ((std::vector<int>{1, 1, 0}), g_fake.present_fullscreen_args);
}

}  // namespace
