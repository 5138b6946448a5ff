// The one saved position: six little-endian 32-bit words, the last a salted
// SHA-1 checksum of the first five.
#pragma once

#include <stdint.h>

struct SaveRecord {
  uint32_t words[6];  // room, avatar_x, avatar_y, airborne, fall_speed, checksum
};
static_assert(sizeof(SaveRecord) == 24, "the stored value is exactly 24 bytes");

// The record's home in the persistent store (the registry on Windows).
#define SAVE_STORE_KEY "Software\\Orrinvale\\qorvel"
#define SAVE_STORE_VALUE "save"

// First four bytes (little-endian) of the SHA-1 of a 64-byte block: the salt
// "plover_gleam", words 0..4 little-endian, then zeros.
uint32_t save_checksum(const SaveRecord* record);
// The checksum matches and the position and fall speed are ones play can reach.
int save_is_valid(const SaveRecord* record);
// Fills g_game.save from the current room and avatar, checksum included.
void save_capture(void);
// Loads g_game.save from the store; a missing or short value leaves it alone.
void save_read(void);
// Stores g_game.save; a failed write is silently ignored.
void save_write(void);
