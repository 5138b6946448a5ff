// Codebook construction on a hand-packed setup: over-specified lengths are
// refused.
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
