// The fake platform for the audio tests. Only the sound buffer and the sleep
// do anything; the other platform calls exist so that the test links.
#include "fake_sound_device.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <thread>

#include "platform/platform.h"

FakeSoundDevice fake_sound;

// Only the test's own thread moves the cursors; the music decoder thread also
// sleeps through the platform and must not touch the device.
static const std::thread::id fake_main_thread = std::this_thread::get_id();

static int fake_initial_lead = 300;

void fake_sound_reset(int lead_frames) {
  fake_sound = FakeSoundDevice();
  fake_initial_lead = lead_frames;
}

void fake_sound_advance(int frames) {
  FakeSoundDevice& d = fake_sound;
  if (d.buffer_bytes <= 0) return;
  d.play_bytes = (d.play_bytes + frames * 4) % d.buffer_bytes;
  d.write_bytes = (d.write_bytes + frames * 4) % d.buffer_bytes;
}

int16_t fake_sound_left(int frame) {
  int16_t v;
  memcpy(&v, &fake_sound.buffer[(size_t)frame * 4], 2);
  return v;
}

int16_t fake_sound_right(int frame) {
  int16_t v;
  memcpy(&v, &fake_sound.buffer[(size_t)frame * 4 + 2], 2);
  return v;
}

int platform_sound_open(int rate, int buffer_bytes) {
  FakeSoundDevice& d = fake_sound;
  d.open_calls += 1;
  if (d.fail_open) return 0;
  d.open = 1;
  d.rate = rate;
  d.buffer_bytes = buffer_bytes;
  d.buffer.assign((size_t)buffer_bytes, 0);
  d.play_bytes = 0;
  d.write_bytes = fake_initial_lead * 4;
  return 1;
}

void platform_sound_close(void) {
  fake_sound.open = 0;
  fake_sound.close_calls += 1;
}

int platform_sound_cursors(int* play_bytes_out, int* write_bytes_out) {
  FakeSoundDevice& d = fake_sound;
  if (d.fail_cursors) {
    *play_bytes_out = *write_bytes_out = 0;
    return 0;
  }
  if (!d.script.empty()) {
    d.play_bytes = d.script.front().first;
    d.write_bytes = d.script.front().second;
    d.script.pop_front();
  }
  *play_bytes_out = d.play_bytes;
  *write_bytes_out = d.write_bytes;
  return 1;
}

int platform_sound_write(int byte_offset, int byte_count, const void* source) {
  FakeSoundDevice& d = fake_sound;
  d.writes.push_back({byte_offset, byte_count});
  if (byte_offset < 0 || byte_offset >= d.buffer_bytes || byte_count > d.buffer_bytes) {
    d.bad_writes += 1;
    return 0;
  }
  // Wraps at the buffer end like the real device's two locked pieces.
  int first = byte_count < d.buffer_bytes - byte_offset ? byte_count : d.buffer_bytes - byte_offset;
  memcpy(&d.buffer[(size_t)byte_offset], source, (size_t)first);
  memcpy(&d.buffer[0], (const uint8_t*)source + first, (size_t)(byte_count - first));
  return 1;
}

double platform_clock_seconds(void) { return 0.0; }
void platform_sleep_ms(int milliseconds) {
  if (std::this_thread::get_id() != fake_main_thread) return;
  fake_sound.sleep_calls += 1;
  fake_sound_advance(fake_sound.frames_per_ms * milliseconds);
}
int platform_window_create(int) { return 0; }
void platform_window_destroy(void) {}
void platform_window_show(void) {}
int platform_poll_event(PlatformEvent*) { return 0; }
void platform_post_quit(int) {}
int platform_display_refresh_hz(void) { return 60; }
int platform_display_open_fullscreen(void) { return 0; }
int platform_present(int, int, const uint32_t*, int, int, int, int) { return 1; }
int platform_store_read(const char*, const char*, void*, int) { return 0; }
int platform_store_write(const char*, const char*, const void*, int) { return 0; }
void platform_message_box(const char* caption, const char* text) {
  fprintf(stderr, "%s: %s\n", caption, text);
}
[[noreturn]] void platform_exit(int exit_code) { exit(exit_code); }
int platform_executable_path(char*, int) { return 0; }
