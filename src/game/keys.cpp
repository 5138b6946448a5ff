// Key handlers. Key-down arrives for every auto-repeat too, so toggles (P,
// and the cheat keys D and F) flip again on each repeat. Releases are only
// seen in play; menu_select clears the held flags when play begins.
#include "game/keys.h"

#include <stdio.h>
#include <string.h>

#include "audio/audio.h"
#include "audio/music.h"
#include "core/game_state.h"
#include "core/noise_tables.h"
#include "game/game.h"
#include "game/room.h"
#include "platform/platform.h"
#include "sim/avatar.h"

static void log_frame_time(void) {
  double t = (g_game.frame_times[0] + g_game.frame_times[1]) * 0.5f;
  if (g_game.assist) t /= ASSIST_TIME_SCALE;  // the log shows real time
  FILE* f = fopen(FRAME_TIME_LOG_NAME, "a");
  if (!f) return;  // a log that cannot be written is simply not written
  fprintf(f, "frame time: %5.2f ms (%6.3f fps)\n", t * 1000.0, 1.0 / t);
  fclose(f);
}

void menu_select(void) {
  memset(g_game.key_held, 0, sizeof g_game.key_held);
  if (g_game.game_started && g_game.game_state == GAME_MENU_CONTINUE) {
    // Back into the interrupted game exactly as it was.
    music_select_for_room(g_game.room_number);
    g_game.game_state = GAME_PLAYING;
    return;
  }
  g_game.game_started = 1;
  g_game.paused = 0;
  g_game.respawn_timer = 0;
  g_game.fade_level = 5000;
  palette_reset();
  if (g_game.game_state == GAME_MENU_CONTINUE) {
    continue_game();
  } else {
    new_game();
  }
  g_game.game_state = GAME_PLAYING;
}

void menu_key(int key) {
  int state = g_game.game_state;
  if (key == KEY_CODE_ESCAPE) {
    if (g_game.sound_enabled) audio_stop(0);
    platform_post_quit(0);
  } else if (key == KEY_UP || key == KEY_LEFT) {
    if (state == GAME_TITLE) menu_select();
    else if (state == GAME_MENU_NEW) g_game.game_state = GAME_MENU_CONTINUE;
  } else if (key == KEY_DOWN || key == KEY_RIGHT) {
    if (state == GAME_TITLE) menu_select();
    else if (state == GAME_MENU_CONTINUE) g_game.game_state = GAME_MENU_NEW;
  } else {
    menu_select();
  }
}

static int held_index(int key) {
  switch (key) {
    case KEY_UP: return AVATAR_KEY_UP;
    case KEY_RIGHT: return AVATAR_KEY_RIGHT;
    case KEY_DOWN: return AVATAR_KEY_DOWN;
    case KEY_LEFT: return AVATAR_KEY_LEFT;
    case KEY_CODE_SPACE: return AVATAR_KEY_JUMP;
    default: return -1;
  }
}

void on_key_down(int key) {
  if (g_game.cheats_enabled && key == KEY_CODE_L) {
    log_frame_time();
    return;
  }
  if (g_game.game_state != GAME_PLAYING) {
    menu_key(key);
    return;
  }
  int held = held_index(key);
  if (held >= 0) {
    g_game.key_held[held] = 1;
    return;
  }
  switch (key) {
    case KEY_CODE_ESCAPE:
      g_game.game_state = GAME_MENU_CONTINUE;
      music_set_playlist(playlist_title, PLAYLIST_TITLE_COUNT, 0);
      break;
    case KEY_CODE_D:
      if (g_game.cheats_enabled) g_game.debug_view = !g_game.debug_view;
      break;
    case KEY_CODE_F:
      if (g_game.cheats_enabled) g_game.fly_mode = !g_game.fly_mode;
      break;
    case KEY_CODE_P:
      g_game.paused = g_game.paused == 0.0f ? 1.0f : 0.0f;
      break;
    case KEY_CODE_R:
      // Also cuts a running death burst short.
      g_game.respawn_timer = 0.05f;
      g_game.ring_radius = 0;
      break;
    default:
      break;
  }
}

void on_key_up(int key) {
  if (g_game.game_state != GAME_PLAYING) return;
  int held = held_index(key);
  if (held >= 0) g_game.key_held[held] = 0;
}
