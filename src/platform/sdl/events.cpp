// SDL events as the game's window events: keys as Windows virtual-key codes
// (Alt held makes a system key; releases with Alt held are not seen, as on
// Windows), focus as activation, and game controllers as arrows, Space, Esc
// and P, because players expect a pad to work.
#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

namespace {

// Stick travel (of 32767) that presses a direction, and the lower one that
// releases it again, so a stick resting near the edge does not chatter.
const int STICK_PRESS = 16000;
const int STICK_RELEASE = 10000;

struct StickState {
  int held[4];  // left, right, up, down
};

StickState stick;

const int STICK_KEYS[4] = {PLATFORM_VK_LEFT, PLATFORM_VK_RIGHT, PLATFORM_VK_UP, PLATFORM_VK_DOWN};

PlatformEvent key_event(int type, int key) {
  PlatformEvent event = {};
  event.type = type;
  event.key = key;
  return event;
}

int controller_button_key(int button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return PLATFORM_VK_UP;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return PLATFORM_VK_DOWN;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return PLATFORM_VK_LEFT;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return PLATFORM_VK_RIGHT;
    case SDL_CONTROLLER_BUTTON_A: return PLATFORM_VK_SPACE;
    case SDL_CONTROLLER_BUTTON_START: return PLATFORM_VK_ESCAPE;
    case SDL_CONTROLLER_BUTTON_BACK: return 'P';
    default: return 0;
  }
}

// One axis drives two directions; returns 1 with an event when one changed.
int stick_axis(int value, int negative, int positive, PlatformEvent* event_out) {
  const int directions[2] = {negative, positive};
  for (int side = 0; side < 2; side++) {
    int d = directions[side];
    int toward = side ? value : -value;
    if (!stick.held[d] && toward >= STICK_PRESS) {
      stick.held[d] = 1;
      *event_out = key_event(PLATFORM_EVENT_KEY_DOWN, STICK_KEYS[d]);
      return 1;
    }
    if (stick.held[d] && toward < STICK_RELEASE) {
      stick.held[d] = 0;
      *event_out = key_event(PLATFORM_EVENT_KEY_UP, STICK_KEYS[d]);
      return 1;
    }
  }
  return 0;
}

// Converts one SDL event; returns 0 when the game has no use for it.
int translate_event(const SDL_Event& e, PlatformEvent* out) {
  if (e.type == g_sdl.quit_event) {
    *out = key_event(PLATFORM_EVENT_QUIT, 0);
    out->exit_code = e.user.code;
    return 1;
  }
  if (e.type == g_sdl.closed_event) {
    *out = key_event(PLATFORM_EVENT_CLOSED, 0);
    return 1;
  }
  switch (e.type) {
    case SDL_QUIT:  // last window closed, or SIGINT / SIGTERM
      *out = key_event(PLATFORM_EVENT_CLOSED, 0);
      return 1;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
          e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        *out = key_event(PLATFORM_EVENT_ACTIVATE, 0);
        out->active = e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
        return 1;
      }
      return 0;
    case SDL_KEYDOWN: {
      int key = sdl_virtual_key(e.key.keysym.sym);
      if (!key) return 0;
      int alt = (e.key.keysym.mod & KMOD_ALT) != 0 || key == PLATFORM_VK_ALT;
      *out = key_event(alt ? PLATFORM_EVENT_SYSKEY_DOWN : PLATFORM_EVENT_KEY_DOWN, key);
      return 1;
    }
    case SDL_KEYUP: {
      int key = sdl_virtual_key(e.key.keysym.sym);
      if (!key || (e.key.keysym.mod & KMOD_ALT) || key == PLATFORM_VK_ALT) return 0;
      *out = key_event(PLATFORM_EVENT_KEY_UP, key);
      return 1;
    }
    case SDL_CONTROLLERDEVICEADDED:
      SDL_GameControllerOpen(e.cdevice.which);
      return 0;
    case SDL_CONTROLLERDEVICEREMOVED: {
      SDL_GameController* pad = SDL_GameControllerFromInstanceID(e.cdevice.which);
      if (pad) SDL_GameControllerClose(pad);
      return 0;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      int key = controller_button_key(e.cbutton.button);
      if (!key) return 0;
      *out = key_event(e.type == SDL_CONTROLLERBUTTONDOWN ? PLATFORM_EVENT_KEY_DOWN
                                                          : PLATFORM_EVENT_KEY_UP, key);
      return 1;
    }
    case SDL_CONTROLLERAXISMOTION:
      if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) return stick_axis(e.caxis.value, 0, 1, out);
      if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) return stick_axis(e.caxis.value, 2, 3, out);
      return 0;
    default:
      return 0;
  }
}

void push_user_event(Uint32 type, int code) {
  SDL_Event e = {};
  e.type = type;
  e.user.code = code;
  SDL_PushEvent(&e);
}

}  // namespace

int sdl_virtual_key(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);
  switch (key) {
    case SDLK_SPACE: return PLATFORM_VK_SPACE;
    case SDLK_ESCAPE: return PLATFORM_VK_ESCAPE;
    case SDLK_PAUSE: return PLATFORM_VK_PAUSE;
    case SDLK_LEFT: return PLATFORM_VK_LEFT;
    case SDLK_RIGHT: return PLATFORM_VK_RIGHT;
    case SDLK_UP: return PLATFORM_VK_UP;
    case SDLK_DOWN: return PLATFORM_VK_DOWN;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 0x0D;
    case SDLK_TAB: return 0x09;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
    case SDLK_LALT: case SDLK_RALT: return PLATFORM_VK_ALT;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return 0x2E;
    case SDLK_KP_0: return 0x60;
    default: return 0;
  }
}

int platform_poll_event(PlatformEvent* event_out) {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (translate_event(e, event_out)) return 1;
  }
  return 0;
}

void platform_default_event(const PlatformEvent* event) {
  // Alt+F4 closes the window, as the system does for every window.
  if (event->type == PLATFORM_EVENT_SYSKEY_DOWN && event->key == PLATFORM_VK_F4)
    push_user_event(g_sdl.closed_event, 0);
}

void platform_post_quit(int exit_code) { push_user_event(g_sdl.quit_event, exit_code); }
