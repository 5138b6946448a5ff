// Entry point of the game in a web page. The page calls main once the data
// is there and the player has clicked (so that sound may start); from then on
// the browser calls web_frame on every animation frame.
#include <emscripten.h>
#include <string.h>

#include "audio/music.h"
#include "core/game_state.h"
#include "platform/shell.h"
#include "platform/web/web_backend.h"
#include "sim/noise_field.h"

namespace {

ShellLoop loop;

void poll_pad(void) {
  int state[3];
  if (!vantrel_js_pad(state)) state[0] = state[1] = state[2] = 0;
  PlatformEvent events[WEB_PAD_MAX_EVENTS];
  int count = web_pad_sample(&g_web.pad, state[0], state[1], state[2], events);
  for (int i = 0; i < count; i++) web_push_event(events[i]);
}

// After a quit or the game's end: no more game frames, but the music's fade
// goes on, one pass a frame, until the sound is closed.
void end_frame(void) {
  int done = audio_stop_step();
  web_sound_commit();
  if (done) {
    platform_sound_close();
    emscripten_cancel_main_loop();
  }
}

void web_frame(void) {
  double started = vantrel_js_now_ms();
  if (g_web.ending) {
    end_frame();
    return;
  }
  poll_pad();
  int exit_code = 0;
  if (shell_pump_events(&exit_code)) {
    g_web.ending = 1;
    vantrel_js_ended(WEB_END_QUIT);
    end_frame();
    return;
  }
  g_web.upload_ms = 0;
  double before = vantrel_js_now_ms();
  if (!shell_frame_if_due(&loop)) return;
  double ran = vantrel_js_now_ms() - before;
  web_sound_commit();
  vantrel_js_note_frame(vantrel_js_now_ms() - started, ran, g_web.upload_ms);
}

}  // namespace

extern "C" {

// From the page's key listeners: virtual-key codes, with Alt held a system
// key. Releases with Alt held are not seen, as on the desktop.
EMSCRIPTEN_KEEPALIVE void web_key_event(int down, int alt, int key) {
  if (key <= 0 || key > 0xFF) return;
  PlatformEvent event = {};
  event.key = key;
  if (down) {
    event.type = alt || key == PLATFORM_VK_ALT ? PLATFORM_EVENT_SYSKEY_DOWN : PLATFORM_EVENT_KEY_DOWN;
  } else {
    if (alt || key == PLATFORM_VK_ALT) return;
    event.type = PLATFORM_EVENT_KEY_UP;
  }
  web_push_event(event);
}

// The tab was hidden (0) or shown again (1).
EMSCRIPTEN_KEEPALIVE void web_activate(int active) {
  PlatformEvent event = {};
  event.type = PLATFORM_EVENT_ACTIVATE;
  event.active = active ? 1 : 0;
  web_push_event(event);
}

// Read-only view of the game for the page's tests: 0 game state, 1 room,
// 2 and 3 the avatar's position, 4 whether sound is on, 5 whether inactive.
EMSCRIPTEN_KEEPALIVE int web_query(int what) {
  switch (what) {
    case 0: return g_game.game_state;
    case 1: return g_game.room_number;
    case 2: return g_game.avatar_x;
    case 3: return g_game.avatar_y;
    case 4: return g_game.sound_enabled;
    case 5: return g_game.app_inactive;
    default: return 0;
  }
}

// Caps the renderer's vector code (0: the plain C++ loops) and returns the
// level in effect, so the budget script can hold the browser's plain renderer
// against the native runner's.
EMSCRIPTEN_KEEPALIVE int web_renderer_limit(int level) { return noise_field_limit_vector(level); }

}  // extern "C"

// The page passes the options of its address (index.html?+cheat or ?-sound);
// the page has no full-screen mode of its own, so "-full" always wins.
int main(int argc, char** argv) {
  static char command_line[1024];
  int length = options_join(argc, argv, command_line, (int)sizeof command_line - 8);
  memcpy(command_line + length, " -full", 7);
  audio_stop_set_deferred(1);
  if (!shell_start(command_line, &loop)) return 0;
  emscripten_set_main_loop(web_frame, 0, 1);
  return 0;
}
