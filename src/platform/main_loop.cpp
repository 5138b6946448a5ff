// Process start-up and the main loop. All waiting events are handled before
// a frame, so key handlers never run inside one. Windowed or inactive, the
// loop sleeps in 1 ms steps until most of the frame period has passed; in
// active full-screen play a vsync'd present does the pacing instead.
#include "core/game_state.h"
#include "game/game.h"
#include "platform/shell.h"

enum { EXECUTABLE_PATH_BYTES = 512 };

double shell_frame_period(int refresh_hz) {
  unsigned hz = (unsigned)refresh_hz;
  if (hz <= 1) hz = 60;  // 0 and 1 are the "hardware default" answers
  double period = 1.0 / hz;
  if (period < 0.0099) period *= 2;
  return period;
}

double shell_wait_seconds(double frame_period, int display_available) {
  return frame_period * (display_available ? 0.8 : 0.9);
}

int shell_pump_events(int* exit_code_out) {
  PlatformEvent event;
  while (platform_poll_event(&event)) {
    if (event.type == PLATFORM_EVENT_QUIT) {
      *exit_code_out = event.exit_code;
      return 1;
    }
    if (!shell_handle_event(&event)) platform_default_event(&event);
  }
  return 0;
}

int shell_start(const char* command_line, ShellLoop* loop) {
  options_parse(command_line);
  int made_popup = g_game.fullscreen;
  if (!platform_window_create(g_game.fullscreen)) return 0;

  char path[EXECUTABLE_PATH_BYTES];
  if (!platform_executable_path(path, (int)sizeof path)) path[0] = 0;
  startup(path);

  loop->display_available = platform_display_open();
  if (!loop->display_available) {
    g_game.fullscreen = 0;
  } else if (g_game.fullscreen) {
    g_game.fullscreen = (uint8_t)platform_display_open_fullscreen();
    if (g_game.fullscreen) platform_sleep_ms(250);  // let the display settle
  }
  if (!g_game.fullscreen && made_popup) {
    shell_recreating_window = 1;
    platform_window_destroy();
    shell_recreating_window = 0;
    if (!platform_window_create(0)) return 0;
  }
  if (g_game.fullscreen) {
    platform_pointer_show(0);
  } else {
    platform_window_show();
  }
  loop->frame_period = shell_frame_period(platform_display_refresh_hz());
  loop->vsync = platform_display_vsync();
  loop->previous = platform_clock_seconds();
  return 1;
}

// Without vsync a full-screen present returns at once, so it is paced like a
// window.
static int shell_paces(ShellLoop* loop) {
  loop->vsync = platform_display_vsync();  // a backend may find out it has none
  return !g_game.fullscreen || g_game.app_inactive || !loop->vsync;
}

static void shell_run_frame(ShellLoop* loop, double now) {
  run_frame(shell_game_seconds(now - loop->previous), g_game.app_inactive);
  loop->previous = now;
}

void shell_frame(ShellLoop* loop) {
  double now = platform_clock_seconds();
  double wait = shell_wait_seconds(loop->frame_period, loop->display_available);
  if (shell_paces(loop)) {
    while (now - loop->previous < wait) {
      platform_sleep_ms(1);
      now = platform_clock_seconds();
    }
  }
  shell_run_frame(loop, now);
}

int shell_frame_if_due(ShellLoop* loop) {
  double now = platform_clock_seconds();
  double wait = shell_wait_seconds(loop->frame_period, loop->display_available);
  if (shell_paces(loop) && now - loop->previous < wait) return 0;
  shell_run_frame(loop, now);
  return 1;
}

int shell_main(const char* command_line) {
  ShellLoop loop = {};
  if (!shell_start(command_line, &loop)) return 0;
  for (;;) {
    int exit_code = 0;
    if (shell_pump_events(&exit_code)) return exit_code;
    shell_frame(&loop);
  }
}
