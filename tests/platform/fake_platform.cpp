// The stand-in backend and game behind the shell tests. Destroying a window
// reports its closing synchronously, as the Windows window procedure does,
// so that the fallback's guard against quitting is really exercised.
#include "fake_platform.h"

#include <stdio.h>
#include <string.h>
#include <stdlib.h>

#include "core/game_state.h"
#include "game/game.h"
#include "platform/shell.h"

FakePlatform g_fake;
FakeGame g_fake_game;
GameState g_game;

void fake_reset(void) {
  g_fake = FakePlatform();
  g_fake_game = FakeGame();
  g_game.fullscreen = 0;
  g_game.sound_enabled = 0;
  g_game.cheats_enabled = 0;
  g_game.start_room_25 = 0;
  g_game.app_inactive = 0;
}

void fake_push_key(int type, int key) {
  PlatformEvent event = {};
  event.type = type;
  event.key = key;
  g_fake.queue.push_back(event);
}

// ---- platform.h ----
double platform_clock_seconds(void) { return g_fake.clock; }
void platform_sleep_ms(int milliseconds) {
  g_fake.sleeps++;
  g_fake.clock += milliseconds / 1000.0;
}
int platform_window_create(int fullscreen) {
  g_fake.log.push_back(fullscreen ? "window popup" : "window framed");
  if (!g_fake.window_create_ok) return 0;
  g_fake.windows_alive++;
  g_fake.framed_window = !fullscreen;
  return 1;
}
void platform_window_destroy(void) {
  g_fake.log.push_back("window destroy");
  g_fake.windows_alive--;
  PlatformEvent closed = {};
  closed.type = PLATFORM_EVENT_CLOSED;
  shell_handle_event(&closed);
}
void platform_window_show(void) { g_fake.log.push_back("window show"); }
void platform_pointer_show(int visible) {
  g_fake.log.push_back(visible ? "pointer show" : "pointer hide");
}
int platform_poll_event(PlatformEvent* event_out) {
  if (g_fake.queue.empty()) return 0;
  *event_out = g_fake.queue.front();
  g_fake.queue.pop_front();
  return 1;
}
void platform_default_event(const PlatformEvent* event) {
  g_fake.log.push_back("default " + std::to_string(event->key));
  if (event->type == PLATFORM_EVENT_SYSKEY_DOWN && event->key == PLATFORM_VK_F4) platform_post_quit(0);
}
void platform_post_quit(int exit_code) {
  PlatformEvent quit = {};
  quit.type = PLATFORM_EVENT_QUIT;
  quit.exit_code = exit_code;
  g_fake.queue.push_back(quit);
}
int platform_display_refresh_hz(void) { return g_fake.refresh_hz; }
int platform_display_open(void) {
  g_fake.log.push_back("display open");
  return g_fake.display_open_ok;
}
int platform_display_open_fullscreen(void) {
  g_fake.log.push_back("display fullscreen");
  return g_fake.fullscreen_ok;
}
int platform_display_vsync(void) { return g_fake.vsync; }
int platform_present(int, int, const uint32_t*, int, int, int, int fullscreen) {
  g_fake.present_fullscreen_args.push_back(fullscreen);
  return fullscreen ? g_fake.present_ok : 1;
}
int platform_executable_path(char* buffer, int bytes) {
  snprintf(buffer, bytes, "/opt/vantrel/vantrel");
  return (int)strlen(buffer);
}
void platform_message_box(const char*, const char*) {}
void platform_exit(int exit_code) { exit(exit_code); }

// ---- game/game.h ----
void startup(const char* executable_path) {
  g_fake.log.push_back("startup");
  g_fake_game.startup_path = executable_path;
}
void run_frame(float dt, int inactive) {
  int frame = (int)g_fake_game.frame_dts.size();
  g_fake.log.push_back("frame");
  g_fake_game.frame_dts.push_back(dt);
  g_fake_game.frame_inactive.push_back(inactive);
  g_fake.clock += g_fake_game.work_seconds;
  if (frame == g_fake_game.vsync_lost_at_frame) g_fake.vsync = 0;
  if (frame == g_fake_game.inject_at_frame) g_fake.queue.push_back(g_fake_game.inject_event);
  if (frame + 1 == g_fake_game.quit_after_frames) platform_post_quit(g_fake_game.quit_code);
}
void on_key_down(int key) {
  g_fake.log.push_back("key_down " + std::to_string(key));
  g_fake_game.keys_down.push_back(key);
}
void on_key_up(int key) {
  g_fake.log.push_back("key_up " + std::to_string(key));
  g_fake_game.keys_up.push_back(key);
}
