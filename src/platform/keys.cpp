// Key translation and event routing: what the window procedure does with
// each event. Keys reach the game only here, between frames. A system key
// (pressed with Alt) whose code the game does not translate goes back to the
// system, so that Alt+F4 keeps closing the window.
#include "core/game_state.h"
#include "game/game.h"
#include "platform/shell.h"

int shell_recreating_window;  // set by the entry point around the fallback

int translate_key(int virtual_key) {
  switch (virtual_key) {
    case PLATFORM_VK_UP: return KEY_UP;
    case PLATFORM_VK_DOWN: return KEY_DOWN;
    case PLATFORM_VK_LEFT: return KEY_LEFT;
    case PLATFORM_VK_RIGHT: return KEY_RIGHT;
    case PLATFORM_VK_PAUSE: return 'P';
    default: return virtual_key;
  }
}

int shell_handle_event(const PlatformEvent* event) {
  switch (event->type) {
    case PLATFORM_EVENT_KEY_DOWN:
      on_key_down(translate_key(event->key));
      return 1;
    case PLATFORM_EVENT_SYSKEY_DOWN: {
      int key = translate_key(event->key);
      if (key == event->key) return 0;
      on_key_down(key);
      return 1;
    }
    case PLATFORM_EVENT_KEY_UP:
      on_key_up(translate_key(event->key));
      return 1;
    case PLATFORM_EVENT_ACTIVATE:
      g_game.app_inactive = event->active ? 0 : 1;
      return 1;
    case PLATFORM_EVENT_CLOSED:
      if (!shell_recreating_window) platform_post_quit(0);
      return 1;
    default:
      return 0;
  }
}
