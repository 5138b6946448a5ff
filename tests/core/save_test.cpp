// Save record: the salted SHA-1 checksum against an independent computation
// and what counts as a valid save.
#include <gtest/gtest.h>
#include <string.h>

#include "core/fatal.h"
#include "core/game_state.h"
#include "core/save.h"
#include "common/test_platform.h"

namespace {

SaveRecord record_of(int32_t room, int32_t x, int32_t y, int32_t airborne, int32_t fall, uint32_t sum) {
  SaveRecord r;
  r.words[0] = (uint32_t)room;
  r.words[1] = (uint32_t)x;
  r.words[2] = (uint32_t)y;
  r.words[3] = (uint32_t)airborne;
  r.words[4] = (uint32_t)fall;
  r.words[5] = sum;
  return r;
}

// Computed once with Python's hashlib, independently of this code:
//   blk = b'plover_gleam' + struct.pack('<5i', 5, -28, 300, 1, -160) + bytes(32)
//   hashlib.sha1(blk).hexdigest() == 'b4fa8fc2e0e5fab8effba8616cc3b8b04052d6cd'
//   struct.unpack('<I', digest[:4])[0] == 0xc28ffab4
// and for the all-zero words: b'plover_gleam' + bytes(52) gives 0x3ce16c0a.
const uint32_t FIXED_CHECKSUM = 0xc28ffab4u;
const uint32_t ZERO_WORDS_CHECKSUM = 0x3ce16c0au;

TEST(SaveChecksum, MatchesIndependentSha1OfSaltedBlock) {
  SaveRecord r = record_of(5, -28, 300, 1, -160, 0);
  EXPECT_EQ(save_checksum(&r), FIXED_CHECKSUM);
  r.words[5] = FIXED_CHECKSUM;
  EXPECT_EQ(1, save_is_valid(&r));
  // Word 5 does not enter its own checksum.
  r.words[5] = 77;
  EXPECT_EQ(save_checksum(&r), FIXED_CHECKSUM);

  SaveRecord zero = record_of(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(save_checksum(&zero), ZERO_WORDS_CHECKSUM);
}

TEST(SaveChecksum, ChangingAnyWordInvalidates) {
  const SaveRecord good = record_of(5, -28, 300, 1, -160, FIXED_CHECKSUM);
  ASSERT_EQ(1, save_is_valid(&good));
  for (int word = 0; word < 6; word++) {
    for (uint32_t flip : {1u, 0x100u, 0x80000000u}) {
      SaveRecord bad = good;
      bad.words[word] ^= flip;
      EXPECT_EQ(0, save_is_valid(&bad)) << "word " << word << " flip " << flip;
    }
  }
  // avatar_x one further without a new checksum: no longer a save.
  SaveRecord moved = good;
  moved.words[1] += 1;
  EXPECT_EQ(0, save_is_valid(&moved));
}

// Found by save_fuzz: a hand-made record with a correct checksum put the avatar
// at x 0x7FFFFFF0 falling at 0x7FFFFFFF; the first tick overflowed the fall
// speed, and a large one stalled the landing search for seconds. Such a
// record is no save; positions and speeds play can reach still are.
TEST(SaveChecksum, ForgedRecordOutsidePlayIsNotASave) {
  struct Case {
    int32_t x, y, fall;
    int valid;
  };
  const Case cases[] = {
      {0x7FFFFFF0, (int32_t)0x80000010u, 0x7FFFFFFF, 0},
      {350, 50, 0x7FFFFFFF, 0},
      {350, 50, -0x7FFFFFFF, 0},
      {350, 50, 65537, 0},
      {-65537, 50, 0, 0},
      {350, 65537, 0, 0},
      {350, INT32_MIN, 0, 0},
      {-40, -300, -160, 1},
      {830, 640, 1000, 1},
      {-65536, 65536, 65536, 1},
  };
  for (const Case& c : cases) {
    SaveRecord r = record_of(2, c.x, c.y, 1, c.fall, 0);
    r.words[5] = save_checksum(&r);
    EXPECT_EQ(c.valid, save_is_valid(&r)) << c.x << " " << c.y << " " << c.fall;
  }
}

}  // namespace
