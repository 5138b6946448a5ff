// The one saved position: six little-endian 32-bit words, the last a salted
// SHA-1 checksum of the first five.
#pragma once

#include <stdint.h>

struct SaveRecord {
  uint32_t words[6];  // room, avatar_x, avatar_y, airborne, fall_speed, checksum
};
static_assert(sizeof(SaveRecord) == 24, "the stored value is exactly 24 bytes");
