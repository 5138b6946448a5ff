// The window, its messages and the clock. The window procedure hands each
// message straight to the shell's event routing, so its return values and the
// system's default handling (Alt+F4) stay exactly those of a Win32 program;
// messages are only dispatched from platform_poll_event, between frames.
#include "platform/platform.h"
#include "platform/shell.h"
#include "platform/win32/win32_backend.h"

Win32Backend g_win32;

namespace {

const char WINDOW_NAME[] = "Vantrel";  // class, icon and menu resource, and title
const int WINDOW_WIDTH = 800;
const int WINDOW_HEIGHT = 600;

struct Clock {
  uint64_t frequency;  // counts per second, 0 until the first reading
  double reciprocal;
};

Clock clock;

PlatformEvent make_event(int type, WPARAM key) {
  PlatformEvent event = {};
  event.type = type;
  event.key = (int)key;
  return event;
}

}  // namespace

int win32_register_class(HINSTANCE instance) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_OWNDC;  // the windowed present keeps using the window's own DC
  wc.lpfnWndProc = window_proc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, WINDOW_NAME);
  wc.hIconSm = LoadIconA(instance, WINDOW_NAME);
  wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
  wc.hbrBackground = nullptr;  // every frame covers the whole client area
  wc.lpszMenuName = WINDOW_NAME;
  wc.lpszClassName = WINDOW_NAME;
  return RegisterClassExA(&wc) != 0;
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  // Once a fatal message box is up the game is over: its window only gets
  // the system's default handling.
  if (g_win32.in_message_box && message != WM_DESTROY)
    return DefWindowProcA(window, message, wparam, lparam);
  PlatformEvent event;
  switch (message) {
    case WM_CREATE:
      g_win32.window = window;
      return 1;
    case WM_DESTROY:
      if (g_win32.window == window) g_win32.window = nullptr;
      event = make_event(PLATFORM_EVENT_CLOSED, 0);
      shell_handle_event(&event);  // posts the quit unless the popup is being replaced
      return 1;
    case WM_SIZE:
      return 0;
    case WM_ACTIVATEAPP:
      event = make_event(PLATFORM_EVENT_ACTIVATE, 0);
      event.active = wparam != 0;
      shell_handle_event(&event);
      return 1;
    case WM_KEYDOWN:
      event = make_event(PLATFORM_EVENT_KEY_DOWN, wparam);
      shell_handle_event(&event);
      return 1;
    case WM_SYSKEYDOWN:
      // Untranslated system keys (Alt+F4 among them) stay the system's.
      event = make_event(PLATFORM_EVENT_SYSKEY_DOWN, wparam);
      if (!shell_handle_event(&event)) return DefWindowProcA(window, message, wparam, lparam);
      return 1;
    case WM_KEYUP:
      event = make_event(PLATFORM_EVENT_KEY_UP, wparam);
      shell_handle_event(&event);
      return 1;
    case WM_MOUSEMOVE:
      return 1;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

int platform_window_create(int fullscreen) {
  HWND window;
  if (fullscreen) {
    window = CreateWindowExA(0, WINDOW_NAME, WINDOW_NAME, WS_POPUP, 0, 0, WINDOW_WIDTH,
                             WINDOW_HEIGHT, nullptr, nullptr, g_win32.instance, nullptr);
  } else {
    int frame = GetSystemMetrics(SM_CXDLGFRAME);
    int width = WINDOW_WIDTH + 2 * frame;
    int height = WINDOW_HEIGHT + GetSystemMetrics(SM_CYCAPTION) + 2 * frame;
    window = CreateWindowExA(0, WINDOW_NAME, WINDOW_NAME, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                             1, 1, width, height, nullptr, nullptr, g_win32.instance, nullptr);
  }
  g_win32.window = window;
  g_win32.window_popup = window && fullscreen;
  return window != nullptr;
}

void platform_window_destroy(void) {
  if (g_win32.window) DestroyWindow(g_win32.window);
  g_win32.window = nullptr;
  g_win32.window_popup = 0;
}

void platform_window_show(void) {
  if (!g_win32.window) return;
  ShowWindow(g_win32.window, g_win32.show_code);
  UpdateWindow(g_win32.window);
}

void platform_pointer_show(int visible) { ShowCursor(visible ? TRUE : FALSE); }

int platform_poll_event(PlatformEvent* event_out) {
  // The window procedure has already routed every other message; only the
  // quit itself is handed back to the loop.
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      *event_out = make_event(PLATFORM_EVENT_QUIT, 0);
      event_out->exit_code = (int)message.wParam;
      return 1;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

void platform_default_event(const PlatformEvent*) {
  // Nothing left to do: the window procedure called DefWindowProcA itself.
}

void platform_post_quit(int exit_code) { PostQuitMessage(exit_code); }

int platform_display_refresh_hz(void) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return 0;
  return (int)(unsigned)mode.dmDisplayFrequency;
}

double platform_clock_seconds(void) {
  if (clock.frequency == 0) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    clock.frequency = (uint64_t)frequency.QuadPart;
    if (clock.frequency == 0) clock.frequency = 1;
    clock.reciprocal = 1.0 / (double)clock.frequency;
  }
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return (double)(uint64_t)counter.QuadPart * clock.reciprocal;
}

void platform_sleep_ms(int milliseconds) {
  if (milliseconds > 0) Sleep((DWORD)milliseconds);
}
