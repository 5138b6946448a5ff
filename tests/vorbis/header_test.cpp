// Opening: identification checks (block sizes, channel counts, page flags),
// setup refusals (floor 0, a residue book without vectors, bad coupling, bad
// sync, over-specified code lengths) and the error code each one reports.
#include <gtest/gtest.h>

#include "reference_codec.h"
#include "stream_builder.h"
#include "vorbis/vorbis.h"

namespace {

constexpr size_t ID_PACKET = 28;               // first page header: 27 bytes + 1 lacing value
constexpr size_t ID_CHANNELS = ID_PACKET + 11;
constexpr size_t ID_BLOCK_SIZES = ID_PACKET + 28;

int open_error(const std::vector<uint8_t>& s) {
  int error = -1;
  VorbisDecoder* d = vorbis_open_from_memory(s.data(), (int)s.size(), &error, nullptr);
  if (!d) return error;
  // Whatever the audio holds, pulling frames must end without harm.
  float** out;
  for (int i = 0; i < 10000 && vorbis_next_frame_float(d, nullptr, &out) > 0; ++i) continue;
  vorbis_close_decoder(d);
  return VorbisOk;
}

std::vector<uint8_t> minimal_stream(const SetupOptions& o, uint8_t block_sizes = 0x88, int channels = -1) {
  std::vector<OggPacket> audio;
  for (int i = 0; i < 4; ++i) audio.push_back({make_audio_packet(o, 0, 0, 0, 1), -1});
  audio.back().granule = 3 * (1 << (block_sizes & 15)) / 2;
  return build_ogg(make_identification(channels < 0 ? o.channels : channels, 44100, block_sizes),
                   make_comment(), make_setup(o), audio);
}

// A real stream with one byte replaced.
std::vector<uint8_t> patched(std::vector<uint8_t> s, size_t at, uint8_t value) {
  s[at] = value;
  return s;
}

TEST(VorbisHeaders, EachFaultGetsItsErrorCode) {
  const std::vector<uint8_t> s = reference_encode(make_test_signal(SignalKind::Tones, 2, 44100, 20000, 1), 2, 44100, 0.4f);
  ASSERT_EQ(s[ID_BLOCK_SIZES], 0xB8) << "libvorbisenc at 44.1 kHz uses 256/2048";
  const struct {
    std::vector<uint8_t> stream;
    int error;
    const char* what;
  } cases[] = {
      {s, VorbisOk, "the encoder's stream"},
      {minimal_stream({}, 0x88), VorbisOk, "256 and 256"},
      {minimal_stream({}, 0x66), VorbisOk, "64 and 64"},
      {minimal_stream({}, 0xDD), VorbisOk, "8192 and 8192"},
      {minimal_stream({}, 0x89), VorbisBadFirstPage, "long 256 < short 512"},
      {minimal_stream({}, 0x85), VorbisBadFirstPage, "short 32"},
      {minimal_stream({}, 0xE8), VorbisBadFirstPage, "long 16384"},
      {patched(s, ID_BLOCK_SIZES, 0x9A), VorbisBadFirstPage, "block sizes patched"},
      {minimal_stream({}, 0x88, 0), VorbisBadFirstPage, "no channels"},
      {minimal_stream({}, 0x88, 17), VorbisTooManyChannels, "17 channels"},
      {minimal_stream({.channels = 16}), VorbisOk, "16 channels"},
      {patched(s, ID_CHANNELS, 17), VorbisTooManyChannels, "17 channels patched"},
      {patched(s, ID_CHANNELS, 0), VorbisBadFirstPage, "0 channels patched"},
      {minimal_stream({.floor_type = 0}), VorbisUnsupportedFloor, "floor 0"},
      {minimal_stream({.residue_book_lookup = 0}), VorbisBadSetup, "residue vectors from a book that has none"},
      {minimal_stream({.channels = 2, .couple_same_channel = 1}), VorbisBadSetup, "a channel coupled with itself"},
      {minimal_stream({.bad_codebook_sync = 1}), VorbisBadSetup, "codebook sync"},
      {minimal_stream({.overfull_codebook = 1}), VorbisBadSetup, "three codes of length 1"},
      {patched(s, 0, 'X'), VorbisNoCapturePattern, "capture pattern"},
      {patched(s, 4, 1), VorbisBadPageVersion, "page structure version"},
      {patched(s, 5, 0), VorbisBadFirstPage, "no beginning-of-stream flag"},
      {patched(s, ID_PACKET + 1, 'V'), VorbisBadFirstPage, "\"Vorbis\""},
      {patched(s, ID_PACKET + 7, 1), VorbisBadFirstPage, "version 1"},
      {std::vector<uint8_t>(s.begin(), s.begin() + 27), VorbisTruncatedHeader,
       "ends inside the segment table"},
      {std::vector<uint8_t>(s.begin(), s.begin() + ID_PACKET + 4), VorbisTruncatedHeader,
       "ends inside the signature"},
  };
  for (const auto& c : cases) EXPECT_EQ(open_error(c.stream), c.error) << c.what;
  EXPECT_EQ(vorbis_open_from_memory(nullptr, 10, nullptr, nullptr), nullptr);
}

}  // namespace
