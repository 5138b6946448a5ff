// Damaged and unusual streams: truncation must end decoding early; the length
// query with a final granule of all ones; the sample bookkeeping of hand-made
// block sequences, counted against libvorbisfile (priming, long/short
// transitions, the trimmed end).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "reference_codec.h"
#include "stream_builder.h"
#include "vorbis/vorbis.h"

namespace {

std::vector<uint8_t> encoded(int channels, int frames, SignalKind kind) {
  return reference_encode(make_test_signal(kind, channels, 44100, frames, 5), channels, 44100, 0.3f);
}

VorbisDecoder* open(const std::vector<uint8_t>& s) { return vorbis_open_from_memory(s.data(), (int)s.size(), nullptr, nullptr); }

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
    int n = decode_count(std::vector<uint8_t>(s.begin(), s.begin() + cut));
    EXPECT_LE(n, full) << "cut at " << cut;
    // A longer prefix never yields less audio once the headers are in.
    EXPECT_TRUE(n < 0 || previous < 0 || n + 4096 >= previous) << "cut at " << cut << ": " << n << " < " << previous;
    previous = n;
  }
}

// The length query's answer on a fresh decoder.
unsigned total_samples(const std::vector<uint8_t>& s, int* error = nullptr) {
  VorbisDecoder* d = open(s);
  if (!d) {
    ADD_FAILURE() << "stream refused";
    return 0;
  }
  unsigned n = vorbis_total_samples(d);
  if (error) *error = vorbis_get_error(d);
  vorbis_close_decoder(d);
  return n;
}

TEST(VorbisDamage, TotalSamplesFromTheLastPage) {
  std::vector<uint8_t> s = encoded(1, 20000, SignalKind::Tones);
  EXPECT_EQ(total_samples(s), 20000u);
  std::vector<uint8_t> ones = s, wide = s;
  size_t last = page_offsets(s).back();
  for (int i = 0; i < 8; ++i) ones[last + 6 + i] = 0xFF;  // final granule of all ones
  fix_page_crc(ones, last);
  int error = 0;
  EXPECT_EQ(total_samples(ones, &error), 0u);
  EXPECT_EQ(error, VorbisNoLastPage);
  // Granule positions beyond 32 bits saturate.
  wide[last + 10] = 1;
  fix_page_crc(wide, last);
  EXPECT_EQ(total_samples(wide), 0xFFFFFFFEu);
  // A damaged CRC on the last page: the search falls back to the page before.
  s = encoded(2, 5 * 44100, SignalKind::Noise);
  s[page_offsets(s).back() + 22] ^= 1;
  unsigned before_last = total_samples(s);
  EXPECT_GT(before_last, 0u);
  EXPECT_LT(before_last, 5u * 44100);
}

struct Block {
  int mode;  // 0 short, 1 long
  int prev_flag, next_flag;
};

// Builds a two-mode stream (short 256, long 2048) from a block sequence whose
// last page claims `final_granule` samples.
std::vector<uint8_t> block_stream(const std::vector<Block>& blocks, int64_t final_granule, int floor_nonzero = 1) {
  const SetupOptions o{.two_modes = 1};
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
    int64_t natural = natural_length(sequences[k]);
    // A final granule far below the decoded length cuts only the last packet,
    // as the reference decoder does.
    for (int64_t trim : {(int64_t)0, (int64_t)100, (int64_t)300, natural / 2}) {
      std::vector<uint8_t> s = block_stream(sequences[k], natural - trim);
      ReferenceDecoded ref = reference_decode(s);
      ASSERT_TRUE(ref.ok) << "sequence " << k;
      int n = decode_count(s);
      EXPECT_EQ((size_t)n, ref.samples.size()) << "sequence " << k << " trim " << trim;
      EXPECT_TRUE(trim != 0 || n == natural) << "sequence " << k << " gives " << n << ", not " << natural;
    }
  }
}

// The length of every frame vorbis_next_frame_float gives (at most 16), then
// the value that ended the stream; any non-zero sample clears `silent`.
std::vector<int> frame_lengths(const std::vector<uint8_t>& s, int* max_frame, bool* silent) {
  std::vector<int> lengths;
  VorbisDecoder* d = open(s);
  if (!d) return lengths;
  *max_frame = vorbis_get_info(d).max_frame_samples;
  float** out;
  for (int n = 1; n > 0 && lengths.size() < 16;) {
    lengths.push_back(n = vorbis_next_frame_float(d, nullptr, &out));
    for (int i = 0; i < n; ++i) *silent &= out[0][i] == 0.0f;
  }
  vorbis_close_decoder(d);
  return lengths;
}

TEST(VorbisBookkeeping, FrameLengths) {
  const Block S = {0, 0, 0}, LS = {1, 1, 0}, LL = {1, 1, 1};
  int max_frame = 0;
  bool silent = true;
  // Regression (fuzzing): a long block arriving where the previous one
  // announced a short block made a frame of the held-back lead plus half a
  // long block, more than the half long block every caller may size its
  // buffer for.
  std::vector<int> lead = frame_lengths(block_stream({LS, LL, LS, LL, LL}, 1 << 20), &max_frame, &silent);
  ASSERT_EQ(lead.size(), 5u);
  for (int n : lead) EXPECT_LE(n, max_frame);
  // Silent floors still advance; the first packet only primes.
  silent = true;
  EXPECT_EQ(frame_lengths(block_stream({S, S, S, S}, 3 * 128, 0), &max_frame, &silent),
            std::vector<int>({128, 128, 128, 0}));
  EXPECT_TRUE(silent);
}

}  // namespace
