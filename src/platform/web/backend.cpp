// The web implementation of platform.h: the page is the window, the canvas
// the display, localStorage the persistent store and the page itself the
// message box. Nothing here ever waits: sleeping would stop the page.
#include <emscripten/eventloop.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"
#include "platform/web/web_backend.h"

WebBackend g_web;

namespace {

// localStorage keys: "Software\Orrinvale\qorvel" and "save" become
// "Orrinvale/qorvel/save", the same names the other builds store under.
int store_key(const char* key_path, const char* value_name, char* key_out, int bytes) {
  if (!key_path || !value_name || !value_name[0]) return 0;
  if (strncmp(key_path, "Software\\", 9) == 0) key_path += 9;
  int n = snprintf(key_out, bytes, "%s/%s", key_path, value_name);
  if (n < 0 || n >= bytes) return 0;
  for (char* p = key_out; *p; p++)
    if (*p == '\\') *p = '/';
  return 1;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

enum { STORE_KEY_BYTES = 256, STORE_VALUE_LIMIT = 1024 };

}  // namespace

void web_push_event(const PlatformEvent& event) {
  if (g_web.event_count == WEB_EVENT_QUEUE) return;
  g_web.events[(g_web.event_head + g_web.event_count) % WEB_EVENT_QUEUE] = event;
  g_web.event_count++;
}

double platform_clock_seconds(void) { return vantrel_js_now_ms() / 1000.0; }

// Only the pacing and the stop sequence sleep, and neither does on the web:
// an early animation frame returns instead, and the stop runs once a frame.
void platform_sleep_ms(int) {}

int platform_window_create(int) { return 1; }
void platform_window_destroy(void) {}
void platform_window_show(void) {}
void platform_pointer_show(int) {}

int platform_poll_event(PlatformEvent* event_out) {
  if (g_web.event_count == 0) return 0;
  *event_out = g_web.events[g_web.event_head];
  g_web.event_head = (g_web.event_head + 1) % WEB_EVENT_QUEUE;
  g_web.event_count--;
  return 1;
}

// The browser keeps its own keys (Alt+F4 closes the browser, not the game).
void platform_default_event(const PlatformEvent*) {}

void platform_post_quit(int exit_code) {
  PlatformEvent event = {};
  event.type = PLATFORM_EVENT_QUIT;
  event.exit_code = exit_code;
  web_push_event(event);
}

// Animation frames come at the display's rate, which the page does not tell;
// a frame that comes early simply does nothing.
int platform_display_refresh_hz(void) { return 60; }
int platform_display_open(void) { return 1; }
int platform_display_open_fullscreen(void) { return 0; }
int platform_display_vsync(void) { return 0; }

int platform_present(int, int, const uint32_t* pixels, int width, int height, int row_length, int) {
  if (!pixels || width <= 0 || height <= 0 || row_length < width) return 1;
  double started = vantrel_js_now_ms();
  int count = width * height;
  if (g_web.rgba_pixels != count) {
    free(g_web.rgba);
    g_web.rgba = (uint32_t*)malloc((size_t)count * 4);
    g_web.rgba_pixels = g_web.rgba ? count : 0;
    if (!g_web.rgba) return 1;  // this frame is not shown; the next tries again
  }
  // 0xXXRRGGBB words to the canvas's byte order R, G, B, A (little-endian).
  for (int y = 0; y < height; y++) {
    const uint32_t* src = pixels + (size_t)y * row_length;
    uint32_t* dst = g_web.rgba + (size_t)y * width;
    for (int x = 0; x < width; x++) {
      uint32_t p = src[x];
      dst[x] = 0xFF000000u | (p & 0xFF00u) | (p >> 16 & 0xFFu) | (p & 0xFFu) << 16;
    }
  }
  vantrel_js_present((const uint8_t*)g_web.rgba, width, height);
  g_web.upload_ms = vantrel_js_now_ms() - started;
  return 1;
}

int platform_store_read(const char* key_path, const char* value_name, void* data_out, int bytes) {
  char key[STORE_KEY_BYTES];
  char text[2 * STORE_VALUE_LIMIT + 2];
  if (bytes <= 0 || bytes > STORE_VALUE_LIMIT) return 0;
  if (!store_key(key_path, value_name, key, sizeof key)) return 0;
  int length = vantrel_js_store_get(key, text, sizeof text);
  if (length != 2 * bytes) return 0;  // missing, or not this value's size
  uint8_t value[STORE_VALUE_LIMIT];
  for (int i = 0; i < bytes; i++) {
    int high = hex_digit(text[2 * i]), low = hex_digit(text[2 * i + 1]);
    if (high < 0 || low < 0) return 0;
    value[i] = (uint8_t)(high << 4 | low);
  }
  memcpy(data_out, value, bytes);
  return bytes;
}

int platform_store_write(const char* key_path, const char* value_name, const void* data, int bytes) {
  static const char HEX[] = "0123456789abcdef";
  char key[STORE_KEY_BYTES];
  char text[2 * STORE_VALUE_LIMIT + 1];
  if (bytes < 0 || bytes > STORE_VALUE_LIMIT) return 0;
  if (!store_key(key_path, value_name, key, sizeof key)) return 0;
  const uint8_t* p = (const uint8_t*)data;
  for (int i = 0; i < bytes; i++) {
    text[2 * i] = HEX[p[i] >> 4];
    text[2 * i + 1] = HEX[p[i] & 15];
  }
  text[2 * bytes] = 0;
  return vantrel_js_store_set(key, text);
}

void platform_message_box(const char* caption, const char* text) {
  g_web.message_shown = 1;
  vantrel_js_message(caption, text);
}

// The page cannot end: the game stops drawing, the page says why, and the
// sound's fade (if one was begun) runs on in the animation frames.
void platform_exit(int) {
  g_web.ending = 1;
  vantrel_js_ended(g_web.message_shown ? WEB_END_FATAL : WEB_END_FINISHED);
  emscripten_unwind_to_js_event_loop();
}

int platform_executable_path(char* buffer, int bytes) {
  if (bytes > 0) buffer[0] = 0;
  return 0;
}
