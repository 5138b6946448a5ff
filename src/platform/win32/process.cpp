// Fatal messages, the end of the process and the executable's own path. The
// path is handed on as UTF-8; a name the ANSI code page cannot spell is
// given in its short form where the file system keeps one, since that form is
// plain ASCII and opens through every kind of file call.
#include <stdio.h>

#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

namespace {

enum { WIDE_PATH_UNITS = 32768 };  // the longest path Windows knows

int is_ascii(const wchar_t* text) {
  for (; *text; text++)
    if (*text >= 0x80) return 0;
  return 1;
}

}  // namespace

void platform_message_box(const char* caption, const char* text) {
  // The message must not hide behind an exclusive full-screen display, and
  // the keys typed to close it are no longer the game's.
  g_win32.in_message_box = 1;
  win32_display_close();
  ShowCursor(TRUE);
  MessageBoxA(nullptr, text, caption, MB_OK);
}

void platform_exit(int exit_code) {
  // The sound stops cleanly and the desktop gets its display mode back; the
  // game itself is not cleaned up, as the process ends right here. No library
  // detach code runs either: the music decoder may still be inside the heap
  // when the window is closed, and a detach that waits for its lock would
  // never end.
  platform_sound_close();
  win32_display_close();
  fflush(nullptr);
  TerminateProcess(GetCurrentProcess(), (UINT)exit_code);
  ExitProcess((UINT)exit_code);  // not reached
}

int platform_executable_path(char* buffer, int bytes) {
  if (!buffer || bytes <= 1) return 0;
  buffer[0] = 0;
  static wchar_t wide[WIDE_PATH_UNITS];
  static wchar_t short_form[WIDE_PATH_UNITS];
  DWORD n = GetModuleFileNameW(nullptr, wide, WIDE_PATH_UNITS);
  if (n == 0 || n >= WIDE_PATH_UNITS) return 0;
  const wchar_t* path = wide;
  if (!is_ascii(wide)) {
    DWORD m = GetShortPathNameW(wide, short_form, WIDE_PATH_UNITS);
    if (m > 0 && m < WIDE_PATH_UNITS && is_ascii(short_form)) path = short_form;
  }
  int written = WideCharToMultiByte(CP_UTF8, 0, path, -1, buffer, bytes, nullptr, nullptr);
  if (written <= 0) {
    buffer[0] = 0;
    return 0;
  }
  return written - 1;  // without the terminator
}
