// The headless implementation of platform.h. No window, display or sound
// device exists: the clock is whatever the runner sets, presents only keep
// a pointer for captures, and the sound buffer is an array whose play cursor
// moves exactly as far as the frame time says.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <deque>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

// How far the emulated write cursor runs ahead of the play cursor, as a
// device's own hardware buffer would.
const int DEVICE_AHEAD_FRAMES = 1024;

struct HeadlessBackend {
  double time;                     // seconds, set by the runner per frame
  double slept;                    // platform_sleep_ms adds here
  std::deque<PlatformEvent> events;
  const uint32_t* image;
  int image_width, image_height, image_row_length;
  int16_t* sound;                  // the looping buffer, stereo frames
  int sound_frames;
  int sound_play;                  // play cursor in frames
};

HeadlessBackend backend;

}  // namespace

void headless_set_time(double seconds) { backend.time = seconds; }

void headless_push_event(int type, int key) {
  PlatformEvent event = {};
  event.type = type;
  event.key = key;
  backend.events.push_back(event);
}

const uint32_t* headless_last_image(int* width_out, int* height_out, int* row_length_out) {
  *width_out = backend.image_width;
  *height_out = backend.image_height;
  *row_length_out = backend.image_row_length;
  return backend.image;
}

void headless_sound_consume(int frame_count) {
  static const int16_t silence[2 * 1024] = {};
  while (frame_count > 0) {
    if (!backend.sound) {
      int n = frame_count < 1024 ? frame_count : 1024;
      output_note_sound(silence, n);
      frame_count -= n;
      continue;
    }
    int n = backend.sound_frames - backend.sound_play;
    if (n > frame_count) n = frame_count;
    output_note_sound(backend.sound + 2 * backend.sound_play, n);
    backend.sound_play = (backend.sound_play + n) % backend.sound_frames;
    frame_count -= n;
  }
}

double platform_clock_seconds(void) { return backend.time + backend.slept; }

void platform_sleep_ms(int milliseconds) {
  if (milliseconds > 0) backend.slept += milliseconds / 1000.0;
}

int platform_window_create(int) { return 1; }
void platform_window_destroy(void) {}
void platform_window_show(void) {}
void platform_pointer_show(int) {}

int platform_poll_event(PlatformEvent* event_out) {
  if (backend.events.empty()) return 0;
  *event_out = backend.events.front();
  backend.events.pop_front();
  return 1;
}

void platform_default_event(const PlatformEvent* event) {
  if (event->type == PLATFORM_EVENT_SYSKEY_DOWN && event->key == PLATFORM_VK_F4) platform_post_quit(0);
}

void platform_post_quit(int exit_code) {
  PlatformEvent event = {};
  event.type = PLATFORM_EVENT_QUIT;
  event.exit_code = exit_code;
  backend.events.push_back(event);
}

int platform_display_refresh_hz(void) { return 60; }
int platform_display_open(void) { return 0; }
int platform_display_open_fullscreen(void) { return 0; }
int platform_display_vsync(void) { return 0; }

int platform_present(int, int, const uint32_t* pixels, int width, int height, int row_length, int) {
  if (!pixels || width <= 0 || height == 0) return 1;
  backend.image = pixels;
  backend.image_width = width;
  backend.image_height = height < 0 ? -height : height;
  backend.image_row_length = row_length;
  return 1;
}

int platform_sound_open(int, int buffer_bytes) {
  platform_sound_close();
  if (buffer_bytes < 4 * (DEVICE_AHEAD_FRAMES + 1)) return 0;
  backend.sound_frames = buffer_bytes / 4;
  backend.sound = (int16_t*)calloc(backend.sound_frames, 4);
  backend.sound_play = 0;
  return backend.sound != nullptr;
}

void platform_sound_close(void) {
  free(backend.sound);
  backend.sound = nullptr;
  backend.sound_frames = 0;
  backend.sound_play = 0;
}

int platform_sound_cursors(int* play_bytes_out, int* write_bytes_out) {
  if (!backend.sound) {
    *play_bytes_out = *write_bytes_out = 0;
    return 0;
  }
  *play_bytes_out = backend.sound_play * 4;
  *write_bytes_out = (backend.sound_play + DEVICE_AHEAD_FRAMES) % backend.sound_frames * 4;
  return 1;
}

int platform_sound_write(int byte_offset, int byte_count, const void* source) {
  if (!backend.sound) return 0;
  int total = backend.sound_frames * 4;
  if (byte_count <= 0) return 1;
  if (byte_offset < 0 || byte_offset >= total || byte_count > total) return 0;
  uint8_t* buffer = (uint8_t*)backend.sound;
  int first = total - byte_offset < byte_count ? total - byte_offset : byte_count;
  memcpy(buffer + byte_offset, source, first);
  memcpy(buffer, (const uint8_t*)source + first, byte_count - first);
  return 1;
}

void platform_message_box(const char* caption, const char* text) {
  fprintf(stderr, "%s: %s\n", caption, text);
}

void platform_exit(int exit_code) {
  output_finish();
  fflush(nullptr);
  _exit(exit_code);
}
