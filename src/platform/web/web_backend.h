// State shared by the web backend's files, and the page's side of it: the
// JavaScript functions (library_vantrel.js) that the backend calls, and the
// functions the page calls into. The backend draws into a canvas once per
// animation frame and never waits: the page's event loop must keep running
// for the sound, the keys and the browser itself to work.
#pragma once

#include <stdint.h>

#include "platform/platform.h"
#include "platform/web/pad.h"

enum {
  WEB_EVENT_QUEUE = 256,  // more key events than arrive between two frames
  WEB_END_QUIT = 0,       // Esc in the menu
  WEB_END_FINISHED = 1,   // walked out of the row of rooms
  WEB_END_FATAL = 2,      // after a fatal message
};

struct WebBackend {
  PlatformEvent events[WEB_EVENT_QUEUE];  // a ring; full drops the newest
  int event_head, event_count;
  uint32_t* rgba;            // the last image as canvas bytes R, G, B, A
  int rgba_pixels;
  double upload_ms;          // converting and handing over the last image
  int message_shown;         // a fatal message is on the page
  int ending;                // no more game frames; the sound's stop runs
  WebPad pad;
};

extern WebBackend g_web;

void web_push_event(const PlatformEvent& event);
// Hands the sound the game has committed so far to the page; once a frame.
void web_sound_commit(void);

extern "C" {
// Implemented in library_vantrel.js.
double vantrel_js_now_ms(void);
void vantrel_js_present(const uint8_t* rgba, int width, int height);
int vantrel_js_sound_open(int rate);          // frames the device runs ahead; 0: no sound
double vantrel_js_sound_frame(void);          // the output's frame clock
void vantrel_js_sound_post(double start_frame, const int16_t* first, int first_frames,
                           const int16_t* second, int second_frames);
void vantrel_js_sound_close(void);
int vantrel_js_store_get(const char* key, char* text_out, int bytes);
int vantrel_js_store_set(const char* key, const char* text);
void vantrel_js_message(const char* caption, const char* text);
void vantrel_js_ended(int how);
int vantrel_js_pad(int* state_out);           // buttons, x, y; 0 when no pad
void vantrel_js_note_frame(double callback_ms, double run_ms, double upload_ms);
}
