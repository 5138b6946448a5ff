// The `vantrel-decode audio` front end: a WAV with the stream's channels, rate
// and exactly the decoder's samples; on a bad stream no file and the error
// code's name on standard error.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/test_files.h"
#include "decode/decode_audio.h"
#include "reference_codec.h"
#include "vorbis/vorbis.h"

namespace {

uint32_t u32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

int run(const char* in, const char* out) {
  const char* argv[] = {"vantrel-decode", "audio", in, out};
  return decode_audio_main(4, const_cast<char**>(argv));
}

TEST(DecodeAudioTool, WritesWavOfTheWholeStream) {
  std::vector<float> signal = make_test_signal(SignalKind::Chirp, 2, 22050, 30000, 2);
  std::vector<uint8_t> ogg = reference_encode(signal, 2, 22050, 0.4f);
  ASSERT_TRUE(test_write_file("tool_in.ogg", ogg));
  remove("tool_out.wav");
  ASSERT_EQ(run("tool_in.ogg", "tool_out.wav"), 0);
  std::vector<uint8_t> wav = test_read_bytes("tool_out.wav");
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(wav[22], 2);                  // channels
  EXPECT_EQ(u32(&wav[24]), 22050u);       // rate
  EXPECT_EQ(wav[34], 16);                 // bits per sample
  EXPECT_EQ(u32(&wav[40]), wav.size() - 44);

  int channels = 0;
  short* samples = nullptr;
  int n = vorbis_decode_all_from_memory(ogg.data(), (int)ogg.size(), &channels, &samples);
  ASSERT_EQ(n, 30000);
  ASSERT_EQ(wav.size() - 44, (size_t)n * channels * 2);
  EXPECT_EQ(memcmp(wav.data() + 44, samples, wav.size() - 44), 0);  // little-endian host
  free(samples);
}

TEST(DecodeAudioTool, FailureWritesNothingAndNamesTheError) {
  ASSERT_TRUE(test_write_file("tool_bad.ogg", std::vector<uint8_t>(100, 'x')));
  remove("tool_bad.wav");
  testing::internal::CaptureStderr();
  EXPECT_EQ(run("tool_bad.ogg", "tool_bad.wav"), 1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("VorbisNoCapturePattern"), std::string::npos) << err;
  EXPECT_EQ(fopen("tool_bad.wav", "rb"), nullptr);
}

}  // namespace
