// State shared by the Win32 backend's files: the instance, the one game
// window, and the display objects. Only this folder sees Win32 types; the
// game talks to it through platform.h.
#pragma once

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

struct Win32Backend {
  HINSTANCE instance;
  int show_code;        // the show-window code handed to WinMain
  HWND window;          // the one game window, popup or framed; null before
  int window_popup;     // the window is the full-screen popup
  int in_message_box;   // a fatal message box is up: keys no longer reach the game
};

extern Win32Backend g_win32;

// Registers the "Vantrel" window class; 0 when the system refuses.
int win32_register_class(HINSTANCE instance);
LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Gives the display back (leaves the exclusive mode) before the process ends.
void win32_display_close(void);
