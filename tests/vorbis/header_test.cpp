// Opening: identification checks (block sizes, channel counts, page flags),
// setup refusals (floor 0, a residue book without vectors, bad coupling, bad
// sync) and the error code each one reports.
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
  if (d) {
    // Whatever the audio holds, pulling frames must end without harm.
    float** out;
    for (int i = 0; i < 10000 && vorbis_next_frame_float(d, nullptr, &out) > 0; ++i) {
    }
    vorbis_close_decoder(d);
    return VorbisOk;
  }
  return error;
}

std::vector<uint8_t> minimal_stream(const SetupOptions& o, uint8_t block_sizes = 0x88,
                                    int channels = -1) {
  std::vector<OggPacket> audio;
  for (int i = 0; i < 4; ++i) audio.push_back({make_audio_packet(o, 0, 0, 0, 1), -1});
  audio.back().granule = 3 * (1 << (block_sizes & 15)) / 2;
  return build_ogg(make_identification(channels < 0 ? o.channels : channels, 44100, block_sizes),
                   make_comment(), make_setup(o), audio);
}

std::vector<uint8_t> encoded_stream() {
  std::vector<float> signal = make_test_signal(SignalKind::Tones, 2, 44100, 20000, 1);
  return reference_encode(signal, 2, 44100, 0.4f);
}

TEST(VorbisHeaders, BlockSizeBytes) {
  std::vector<uint8_t> s = encoded_stream();
  ASSERT_EQ(s[ID_BLOCK_SIZES], 0xB8) << "libvorbisenc at 44.1 kHz uses 256/2048";
  EXPECT_EQ(open_error(s), VorbisOk);

  SetupOptions o;
  EXPECT_EQ(open_error(minimal_stream(o, 0x88)), VorbisOk);  // 256 and 256
  EXPECT_EQ(open_error(minimal_stream(o, 0x66)), VorbisOk);  // 64 and 64
  EXPECT_EQ(open_error(minimal_stream(o, 0xDD)), VorbisOk);  // 8192 and 8192
  EXPECT_EQ(open_error(minimal_stream(o, 0x89)), VorbisBadFirstPage);  // long 256 < short 512
  EXPECT_EQ(open_error(minimal_stream(o, 0x85)), VorbisBadFirstPage);  // short 32
  EXPECT_EQ(open_error(minimal_stream(o, 0xE8)), VorbisBadFirstPage);  // long 16384

  // Patched into a real stream the same way.
  s[ID_BLOCK_SIZES] = 0x9A;
  EXPECT_EQ(open_error(s), VorbisBadFirstPage);
}

TEST(VorbisHeaders, ChannelCounts) {
  SetupOptions o;
  EXPECT_EQ(open_error(minimal_stream(o, 0x88, 0)), VorbisBadFirstPage);
  EXPECT_EQ(open_error(minimal_stream(o, 0x88, 17)), VorbisTooManyChannels);
  o.channels = 16;
  EXPECT_EQ(open_error(minimal_stream(o)), VorbisOk);

  std::vector<uint8_t> s = encoded_stream();
  s[ID_CHANNELS] = 17;
  EXPECT_EQ(open_error(s), VorbisTooManyChannels);
  s[ID_CHANNELS] = 0;
  EXPECT_EQ(open_error(s), VorbisBadFirstPage);
}

TEST(VorbisHeaders, SetupRefusals) {
  SetupOptions o;
  o.floor_type = 0;
  EXPECT_EQ(open_error(minimal_stream(o)), VorbisUnsupportedFloor);

  o = SetupOptions();
  o.residue_book_lookup = 0;  // residue vectors from a book that has none
  EXPECT_EQ(open_error(minimal_stream(o)), VorbisBadSetup);

  o = SetupOptions();
  o.channels = 2;
  o.couple_same_channel = 1;
  EXPECT_EQ(open_error(minimal_stream(o)), VorbisBadSetup);

  o = SetupOptions();
  o.bad_codebook_sync = 1;
  EXPECT_EQ(open_error(minimal_stream(o)), VorbisBadSetup);
}

TEST(VorbisHeaders, PageAndIdentificationFaults) {
  std::vector<uint8_t> s = encoded_stream();
  std::vector<uint8_t> bad = s;
  bad[0] = 'X';
  EXPECT_EQ(open_error(bad), VorbisNoCapturePattern);
  bad = s;
  bad[4] = 1;  // page structure version
  EXPECT_EQ(open_error(bad), VorbisBadPageVersion);
  bad = s;
  bad[5] = 0;  // first page without its beginning-of-stream flag
  EXPECT_EQ(open_error(bad), VorbisBadFirstPage);
  bad = s;
  bad[ID_PACKET + 1] = 'V';  // "Vorbis"
  EXPECT_EQ(open_error(bad), VorbisBadFirstPage);
  bad = s;
  bad[ID_PACKET + 7] = 1;  // version 1
  EXPECT_EQ(open_error(bad), VorbisBadFirstPage);

  // Input ending inside the segment table, and inside the signature.
  EXPECT_EQ(open_error(std::vector<uint8_t>(s.begin(), s.begin() + 27)), VorbisTruncatedHeader);
  EXPECT_EQ(open_error(std::vector<uint8_t>(s.begin(), s.begin() + ID_PACKET + 4)),
            VorbisTruncatedHeader);
  EXPECT_EQ(vorbis_open_from_memory(nullptr, 10, nullptr, nullptr), nullptr);
}

}  // namespace
