// Damaged and unusual streams: truncation must end decoding early; the length
// query with a final granule of all ones; and the sample bookkeeping of
// hand-made block sequences, counted against libvorbisfile (priming,
// long/short transitions, the trimmed end).
#include <gtest/gtest.h>

#include <cstdlib>

#include "reference_codec.h"
#include "stream_builder.h"
#include "vorbis/vorbis.h"

namespace {

std::vector<uint8_t> encoded(int channels, int frames, SignalKind kind) {
  std::vector<float> signal = make_test_signal(kind, channels, 44100, frames, 5);
  return reference_encode(signal, channels, 44100, 0.3f);
}

// Decodes whatever can be decoded; returns samples per channel or -1.
int decode_count(const std::vector<uint8_t>& s) {
  int channels = 0;
  short* out = nullptr;
  int n = vorbis_decode_all_from_memory(s.data(), (int)s.size(), &channels, &out);
  free(out);
  return n;
}

TEST(VorbisDamage, TruncatedStreamsEndEarly) {
  std::vector<uint8_t> s = encoded(2, 3 * 44100, SignalKind::Mixed);
  int full = decode_count(s);
  ASSERT_EQ(full, 3 * 44100);
  int previous = -1;
  for (size_t cut = 0; cut < s.size(); cut += 1 + cut / 7) {
    std::vector<uint8_t> part(s.begin(), s.begin() + cut);
    int n = decode_count(part);
    EXPECT_LE(n, full) << "cut at " << cut;
    // A longer prefix never yields less audio once the headers are in.
    if (n >= 0 && previous >= 0) {
      EXPECT_GE(n + 4096, previous) << "cut at " << cut;
    }
    previous = n;
  }
}

TEST(VorbisDamage, TotalSamplesWithFinalGranuleAllOnes) {
  std::vector<uint8_t> s = encoded(1, 20000, SignalKind::Tones);
  VorbisDecoder* d = vorbis_open_from_memory(s.data(), (int)s.size(), nullptr, nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(vorbis_total_samples(d), 20000u);
  vorbis_close_decoder(d);

  std::vector<size_t> pages = page_offsets(s);
  size_t last = pages.back();
  for (int i = 0; i < 8; ++i) s[last + 6 + i] = 0xFF;
  fix_page_crc(s, last);
  d = vorbis_open_from_memory(s.data(), (int)s.size(), nullptr, nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(vorbis_total_samples(d), 0u);
  EXPECT_EQ(vorbis_get_error(d), VorbisNoLastPage);
  vorbis_close_decoder(d);

  // A damaged CRC on the last page: the search falls back to the page before.
  s = encoded(2, 5 * 44100, SignalKind::Noise);
  pages = page_offsets(s);
  s[pages.back() + 22] ^= 1;
  d = vorbis_open_from_memory(s.data(), (int)s.size(), nullptr, nullptr);
  ASSERT_NE(d, nullptr);
  unsigned before_last = vorbis_total_samples(d);
  EXPECT_GT(before_last, 0u);
  EXPECT_LT(before_last, 5u * 44100);
  vorbis_close_decoder(d);

  // Granule positions beyond 32 bits saturate.
  s = encoded(1, 20000, SignalKind::Tones);
  pages = page_offsets(s);
  s[pages.back() + 10] = 1;
  fix_page_crc(s, pages.back());
  d = vorbis_open_from_memory(s.data(), (int)s.size(), nullptr, nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(vorbis_total_samples(d), 0xFFFFFFFEu);
  vorbis_close_decoder(d);
}

struct Block {
  int mode;  // 0 short, 1 long
  int prev_flag, next_flag;
};

// Builds a two-mode stream (short 256, long 2048) from a block sequence whose
// last page claims `final_granule` samples.
std::vector<uint8_t> block_stream(const std::vector<Block>& blocks, int64_t final_granule,
                                  int floor_nonzero = 1) {
  SetupOptions o;
  o.two_modes = 1;
  std::vector<OggPacket> audio;
  for (const Block& b : blocks)
    audio.push_back({make_audio_packet(o, b.mode, b.prev_flag, b.next_flag, floor_nonzero), -1});
  audio.back().granule = final_granule;
  return build_ogg(make_identification(1, 44100, 0xB8), make_comment(), make_setup(o), audio);
}

// Samples a Vorbis decoder returns for a block sequence: a quarter of each of
// two neighbouring blocks per packet after the first.
int64_t natural_length(const std::vector<Block>& blocks) {
  int64_t total = 0;
  for (size_t i = 1; i < blocks.size(); ++i)
    total += (blocks[i - 1].mode ? 2048 : 256) / 4 + (blocks[i].mode ? 2048 : 256) / 4;
  return total;
}

TEST(VorbisBookkeeping, BlockSequencesMatchReferenceCounts) {
  const Block S = {0, 0, 0}, LL = {1, 1, 1}, LS = {1, 1, 0}, SL = {1, 0, 1}, SS = {1, 0, 0};
  const std::vector<std::vector<Block>> sequences = {
      {S, S, S, S, S},                    // only short blocks
      {LL, LL, LL, LL},                   // only long blocks
      {LS, S, S, SL, LL},                 // starts long before a short block
      {LL, LS, S, SS, S, SL, LS, S},      // every transition
      {S, SL, LS, S},
  };
  for (size_t k = 0; k < sequences.size(); ++k) {
    const std::vector<Block>& blocks = sequences[k];
    int64_t natural = natural_length(blocks);
    // A final granule far below the decoded length cuts only the last packet,
    // as the reference decoder does.
    for (int64_t trim : {(int64_t)0, (int64_t)100, (int64_t)300, natural / 2}) {
      std::vector<uint8_t> s = block_stream(blocks, natural - trim);
      ReferenceDecoded ref = reference_decode(s);
      ASSERT_TRUE(ref.ok) << "sequence " << k;
      int n = decode_count(s);
      EXPECT_EQ((size_t)n, ref.samples.size()) << "sequence " << k << " trim " << trim;
      if (trim == 0) {
        EXPECT_EQ(n, natural) << "sequence " << k;
      }
    }
  }
}

// Regression (fuzzing): a long block arriving where the previous one announced
// a short block made a frame of the held-back lead plus half a long block,
// more than the half long block every caller may size its buffer for.
TEST(VorbisBookkeeping, LeadNeverMakesAFrameLongerThanHalfALongBlock) {
  const Block LS = {1, 1, 0}, LL = {1, 1, 1};
  std::vector<uint8_t> s = block_stream({LS, LL, LS, LL, LL}, 1 << 20);
  VorbisDecoder* d = vorbis_open_from_memory(s.data(), (int)s.size(), nullptr, nullptr);
  ASSERT_NE(d, nullptr);
  float** out;
  int n, frames = 0;
  while ((n = vorbis_next_frame_float(d, nullptr, &out)) > 0) {
    EXPECT_LE(n, vorbis_get_info(d).max_frame_samples);
    ++frames;
  }
  EXPECT_EQ(frames, 4);
  vorbis_close_decoder(d);
}

TEST(VorbisBookkeeping, SilentFloorsStillAdvance) {
  const Block S = {0, 0, 0};
  std::vector<uint8_t> s = block_stream({S, S, S, S}, 3 * 128, 0);
  VorbisDecoder* d = vorbis_open_from_memory(s.data(), (int)s.size(), nullptr, nullptr);
  ASSERT_NE(d, nullptr);
  int counts[8], frames = 0, n;
  float** out;
  while (frames < 8 && (n = vorbis_next_frame_float(d, nullptr, &out)) > 0) {
    for (int i = 0; i < n; ++i) EXPECT_EQ(out[0][i], 0.0f);
    counts[frames++] = n;
  }
  ASSERT_EQ(frames, 3);  // the first packet only primes
  for (int i = 0; i < frames; ++i) EXPECT_EQ(counts[i], 128);
  EXPECT_EQ(vorbis_next_frame_float(d, nullptr, &out), 0);
  vorbis_close_decoder(d);
}

}  // namespace
