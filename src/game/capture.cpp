// Capture copies GameState as it stands, pointers included: every buffer it
// points at lives for the whole run except the room's two Bitmaps, which a
// room change replaces. Restore therefore keeps the live room Bitmaps and
// reloads them only when the captured room is another one.
#include "game/capture.h"

#include <string.h>

#include "core/fatal.h"
#include "game/room.h"

int game_capture(GameCapture* out) {
  const Bitmap* figure = g_game.avatar_frame;
  if (!figure) return 0;
  int64_t bytes = (int64_t)figure->width * figure->height;
  if (bytes < 0 || bytes > CAPTURE_FIGURE_BYTES) return 0;
  memcpy((void*)&out->state, (const void*)&g_game, sizeof g_game);
  out->random = g_random;
  out->figure_width = figure->width;
  out->figure_height = figure->height;
  memcpy(out->figure, figure->pixels, (size_t)bytes);
  return 1;
}

void game_restore(const GameCapture* in) {
  Bitmap* live_room = g_game.room;
  Bitmap* live_solid_map = g_game.solid_map;
  int32_t live_room_number = g_game.room_number;
  memcpy((void*)&g_game, (const void*)&in->state, sizeof g_game);
  g_random = in->random;
  g_game.room = live_room;
  g_game.solid_map = live_solid_map;
  // Before the first room was ever loaded there is nothing to rebuild; the
  // live room Bitmaps wait for the next room_load, which replaces them.
  if (in->state.room && (live_room_number != in->state.room_number || !live_room)) {
    g_game.room_number = live_room_number;
    if (!room_load_images(in->state.room_number)) fatal_message("Couldn't find data file");
  }
  Bitmap* figure = g_game.avatar_frame;
  if (figure && figure->width == in->figure_width && figure->height == in->figure_height)
    memcpy(figure->pixels, in->figure, (size_t)figure->width * (size_t)figure->height);
}
