// What the game needs from the machine it runs on, and nothing more.
// One backend implements it per build: SDL2 on Linux, Win32 on Windows,
// and a deterministic headless one for tests. Game code includes this header
// and never a system header; this header includes nothing of the project.
#pragma once

#include <stdint.h>

// ---- Clock --------------------------------------------------------------
double platform_clock_seconds(void);     // seconds since an arbitrary origin
void platform_sleep_ms(int milliseconds);

// ---- Window and events --------------------------------------------------
enum PlatformEventType {
  PLATFORM_EVENT_NONE = 0,
  PLATFORM_EVENT_KEY_DOWN,     // key: Windows virtual-key code (auto-repeats too)
  PLATFORM_EVENT_KEY_UP,
  PLATFORM_EVENT_SYSKEY_DOWN,  // a key pressed with Alt held
  PLATFORM_EVENT_ACTIVATE,     // active: 1 when the game became the active app
  PLATFORM_EVENT_QUIT,         // a quit was posted; ends the main loop
  PLATFORM_EVENT_CLOSED,       // the player closed the game window
};

struct PlatformEvent {
  int type;        // PlatformEventType
  int key;         // virtual-key code for key events
  int active;      // for PLATFORM_EVENT_ACTIVATE
  int exit_code;   // for PLATFORM_EVENT_QUIT
};

// Virtual-key codes the game relies on (letters are their upper-case ASCII).
enum {
  PLATFORM_VK_ALT = 0x12,
  PLATFORM_VK_SPACE = 0x20,
  PLATFORM_VK_ESCAPE = 0x1B,
  PLATFORM_VK_PAUSE = 0x13,
  PLATFORM_VK_LEFT = 0x25,
  PLATFORM_VK_UP = 0x26,
  PLATFORM_VK_RIGHT = 0x27,
  PLATFORM_VK_DOWN = 0x28,
  PLATFORM_VK_F4 = 0x73,
};

// Creates the game window: a borderless full-screen popup when fullscreen is
// set, else a framed 800 x 600 window titled "Vantrel". Returns 1 on success.
int platform_window_create(int fullscreen);
// Destroys the window without ending the program (the windowed fallback).
void platform_window_destroy(void);
void platform_window_show(void);
void platform_pointer_show(int visible);
// Takes the next waiting event without blocking; 0 when none is waiting.
int platform_poll_event(PlatformEvent* event_out);
// The system's own handling of an event the game left alone: a system key
// such as Alt+F4 closes the window.
void platform_default_event(const PlatformEvent* event);
// Queues a PLATFORM_EVENT_QUIT carrying exit_code, after the waiting events.
void platform_post_quit(int exit_code);
// The display's refresh rate in Hz as reported (0 or 1 when unknown).
int platform_display_refresh_hz(void);

// ---- Display ------------------------------------------------------------
// Opens the display service; 1 when it is there (presents are then timed
// against the display), 0 when only the plain windowed copy is left.
int platform_display_open(void);
// Full-screen set-up on the window; returns 1 when full screen can be used.
int platform_display_open_fullscreen(void);
// 1 when a present waits for the display's refresh (vsync pacing). Asked
// every frame: a backend that finds its presents do not wait turns it off.
int platform_display_vsync(void);
// Shows one image: width x height 32-bit pixels 0xXXRRGGBB, rows top first,
// row_length pixels apart. Returns 0 when a full-screen present failed (the
// caller then falls back to windowed presents).
int platform_present(int x, int y, const uint32_t* pixels, int width, int height,
                     int row_length, int fullscreen);

// ---- Sound buffer -------------------------------------------------------
// A looping stereo 16-bit buffer of buffer_bytes at `rate` frames per second,
// cleared and playing on success (returns 1).
int platform_sound_open(int rate, int buffer_bytes);
void platform_sound_close(void);
// Play and write cursors in bytes; returns 0 (and both 0) when the query fails.
int platform_sound_cursors(int* play_bytes_out, int* write_bytes_out);
// Copies byte_count bytes to byte_offset, wrapping at the buffer end.
// Returns 0 when the buffer was lost and the block dropped.
int platform_sound_write(int byte_offset, int byte_count, const void* source);

// ---- Persistent value ---------------------------------------------------
// A small binary value stored under a key path and a value name.
// read: returns the number of bytes read, 0 when there is none or it is
// shorter than `bytes` (data_out is then left alone).
int platform_store_read(const char* key_path, const char* value_name, void* data_out, int bytes);
// write: returns 1 when the value was stored; a failed write keeps the old one.
int platform_store_write(const char* key_path, const char* value_name, const void* data, int bytes);

// ---- Process ------------------------------------------------------------
// Shows text in a message box captioned caption and waits until it is closed.
void platform_message_box(const char* caption, const char* text);
// Ends the process at once with the given exit code.
[[noreturn]] void platform_exit(int exit_code);
// The executable's own path (UTF-8); returns its length, 0 on failure.
int platform_executable_path(char* buffer, int bytes);

// ---- Shell (shared by every backend, called by the frame driver) ---------
// Puts the finished frame on the screen. A failed full-screen present clears
// the fullscreen setting; every later frame is presented windowed.
void present_frame(int x, int y, const uint32_t* pixels, int width, int height,
                   int row_length);
