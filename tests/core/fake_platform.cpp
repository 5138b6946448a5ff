// In-memory stand-ins for every platform_* call the game makes.
#include "fake_platform.h"

#include <string.h>

#include "platform/platform.h"

FakePlatform g_fake;

void fake_platform_reset(void) { g_fake = FakePlatform(); }

std::string fake_store_name(const char* key_path, const char* value_name) {
  return std::string(key_path) + "|" + value_name;
}

double platform_clock_seconds(void) { return 0.0; }
void platform_sleep_ms(int) {}
int platform_window_create(int) { return 1; }
void platform_window_destroy(void) {}
void platform_window_show(void) {}
void platform_pointer_show(int) {}
int platform_poll_event(PlatformEvent*) { return 0; }
void platform_default_event(const PlatformEvent*) {}
void platform_post_quit(int exit_code) {
  g_fake.quit_posted++;
  g_fake.quit_code = exit_code;
}
int platform_display_refresh_hz(void) { return 60; }
int platform_display_open(void) { return 0; }
int platform_display_open_fullscreen(void) { return 0; }
int platform_display_vsync(void) { return 0; }

int platform_present(int, int, const uint32_t* pixels, int, int, int, int fullscreen) {
  g_fake.presents++;
  if (pixels) g_fake.last_present_first_pixel = pixels[0];
  if (fullscreen) {
    g_fake.fullscreen_presents++;
    return !g_fake.fail_fullscreen_present;
  }
  return 1;
}

// The shell's present, reduced to a count (the frame driver's last step).
void present_frame(int, int, const uint32_t* pixels, int, int, int) {
  g_fake.presents++;
  if (pixels) g_fake.last_present_first_pixel = pixels[0];
}

int platform_sound_open(int, int) { return 0; }
void platform_sound_close(void) {}
int platform_sound_cursors(int* play, int* write) {
  *play = 0;
  *write = 0;
  return 0;
}
int platform_sound_write(int, int, const void*) { return 0; }

int platform_store_read(const char* key_path, const char* value_name, void* data_out, int bytes) {
  auto it = g_fake.store.find(fake_store_name(key_path, value_name));
  if (it == g_fake.store.end() || (int)it->second.size() < bytes) return 0;
  memcpy(data_out, it->second.data(), (size_t)bytes);
  return bytes;
}

int platform_store_write(const char* key_path, const char* value_name, const void* data, int bytes) {
  const uint8_t* p = (const uint8_t*)data;
  g_fake.store[fake_store_name(key_path, value_name)] = std::vector<uint8_t>(p, p + bytes);
  return 1;
}

void platform_message_box(const char* caption, const char* text) {
  g_fake.messages.push_back(std::string(caption) + ": " + text);
}

void platform_exit(int exit_code) { throw FakeExit{exit_code}; }

int platform_executable_path(char* buffer, int bytes) {
  if (bytes < 1) return 0;
  buffer[0] = 0;
  return 0;
}
