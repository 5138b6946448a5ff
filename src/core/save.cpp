// The saved position: six little-endian words in the persistent store, the
// last a salted SHA-1 checksum of the first five. The checksum only keeps a
// stray or edited value from being taken for a save; it guards no secret.
#include "core/save.h"

#include <string.h>

#include "core/game_state.h"
#include "platform/platform.h"
#include "support/sha1.h"

static const char SAVE_SALT[12] = {'p', 'l', 'o', 'v', 'e', 'r', '_', 'g', 'l', 'e', 'a', 'm'};

static void put_u32le(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}

uint32_t save_checksum(const SaveRecord* record) {
  uint8_t block[64];
  memset(block, 0, sizeof block);
  memcpy(block, SAVE_SALT, sizeof SAVE_SALT);
  for (int i = 0; i < 5; i++) put_u32le(block + 12 + 4 * i, record->words[i]);
  uint8_t digest[20];
  sha1(digest, block, sizeof block);
  return (uint32_t)digest[0] | (uint32_t)digest[1] << 8 | (uint32_t)digest[2] << 16 |
         (uint32_t)digest[3] << 24;
}

// Far beyond anything play can store (rooms are 800 x 600 and a fall lands
// within a few hundred speed units), yet small enough that the avatar's
// arithmetic cannot overflow and its landing search stays short. A record
// outside them was made by hand, whatever its checksum says.
enum { SAVE_POSITION_LIMIT = 1 << 16, SAVE_FALL_SPEED_LIMIT = 1 << 16 };

static int save_word_within(uint32_t word, int32_t limit) {
  int32_t value = (int32_t)word;
  return value >= -limit && value <= limit;
}

int save_is_valid(const SaveRecord* record) {
  return record->words[5] == save_checksum(record) &&
         save_word_within(record->words[1], SAVE_POSITION_LIMIT) &&
         save_word_within(record->words[2], SAVE_POSITION_LIMIT) &&
         save_word_within(record->words[4], SAVE_FALL_SPEED_LIMIT);
}

void save_capture(void) {
  SaveRecord* r = &g_game.save;
  r->words[0] = (uint32_t)g_game.room_number;
  r->words[1] = (uint32_t)g_game.avatar_x;
  r->words[2] = (uint32_t)g_game.avatar_y;
  r->words[3] = (uint32_t)g_game.airborne;
  r->words[4] = (uint32_t)g_game.fall_speed;
  r->words[5] = save_checksum(r);
}

// The stored bytes are little-endian whatever the machine.
void save_read(void) {
  uint8_t bytes[24];
  if (platform_store_read(SAVE_STORE_KEY, SAVE_STORE_VALUE, bytes, sizeof bytes) != (int)sizeof bytes)
    return;
  for (int i = 0; i < 6; i++) {
    const uint8_t* p = bytes + 4 * i;
    g_game.save.words[i] =
        (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
  }
}

void save_write(void) {
  uint8_t bytes[24];
  for (int i = 0; i < 6; i++) put_u32le(bytes + 4 * i, g_game.save.words[i]);
  platform_store_write(SAVE_STORE_KEY, SAVE_STORE_VALUE, bytes, sizeof bytes);
}
