// vantrel-decode run in-process. `audio`: a WAV with the stream's channels,
// rate and exactly the decoder's samples. A refused input (image or audio)
// leaves no output behind, says why on standard error and exits with 1.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/test_files.h"
#include "decode/decode_audio.h"
#include "decode/decode_file.h"
#include "decode/decode_image.h"
#include "image/png_builder.h"
#include "reference_codec.h"
#include "stream_builder.h"
#include "vorbis/vorbis.h"

namespace {

uint32_t u32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

// Runs `vantrel-decode KIND IN OUT` on `bytes`; the standard error in *err.
int run(const char* kind, const std::vector<uint8_t>& bytes, const char* out, std::string* err) {
  std::string in = std::string(out) + ".in";  // the cases run in parallel, each with its own files
  EXPECT_TRUE(test_write_file(in, bytes));
  remove(out);
  const char* argv[] = {"vantrel-decode", kind, in.c_str(), out};
  testing::internal::CaptureStderr();
  int status = (kind[0] == 'i' ? decode_image_main : decode_audio_main)(4, const_cast<char**>(argv));
  *err = testing::internal::GetCapturedStderr();
  return status;
}

// Runs the audio front end on `ogg` and checks the WAV holds exactly what the
// decoder makes of it.
void expect_wav_of_whole_stream(const std::vector<uint8_t>& ogg, int frames) {
  std::string err;
  ASSERT_EQ(0, run("audio", ogg, "o.wav", &err)) << err;
  std::vector<uint8_t> wav = test_read_bytes("o.wav");
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(u32(&wav[4]), wav.size() - 8);
  EXPECT_EQ(memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(wav[22], 2);             // channels
  EXPECT_EQ(u32(&wav[24]), 22050u);  // rate
  EXPECT_EQ(wav[34], 16);            // bits per sample
  EXPECT_EQ(u32(&wav[40]), wav.size() - 44);
  int channels = 0;
  short* samples = nullptr;
  ASSERT_EQ(frames, vorbis_decode_all_from_memory(ogg.data(), (int)ogg.size(), &channels, &samples));
  ASSERT_EQ(wav.size() - 44, (size_t)frames * channels * 2);
  EXPECT_EQ(memcmp(wav.data() + 44, samples, wav.size() - 44), 0);  // little-endian host
  free(samples);
}

TEST(DecodeTool, AudioBecomesWavOfTheWholeStream) {
  // Long enough that the samples leave in several writes.
  const int frames = 100000;
  std::vector<uint8_t> ogg = reference_encode(make_test_signal(SignalKind::Chirp, 2, 22050, frames, 2), 2, 22050, 0.4f);
  expect_wav_of_whole_stream(ogg, frames);
  // A last page without a length: the header goes out before the samples
  // are counted and must be put right afterwards.
  size_t last = page_offsets(ogg).back();
  for (int i = 0; i < 8; ++i) ogg[last + 6 + i] = 0xFF;
  fix_page_crc(ogg, last);
  int channels = 0;
  short* samples = nullptr;
  int decoded = vorbis_decode_all_from_memory(ogg.data(), (int)ogg.size(), &channels, &samples);
  free(samples);
  ASSERT_GT(decoded, 0);
  expect_wav_of_whole_stream(ogg, decoded);
}

TEST(DecodeTool, RefusedInputWritesNothingAndSaysWhy) {
  const std::vector<uint8_t> reserved_block = {0x78, 0x01, 0x07};  // zlib header, final block of type 3
  const struct { const char* kind; std::vector<uint8_t> bytes; const char* said; } cases[] = {
      {"image", PngBuilder().ihdr(2, 1, 8, 2, 1).idat({0, 1, 2, 3, 4, 5, 6}).iend().bytes, "interlaced\n"},
      {"image", {0xff, 0xd8, 0xff, 0xd9}, "refused (no reason recorded)\n"},  // JPEG: SOI, EOI
      {"image", PngBuilder().ihdr(2, 1, 8, 2).chunk("IDAT", reserved_block).iend().bytes, "refused (no reason recorded)\n"},
      {"audio", std::vector<uint8_t>(100, 'x'), "VorbisNoCapturePattern"},
  };
  for (const auto& c : cases) {
    std::string err;
    EXPECT_EQ(1, run(c.kind, c.bytes, "bad.out", &err));
    EXPECT_NE(std::string::npos, err.find(c.said)) << err;
    if (c.said[strlen(c.said) - 1] == '\n') {
      EXPECT_EQ(c.said, err);  // the one line, whole
    }
    FILE* f = fopen("bad.out", "rb");
    EXPECT_EQ(f, nullptr);
    if (f) fclose(f);
  }
  const char* argv[] = {"vantrel-decode", "image", "no_such_file.png", "bad.out"};
  EXPECT_EQ(1, decode_image_main(4, const_cast<char**>(argv)));
  // A failed write removes only an ordinary file, never a device named as
  // the output (run as root, /dev/full used to be deleted).
  FILE* file = fopen("plain.out", "wb");
  FILE* device = fopen("/dev/null", "wb");
  EXPECT_TRUE(decode_output_is_file(file));
  EXPECT_FALSE(decode_output_is_file(device));
  if (file) fclose(file);
  if (device) fclose(device);
  remove("plain.out");
}

}  // namespace
