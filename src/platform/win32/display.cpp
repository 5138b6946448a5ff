// Putting the frame on the screen. Full screen is DirectDraw's exclusive
// 800 x 600 x 32 mode with a primary surface and one back buffer, copied
// into through GDI and flipped (the blocking flip paces the game). A window
// gets the image through GDI in two halves, each copied while the display's
// beam is away from the lines it covers, so a frame is never torn mid-half.
#include "platform/win32/win32_backend.h"

#include <ddraw.h>

#include "platform/platform.h"

namespace {

const int MODE_WIDTH = 800;
const int MODE_HEIGHT = 600;
const int MODE_BITS = 32;
const double SPLIT_TIMEOUT = 1.0 / 48;  // longest wait for the beam per frame
// Presents timed while checking that flips wait, and how much faster than the
// refresh they may come before we conclude they do not.
const int VSYNC_CHECK_PRESENTS = 60;
const double VSYNC_CHECK_FACTOR = 1.5;

struct Display {
  IDirectDraw* object;           // null when DirectDraw is not there
  IDirectDrawSurface* primary;   // the flipping chain, full screen only
  IDirectDrawSurface* back;
  HWND exclusive_window;         // the window holding the exclusive mode
  int vsync;                     // flips wait for the refresh
  int vsync_presents;
  double vsync_check_start;
};

Display display;

int int_max(int a, int b) { return a > b ? a : b; }
int int_min(int a, int b) { return a < b ? a : b; }

BITMAPINFOHEADER rows_header(int row_length, int rows) {
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = row_length;
  header.biHeight = -rows;  // top-down
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  return header;
}

int copy_rows(HDC dc, int x, int y, int width, int rows, const uint32_t* pixels, int row_length) {
  BITMAPINFOHEADER header = rows_header(row_length, rows);
  return SetDIBitsToDevice(dc, x, y, (DWORD)width, (DWORD)rows, 0, 0, 0, (UINT)rows, pixels,
                           (const BITMAPINFO*)&header, DIB_RGB_COLORS);
}

void give_back_exclusive_mode(void) {
  if (!display.object || !display.exclusive_window) return;
  display.object->RestoreDisplayMode();
  display.object->SetCooperativeLevel(display.exclusive_window, DDSCL_NORMAL);
  display.exclusive_window = nullptr;
}

int ddraw_open(void) {
  return DirectDrawCreate(nullptr, &display.object, nullptr) == DD_OK;
}

int ddraw_set_mode(HWND window) {
  if (display.object->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) != DD_OK)
    return 0;
  display.exclusive_window = window;
  return display.object->SetDisplayMode(MODE_WIDTH, MODE_HEIGHT, MODE_BITS) == DD_OK;
}

int ddraw_create_surfaces(void) {
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  if (display.object->CreateSurface(&desc, &display.primary, nullptr) != DD_OK) {
    display.primary = nullptr;
    return 0;
  }
  DDSCAPS caps = {};
  caps.dwCaps = DDSCAPS_BACKBUFFER;
  if (display.primary->GetAttachedSurface(&caps, &display.back) != DD_OK) {
    display.back = nullptr;
    return 0;
  }
  return 1;
}

// Some drivers take the flip without waiting for the refresh. Over the first
// presents, a rate well above the refresh means nothing waits, and the main
// loop goes back to sleeping between frames instead of spinning.
void check_vsync(void) {
  if (!display.vsync || display.vsync_presents > VSYNC_CHECK_PRESENTS) return;
  double now = platform_clock_seconds();
  if (display.vsync_presents++ == 0) {
    display.vsync_check_start = now;
    return;
  }
  if (display.vsync_presents <= VSYNC_CHECK_PRESENTS) return;
  int hz = platform_display_refresh_hz();
  if (hz <= 1) hz = 60;
  double per_present = (now - display.vsync_check_start) / VSYNC_CHECK_PRESENTS;
  if (per_present < 1.0 / (VSYNC_CHECK_FACTOR * hz)) display.vsync = 0;
}

int present_flip(int x, int y, const uint32_t* pixels, int width, int height, int row_length) {
  if (!display.back || !display.primary) return 0;
  int rows = height < 0 ? -height : height;
  // Lock and unlock first: the driver then has the back buffer ready to take
  // the copy; what either call answers does not matter.
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  display.back->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
  display.back->Unlock(nullptr);
  HDC dc = nullptr;
  if (display.back->GetDC(&dc) != DD_OK) return 0;
  int copied = copy_rows(dc, x, y, width, rows, pixels, row_length);
  display.back->ReleaseDC(dc);
  if (!copied) return 0;
  HRESULT flipped = display.primary->Flip(nullptr, DDFLIP_WAIT);
  if (flipped != DD_OK && flipped != DDERR_SURFACELOST) return 0;
  check_vsync();
  return 1;
}

// Asks where the beam is: 1 with the line, 0 during a vertical blank, -1 when
// the driver cannot tell.
int scan_line(DWORD* line_out) {
  HRESULT result = display.object->GetScanLine(line_out);
  if (result == DD_OK) return 1;
  if (result == DDERR_VERTICALBLANKINPROGRESS) return 0;
  return -1;
}

void present_window(int x, int y, const uint32_t* pixels, int width, int height, int row_length) {
  HWND window = g_win32.window;
  if (!window) return;
  RECT client;
  GetClientRect(window, &client);
  POINT top_left = {client.left, client.top};
  POINT bottom_right = {client.right, client.bottom};
  ClientToScreen(window, &top_left);
  ClientToScreen(window, &bottom_right);
  int client_top = top_left.y;
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  int screen_top = 0;
  int screen_bottom = desktop.bottom;
  HDC dc = GetDC(window);  // CS_OWNDC: the window's own DC, kept for good
  int rows = height < 0 ? -height : height;
  if (!display.object) {
    copy_rows(dc, x, y, width, rows, pixels, row_length);
    return;
  }

  int first = rows / 2;
  int second = rows - first;
  int top_start = int_max(client_top + y, screen_top);
  int top_end = int_min(client_top + y + first, screen_bottom);
  double deadline = platform_clock_seconds() + SPLIT_TIMEOUT;
  DWORD line = 0;
  // The deadline also ends a wait through a vertical blank: a driver that
  // reported a blank for ever would otherwise hang the game here.
  while (top_end > top_start) {
    int state = scan_line(&line);
    if (state < 0) {
      copy_rows(dc, x, y, width, rows, pixels, row_length);
      return;
    }
    if (state == 0) {
      if (top_start >= 100 || platform_clock_seconds() > deadline) break;
      continue;
    }
    if (line >= (DWORD)top_end && (int)line < screen_bottom - 50) break;
    // The half reaches into the last lines and the beam is well above it.
    if (top_end > screen_bottom - 80 && (int)line <= top_start - ((screen_bottom - screen_top) >> 2))
      break;
    if (platform_clock_seconds() > deadline) {
      copy_rows(dc, x, y, width, rows, pixels, row_length);
      return;
    }
  }
  copy_rows(dc, x, y, width, first, pixels, row_length);

  int bottom_start = int_max(client_top + y + first, screen_top);
  int bottom_end = int_min(client_top + y + rows, screen_bottom);
  for (;;) {
    int state = scan_line(&line);
    if (state < 0) break;
    if (state == 0) {
      if (bottom_start <= screen_top + 100 || platform_clock_seconds() > deadline) break;
      continue;
    }
    if (line >= (DWORD)bottom_end || line <= (DWORD)bottom_start) break;
    if (platform_clock_seconds() > deadline) break;
  }
  copy_rows(dc, x, y + first, width, second, pixels + (size_t)first * row_length, row_length);
}

}  // namespace

int platform_display_open(void) {
  if (display.object) return 1;
  if (!ddraw_open()) {
    display.object = nullptr;
    return 0;
  }
  return 1;
}

int platform_display_open_fullscreen(void) {
  HWND window = g_win32.window;
  if (!display.object || !window) return 0;
  if (!ddraw_set_mode(window) || !ddraw_create_surfaces()) {
    // The window that is about to replace the popup gets the desktop as it was.
    if (display.primary) display.primary->Release();
    display.primary = display.back = nullptr;
    give_back_exclusive_mode();
    return 0;
  }
  display.vsync = 1;
  display.vsync_presents = 0;
  ShowWindow(window, SW_SHOW);
  return 1;
}

int platform_display_vsync(void) { return display.primary ? display.vsync : 0; }

int platform_present(int x, int y, const uint32_t* pixels, int width, int height, int row_length,
                     int fullscreen) {
  if (!pixels || width <= 0 || height == 0) return 1;
  if (fullscreen) return present_flip(x, y, pixels, width, height, row_length);
  present_window(x, y, pixels, width, height, row_length);
  return 1;  // a failed windowed copy is simply tried again next frame
}

void win32_display_close(void) {
  if (!display.object) return;
  if (display.primary) display.primary->Release();  // the back buffer goes with it
  display.primary = display.back = nullptr;
  give_back_exclusive_mode();
  display.object->Release();
  display.object = nullptr;
}
