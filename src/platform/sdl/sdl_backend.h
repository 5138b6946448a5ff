// State shared by the SDL backend's files: the one window, its renderer and
// streaming texture, and the event types the backend posts to itself.
#pragma once

#include <SDL.h>

struct SdlBackend {
  int initialised;
  SDL_Window* window;
  int window_fullscreen;     // the window is the borderless full-screen one
  int display_wanted;        // platform_display_open was called: renderers follow new windows
  SDL_Renderer* renderer;    // null: presents go through the window surface
  SDL_Texture* texture;
  int texture_width, texture_height;
  int vsync;
  int vsync_presents;        // presents timed so far while checking vsync
  double vsync_check_start;  // clock at the first of them
  Uint32 quit_event;         // user event: a posted quit, code in user.code
  Uint32 closed_event;       // user event: the window was closed by the system
  const unsigned char* icon_rgba;  // icon_side x icon_side RGBA pixels for new windows, or null
  int icon_side;
};

extern SdlBackend g_sdl;

// Initialises SDL once; returns 1 when video works.
int sdl_init(void);
// Makes the renderer and texture for the current window; returns 1 on success.
int sdl_renderer_create(void);
void sdl_renderer_destroy(void);
// Maps an SDL key to its Windows virtual-key code; 0 for keys the game never sees.
int sdl_virtual_key(SDL_Keycode key);
