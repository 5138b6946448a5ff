// The window, the display and the clock through SDL2. Full screen is a
// borderless desktop-sized window (no mode change); the renderer scales the
// 800 x 600 image to fit with 4:3 kept and black bars, in full screen and in
// a resized or maximised window alike. Presents wait for vsync when offered.
#include <stdio.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

SdlBackend g_sdl;

namespace {

double clock_reciprocal;  // 1 / performance frequency, 0 until first use

}  // namespace

int sdl_init(void) {
  if (!g_sdl.initialised) {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");  // noise stays crisp
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      fprintf(stderr, "vantrel: %s\n", SDL_GetError());
      return 0;
    }
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);  // a missing joystick layer is no failure
    g_sdl.quit_event = SDL_RegisterEvents(2);
    g_sdl.closed_event = g_sdl.quit_event + 1;
    g_sdl.initialised = 1;
  }
  return 1;
}

double platform_clock_seconds(void) {
  if (clock_reciprocal == 0) clock_reciprocal = 1.0 / (double)SDL_GetPerformanceFrequency();
  return (double)SDL_GetPerformanceCounter() * clock_reciprocal;
}

void platform_sleep_ms(int milliseconds) {
  if (milliseconds > 0) SDL_Delay((Uint32)milliseconds);
}

int platform_window_create(int fullscreen) {
  if (!sdl_init()) return 0;
  Uint32 flags = SDL_WINDOW_HIDDEN | (fullscreen ? SDL_WINDOW_BORDERLESS : SDL_WINDOW_RESIZABLE);
  SDL_Rect area = {(int)SDL_WINDOWPOS_CENTERED, (int)SDL_WINDOWPOS_CENTERED, 800, 600};
  // The popup covers the whole display from the start, so that it is full
  // screen even where no window manager acts on the full-screen request.
  if (fullscreen && SDL_GetDisplayBounds(0, &area) != 0)
    area = {(int)SDL_WINDOWPOS_CENTERED, (int)SDL_WINDOWPOS_CENTERED, 800, 600};
  g_sdl.window = SDL_CreateWindow("Vantrel", area.x, area.y, area.w, area.h, flags);
  if (!g_sdl.window) return 0;
  g_sdl.window_fullscreen = fullscreen;
  SDL_SetWindowMinimumSize(g_sdl.window, 200, 150);
  if (g_sdl.icon_rgba) {
    // Byte order R, G, B, A whatever the machine's endianness.
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
        (void*)g_sdl.icon_rgba, g_sdl.icon_side, g_sdl.icon_side, 32, 4 * g_sdl.icon_side,
        SDL_PIXELFORMAT_RGBA32);
    if (icon) {
      SDL_SetWindowIcon(g_sdl.window, icon);
      SDL_FreeSurface(icon);
    }
  }
  if (g_sdl.display_wanted) sdl_renderer_create();
  return 1;
}

void platform_window_destroy(void) {
  sdl_renderer_destroy();
  if (g_sdl.window) SDL_DestroyWindow(g_sdl.window);
  g_sdl.window = nullptr;
  // Whatever closing the popup reported belongs to the popup, not to the
  // window that replaces it.
  SDL_PumpEvents();
  SDL_FlushEvent(SDL_QUIT);
  SDL_FlushEvent(SDL_WINDOWEVENT);
}

void platform_window_show(void) {
  if (g_sdl.window) SDL_ShowWindow(g_sdl.window);
}

void platform_pointer_show(int visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

int platform_display_refresh_hz(void) {
  SDL_DisplayMode mode;
  int display = g_sdl.window ? SDL_GetWindowDisplayIndex(g_sdl.window) : 0;
  if (display < 0) display = 0;
  if (SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
  return mode.refresh_rate;
}

void sdl_renderer_destroy(void) {
  if (g_sdl.texture) SDL_DestroyTexture(g_sdl.texture);
  if (g_sdl.renderer) SDL_DestroyRenderer(g_sdl.renderer);
  g_sdl.texture = nullptr;
  g_sdl.renderer = nullptr;
  g_sdl.vsync = 0;
}

int sdl_renderer_create(void) {
  sdl_renderer_destroy();
  if (!g_sdl.window) return 0;
  g_sdl.renderer = SDL_CreateRenderer(g_sdl.window, -1, SDL_RENDERER_PRESENTVSYNC);
  if (!g_sdl.renderer) g_sdl.renderer = SDL_CreateRenderer(g_sdl.window, -1, SDL_RENDERER_SOFTWARE);
  if (!g_sdl.renderer) return 0;
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(g_sdl.renderer, &info) == 0)
    g_sdl.vsync = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
  g_sdl.vsync_presents = 0;
  g_sdl.texture_width = g_sdl.texture_height = 0;
  return 1;
}

int platform_display_open(void) {
  g_sdl.display_wanted = 1;
  return sdl_renderer_create();
}

int platform_display_open_fullscreen(void) {
  if (!g_sdl.window) return 0;
  if (SDL_SetWindowFullscreen(g_sdl.window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return 0;
  SDL_ShowWindow(g_sdl.window);
  SDL_RaiseWindow(g_sdl.window);
  return 1;
}

int platform_display_vsync(void) { return g_sdl.vsync; }

namespace {

// The largest rectangle of the image's shape that fits the output, centred.
SDL_Rect fit_rect(int out_width, int out_height, int width, int height) {
  SDL_Rect r;
  if ((long long)out_width * height > (long long)out_height * width) {
    r.h = out_height;
    r.w = (int)((long long)out_height * width / height);
  } else {
    r.w = out_width;
    r.h = (int)((long long)out_width * height / width);
  }
  r.x = (out_width - r.w) / 2;
  r.y = (out_height - r.h) / 2;
  return r;
}

// Some drivers accept the vsync request and then do not wait. Over the
// first 60 presents, a rate above 1.5 times the refresh means nothing waits,
// and the main loop goes back to sleeping between frames instead of spinning.
void check_vsync(void) {
  if (!g_sdl.vsync || g_sdl.vsync_presents > 60) return;
  double now = platform_clock_seconds();
  if (g_sdl.vsync_presents++ == 0) {
    g_sdl.vsync_check_start = now;
    return;
  }
  if (g_sdl.vsync_presents <= 60) return;
  int hz = platform_display_refresh_hz();
  if (hz <= 1) hz = 60;
  double per_present = (now - g_sdl.vsync_check_start) / 60;
  if (per_present < 1.0 / (1.5 * hz)) g_sdl.vsync = 0;
}

int present_renderer(int x, int y, const uint32_t* pixels, int width, int height, int row_length) {
  if (!g_sdl.texture || g_sdl.texture_width != width || g_sdl.texture_height != height) {
    if (g_sdl.texture) SDL_DestroyTexture(g_sdl.texture);
    // ARGB8888 is 0xAARRGGBB as a native word: the image's own layout.
    g_sdl.texture = SDL_CreateTexture(g_sdl.renderer, SDL_PIXELFORMAT_ARGB8888,
                                      SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!g_sdl.texture) return 0;
    g_sdl.texture_width = width;
    g_sdl.texture_height = height;
    SDL_RenderSetLogicalSize(g_sdl.renderer, 800, 600);
  }
  if (SDL_UpdateTexture(g_sdl.texture, nullptr, pixels, row_length * 4) != 0) return 0;
  SDL_SetRenderDrawColor(g_sdl.renderer, 0, 0, 0, 255);
  SDL_RenderClear(g_sdl.renderer);
  SDL_Rect target = {x, y, width, height};
  if (SDL_RenderCopy(g_sdl.renderer, g_sdl.texture, nullptr, &target) != 0) return 0;
  SDL_RenderPresent(g_sdl.renderer);
  check_vsync();
  return 1;
}

// Without a renderer: a scaled blit into the window's own surface.
int present_surface(const uint32_t* pixels, int width, int height, int row_length) {
  SDL_Surface* out = SDL_GetWindowSurface(g_sdl.window);
  if (!out) return 0;
  SDL_Surface* image = SDL_CreateRGBSurfaceWithFormatFrom(
      (void*)pixels, width, height, 32, row_length * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!image) return 0;
  SDL_FillRect(out, nullptr, SDL_MapRGB(out->format, 0, 0, 0));
  SDL_Rect target = fit_rect(out->w, out->h, 800, 600);
  int ok = SDL_BlitScaled(image, nullptr, out, &target) == 0;
  SDL_FreeSurface(image);
  return ok && SDL_UpdateWindowSurface(g_sdl.window) == 0;
}

}  // namespace

int platform_present(int x, int y, const uint32_t* pixels, int width, int height, int row_length,
                     int fullscreen) {
  if (!g_sdl.window || !pixels || width <= 0 || height <= 0) return !fullscreen;
  int ok = g_sdl.renderer ? present_renderer(x, y, pixels, width, height, row_length)
                          : present_surface(pixels, width, height, row_length);
  // A failed windowed copy is simply tried again next frame.
  return fullscreen ? ok : 1;
}
