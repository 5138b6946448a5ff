// Codebook construction and decode on hand-packed setups: a single used entry,
// a dense book whose codes are all longer than the fast table, a sparse book,
// and over-specified lengths refused.
#include <gtest/gtest.h>

#include <cstdlib>

#include "stream_builder.h"
#include "vorbis/vorbis_internal.h"

namespace {

// A decoder whose bit reader reads `bytes` as one packet.
struct BitSource {
  VorbisDecoder* d;
  std::vector<uint8_t> bytes;
  explicit BitSource(const std::vector<uint8_t>& b) : bytes(b) {
    d = (VorbisDecoder*)calloc(1, sizeof(VorbisDecoder));
    d->run = bytes.data();
    d->run_end = bytes.data() + bytes.size();
    d->last_segment_taken = 1;
    d->next_segment = -1;
  }
  ~BitSource() { vorbis_close_decoder(d); }
};

void put_header(BitWriter& w, int dims, int entries) {
  w.put(0x564342, 24);
  w.put((uint32_t)dims, 16);
  w.put((uint32_t)entries, 24);
}

TEST(VorbisCodebook, SingleEntryDecodesEitherBit) {
  BitWriter w;
  put_header(w, 1, 4);
  w.put(0, 1);  // unordered
  w.put(1, 1);  // sparse
  for (int e = 0; e < 4; ++e) {
    w.put(e == 2, 1);
    if (e == 2) w.put(0, 5);  // length 1
  }
  w.put(0, 4);  // no lookup
  w.put(0b1010, 4);  // four codes: bits 0, 1, 0, 1
  BitSource src(w.bytes);
  VorbisCodebook book;
  memset(&book, 0, sizeof book);
  ASSERT_TRUE(vorbis_read_codebook(src.d, &book));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(vorbis_codebook_decode(src.d, &book), 2);
}

TEST(VorbisCodebook, LongCodesGoThroughTheSortedSearch) {
  // A dense book of 20 entries whose codes are 11 and 12 bits long: none fits
  // the 10-bit table. The set is incomplete, which is accepted.
  const int entries = 20;
  BitWriter w;
  put_header(w, 1, entries);
  w.put(0, 1);
  w.put(0, 1);
  for (int e = 0; e < entries; ++e) w.put(e < 10 ? 10 : 11, 5);  // lengths 11 and 12
  w.put(0, 4);
  // Codes in entry order: entry e < 10 has code e (11 bits), entries >= 10 have
  // 12-bit codes starting at 20. Write entries 0, 9, 10, 19 MSB first.
  auto put_code = [&](uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) w.put((code >> i) & 1, 1);
  };
  put_code(0, 11);
  put_code(9, 11);
  put_code(20, 12);
  put_code(29, 12);
  BitSource src(w.bytes);
  VorbisCodebook book;
  memset(&book, 0, sizeof book);
  ASSERT_TRUE(vorbis_read_codebook(src.d, &book));
  EXPECT_EQ(vorbis_codebook_decode(src.d, &book), 0);
  EXPECT_EQ(vorbis_codebook_decode(src.d, &book), 9);
  EXPECT_EQ(vorbis_codebook_decode(src.d, &book), 10);
  EXPECT_EQ(vorbis_codebook_decode(src.d, &book), 19);
  // The packet ends here: no entry, and no harm.
  EXPECT_EQ(vorbis_codebook_decode(src.d, &book), -1);
}

TEST(VorbisCodebook, SparseBookReturnsEntryNumbers) {
  const int entries = 40;
  BitWriter w;
  put_header(w, 2, entries);
  w.put(0, 1);
  w.put(1, 1);  // sparse: entries 5 (length 1), 17 (length 2), 33 (length 2)
  for (int e = 0; e < entries; ++e) {
    int length = e == 5 ? 1 : (e == 17 || e == 33) ? 2 : 0;
    w.put(length != 0, 1);
    if (length) w.put((uint32_t)length - 1, 5);
  }
  w.put(2, 4);                  // lookup type 2
  w.put(0, 32);                 // minimum 0
  w.put((788u << 21) | 1, 32);  // delta 1
  w.put(7, 4);                  // 8-bit values
  w.put(0, 1);
  for (int i = 0; i < entries * 2; ++i) w.put((uint32_t)i, 8);
  // Codes: 5 -> 0, 17 -> 10, 33 -> 11 (MSB first).
  w.put(1, 1);
  w.put(1, 1);  // "11" -> 33
  w.put(0, 1);  // "0" -> 5
  w.put(1, 1);
  w.put(0, 1);  // "10" -> 17
  BitSource src(w.bytes);
  VorbisCodebook book;
  memset(&book, 0, sizeof book);
  ASSERT_TRUE(vorbis_read_codebook(src.d, &book));
  ASSERT_TRUE(book.sparse);
  int index = vorbis_codebook_decode_index(src.d, &book);
  ASSERT_GE(index, 0);
  EXPECT_EQ(book.sorted_values[index], 33);
  EXPECT_EQ(book.values[index * 2], 66.0f);  // vectors follow the sorted index
  EXPECT_EQ(book.values[index * 2 + 1], 67.0f);
  EXPECT_EQ(vorbis_codebook_decode(src.d, &book), 5);
  EXPECT_EQ(vorbis_codebook_decode(src.d, &book), 17);
}

TEST(VorbisCodebook, OverSpecifiedLengthsAreRefused) {
  BitWriter w;
  put_header(w, 1, 3);
  w.put(0, 1);
  w.put(0, 1);
  for (int e = 0; e < 3; ++e) w.put(0, 5);  // three codes of length 1
  w.put(0, 4);
  BitSource src(w.bytes);
  VorbisCodebook book;
  memset(&book, 0, sizeof book);
  EXPECT_FALSE(vorbis_read_codebook(src.d, &book));
  EXPECT_EQ(src.d->error, VorbisBadSetup);
}

}  // namespace
