// The headless implementation of platform.h. No window, display or sound
// device exists: the clock is whatever the runner sets, presents only keep
// a pointer for captures, and the sound buffer is an array whose play cursor
// moves exactly as far as the frame time says. Tests reach the same machine
// through HeadlessMachine to script what a real one does to the game.
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <deque>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "platform/shell.h"

namespace {

struct HeadlessBackend {
  HeadlessMachine machine;
  double time;                     // seconds, set by the runner per frame
  double slept;                    // platform_sleep_ms adds here
  std::deque<PlatformEvent> events;
  const uint32_t* image;
  int image_width, image_height, image_row_length;
};

HeadlessBackend backend;

// The clock and the sound device belong to the thread that runs the frames;
// the music decoder's rests on a thread of its own pass no time here.
const pthread_t frame_thread = pthread_self();

int sound_frames(void) { return (int)backend.machine.sound.size() / 2; }

}  // namespace

HeadlessMachine* headless_machine(void) { return &backend.machine; }

void headless_reset(void) { backend = HeadlessBackend(); }

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
  HeadlessMachine& m = backend.machine;
  while (frame_count > 0) {
    if (!m.sound_open) {
      int n = frame_count < 1024 ? frame_count : 1024;
      output_note_sound(silence, n);
      frame_count -= n;
      continue;
    }
    int n = sound_frames() - m.sound_play;
    if (n > frame_count) n = frame_count;
    output_note_sound(m.sound.data() + 2 * m.sound_play, n);
    m.sound_play = (m.sound_play + n) % sound_frames();
    frame_count -= n;
  }
}

double platform_clock_seconds(void) { return backend.time + backend.slept; }

void platform_sleep_ms(int milliseconds) {
  if (!pthread_equal(pthread_self(), frame_thread)) return;
  HeadlessMachine& m = backend.machine;
  m.sleeps++;
  if (milliseconds <= 0) return;
  backend.slept += milliseconds / 1000.0;
  if (m.frames_per_sleep_ms) headless_sound_consume(m.frames_per_sleep_ms * milliseconds);
}

int platform_window_create(int) {
  if (backend.machine.window_fails) return 0;
  backend.machine.windows++;
  return 1;
}

// Reports the closing at once, as a real window system does from inside the
// destroy call.
void platform_window_destroy(void) {
  backend.machine.windows--;
  PlatformEvent closed = {};
  closed.type = PLATFORM_EVENT_CLOSED;
  shell_handle_event(&closed);
}

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

int platform_display_refresh_hz(void) { return backend.machine.refresh_hz; }
int platform_display_open(void) { return backend.machine.display_service; }

int platform_display_open_fullscreen(void) {
  return backend.machine.display_service && !backend.machine.fullscreen_fails;
}

int platform_display_vsync(void) {
  return backend.machine.display_service && !backend.machine.vsync_lost;
}

int platform_present(int, int, const uint32_t* pixels, int width, int height, int row_length,
                     int fullscreen) {
  backend.machine.presents++;
  if (fullscreen && backend.machine.present_fails) return 0;
  if (!pixels || width <= 0 || height == 0) return 1;
  backend.image = pixels;
  backend.image_width = width;
  backend.image_height = height < 0 ? -height : height;
  backend.image_row_length = row_length;
  return 1;
}

int platform_sound_open(int rate, int buffer_bytes) {
  platform_sound_close();
  HeadlessMachine& m = backend.machine;
  if (m.sound_open_fails || buffer_bytes < 4 * (m.sound_lead + 1)) return 0;
  m.sound.assign((size_t)(buffer_bytes / 4) * 2, 0);
  m.sound_rate = rate;
  m.sound_play = 0;
  m.sound_open = 1;
  return 1;
}

void platform_sound_close(void) { backend.machine.sound_open = 0; }

int platform_sound_cursors(int* play_bytes_out, int* write_bytes_out) {
  HeadlessMachine& m = backend.machine;
  if (!m.sound_open || m.sound_cursors_fail) {
    *play_bytes_out = *write_bytes_out = 0;
    return 0;
  }
  *play_bytes_out = m.sound_play * 4;
  *write_bytes_out = (m.sound_play + m.sound_lead) % sound_frames() * 4;
  if (m.frames_per_query) headless_sound_consume(m.frames_per_query);
  return 1;
}

int platform_sound_write(int byte_offset, int byte_count, const void* source) {
  HeadlessMachine& m = backend.machine;
  if (m.log_writes) m.writes.push_back({byte_offset, byte_count});
  if (!m.sound_open) return 0;
  int total = sound_frames() * 4;
  if (byte_count <= 0) return 1;
  if (byte_offset < 0 || byte_offset >= total || byte_count > total) return 0;
  uint8_t* buffer = (uint8_t*)m.sound.data();
  int first = total - byte_offset < byte_count ? total - byte_offset : byte_count;
  memcpy(buffer + byte_offset, source, first);
  memcpy(buffer, (const uint8_t*)source + first, byte_count - first);
  return 1;
}

void platform_message_box(const char* caption, const char* text) {
  if (backend.machine.on_message) {
    backend.machine.on_message(caption, text);
    return;
  }
  fprintf(stderr, "%s: %s\n", caption, text);
}

void platform_exit(int exit_code) {
  if (backend.machine.on_exit) backend.machine.on_exit(exit_code);
  output_finish();
  fflush(nullptr);
  _exit(exit_code);
}
