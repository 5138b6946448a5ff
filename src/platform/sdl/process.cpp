// Fatal messages and the end of the process. A message goes to standard
// error always and into an SDL message box when there is a display; the
// full-screen window steps aside first so the box is not hidden behind it.
#include <stdio.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

void platform_message_box(const char* caption, const char* text) {
  fprintf(stderr, "%s: %s\n", caption, text);
  fflush(stderr);
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (g_sdl.window && (SDL_GetWindowFlags(g_sdl.window) & SDL_WINDOW_FULLSCREEN_DESKTOP)) {
    SDL_SetWindowFullscreen(g_sdl.window, 0);
    SDL_HideWindow(g_sdl.window);
  }
  SDL_ShowCursor(SDL_ENABLE);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, nullptr);
}

void platform_exit(int exit_code) {
  // Stops the audio thread and gives the desktop back; the game itself is
  // not cleaned up, as the process ends right here.
  platform_sound_close();
  if (g_sdl.initialised) SDL_Quit();
  fflush(nullptr);
  _exit(exit_code);
}
