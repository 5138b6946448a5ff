// Room loading and the two ways a game begins. Only the room Bitmap and its
// half-resolution solid map are ever replaced after start-up; a missing room
// image is not an error here, only room_change decides it ends the game.
#include "game/room.h"

#include <stdio.h>
#include <string.h>

#include "audio/audio.h"
#include "audio/music.h"
#include "core/archive.h"
#include "core/bitmap_load.h"
#include "core/fatal.h"
#include "core/game_state.h"
#include "platform/platform.h"

static void room_image_name(int n, char (&name_out)[32]) {
  snprintf(name_out, sizeof name_out, "r%02d.png", n);
}

int room_load_images(int n) {
  char name[32];
  room_image_name(n, name);
  if (!load_data(name, 0)) return 0;
  // The old room goes before the new one is decoded, so the two never share
  // memory. Every caller leaves play when a present room fails to decode
  // (broken data is fatal, a restore falls back to a new game), so nothing
  // draws the missing room.
  bitmap_free(g_game.room);
  bitmap_free(g_game.solid_map);
  g_game.room = 0;
  g_game.solid_map = 0;
  g_game.room = bitmap_load(name);
  if (!g_game.room) return 0;
  g_game.room_number = n;
  g_game.solid_map = bitmap_half_mask(g_game.room, 1);
  if (!g_game.solid_map) out_of_memory();
  return 1;
}

int room_load(int n) {
  if (!room_load_images(n)) return 0;
  music_select_for_room(n);
  g_game.checkpoint.avatar_x = g_game.avatar_x;
  g_game.checkpoint.avatar_y = g_game.avatar_y;
  g_game.checkpoint.fall_speed = g_game.fall_speed;
  g_game.checkpoint.airborne = g_game.airborne;
  return 1;
}

int room_restore(const SaveRecord* record) {
  g_game.avatar_x = (int32_t)record->words[1];
  g_game.avatar_y = (int32_t)record->words[2];
  g_game.airborne = (int32_t)record->words[3];
  g_game.fall_speed = (int32_t)record->words[4];
  return room_load((int32_t)record->words[0]);
}

void room_change(int delta) {
  if (room_load(g_game.room_number + delta)) {
    save_capture();
    save_write();
    return;
  }
  // An image that is there but does not decode is broken data, not the end
  // of the row: finishing the game would erase the player's save.
  char name[32];
  room_image_name(g_game.room_number + delta, name);
  if (load_data(name, 0)) fatal_message("Couldn't find data file");
  // Walked out of the row of rooms: the game is over. A zero record fails the
  // checksum, so the next start shows the title screen.
  memset(&g_game.save, 0, sizeof g_game.save);
  save_write();
  if (g_game.sound_enabled) audio_stop(1);
  platform_exit(0);
}

void new_game(void) {
  int room = 1;
  if (g_game.start_room_25) {
    g_game.avatar_x = 100;
    g_game.avatar_y = 300;
    room = 25;
  } else {
    g_game.avatar_x = 350;
    g_game.avatar_y = 50;
  }
  // Play cannot run without a room; data without the first room is as broken
  // as no data at all.
  if (!room_load(room)) fatal_message("Couldn't find data file");
}

void continue_game(void) {
  if (save_is_valid(&g_game.save)) {
    GameState::Checkpoint before = {g_game.avatar_x, g_game.avatar_y, g_game.fall_speed,
                                    g_game.airborne};
    if (room_restore(&g_game.save)) return;
    // A valid record naming a room these data do not have (a save left by
    // other data): start afresh with the avatar state as it was.
    g_game.fall_speed = before.fall_speed;
    g_game.airborne = before.airborne;
  }
  new_game();
}
