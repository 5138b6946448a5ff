// The machine as the solver presents it to the game: no window, no sound
// device, a clock that only the solver moves and a save that lives in memory.
// It mirrors the headless runner closely enough that a route found here plays
// the same in vantrel-headless; nothing in it holds heap memory, because the
// solver's snapshots copy the game's static data wholesale.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"

namespace {

double g_clock_seconds;

}  // namespace

double platform_clock_seconds(void) { return g_clock_seconds; }
void platform_sleep_ms(int milliseconds) {
  if (milliseconds > 0) g_clock_seconds += milliseconds / 1000.0;
}

int platform_window_create(int) { return 1; }
void platform_window_destroy(void) {}
void platform_window_show(void) {}
void platform_pointer_show(int) {}
// Events never queue here: the solver hands keys straight to the shell's
// router, between frames, as the headless runner's pump does.
int platform_poll_event(PlatformEvent*) { return 0; }
void platform_default_event(const PlatformEvent*) {}
void platform_post_quit(int) {}
int platform_display_refresh_hz(void) { return 60; }
int platform_display_open(void) { return 0; }
int platform_display_open_fullscreen(void) { return 0; }
int platform_display_vsync(void) { return 0; }
int platform_present(int, int, const uint32_t*, int, int, int, int) { return 1; }

int platform_sound_open(int, int) { return 0; }
void platform_sound_close(void) {}
int platform_sound_cursors(int* play_bytes_out, int* write_bytes_out) {
  *play_bytes_out = *write_bytes_out = 0;
  return 0;
}
int platform_sound_write(int, int, const void*) { return 0; }

// A fresh save folder: nothing to read, and writes go nowhere, so every run
// starts at the title screen exactly as the route test's runner does.
int platform_store_read(const char*, const char*, void*, int) { return 0; }
int platform_store_write(const char*, const char*, const void*, int) { return 1; }

void platform_message_box(const char* caption, const char* text) {
  fprintf(stderr, "%s: %s\n", caption, text);
}

// Reached only by walking out of the row of rooms or by a fatal message; the
// solver never runs the frame that leaves the last room, so either is an
// error here.
void platform_exit(int exit_code) {
  fprintf(stderr, "vantrel-solver: the game ended the process (code %d)\n", exit_code);
  fflush(nullptr);
  exit(exit_code == 0 ? 1 : exit_code);
}

int platform_executable_path(char* buffer, int bytes) {
  if (bytes < 1) return 0;
  buffer[0] = 0;
  return 0;
}
