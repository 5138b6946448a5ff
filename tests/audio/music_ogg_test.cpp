// The music over real Ogg Vorbis streams made by the reference encoder and
// decoded by the game's own decoder: missing or broken pieces fall back
// quietly, and decoding never runs past the music buffer.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "audio/alloc.h"
#include "audio/audio.h"
#include "audio/music.h"
#include "audio/music_internal.h"
#include "audio/output_internal.h"
#include "audio/voice.h"
#include "audio_test_util.h"
#include "reference_codec.h"
#include "vorbis/vorbis.h"

namespace {

std::vector<uint8_t> encode(int frames, int channels) {
  return reference_encode(make_test_signal(SignalKind::Tones, channels, 44100, frames, 1), channels,
                          44100, 0.3f);
}

const std::vector<uint8_t>& stream_4s() {
  static const std::vector<uint8_t> s = encode(4 * 44100, 2);
  return s;
}
const std::vector<uint8_t>& title_mono() {
  static const std::vector<uint8_t> s = encode(22050, 1);
  return s;
}

// Segment 1 near the start, segment 2 far enough in that it is decoded late.
const char kTable[] = "1 1000 30000 441 20000\r\n2 100000 60000 33 25000\r\n";

class MusicOggTest : public ::testing::Test {
 protected:
  void SetUp() override {
    music_unload();
    open_standard_output();
    ASSERT_FALSE(stream_4s().empty());
    ASSERT_FALSE(title_mono().empty());
  }
  void TearDown() override {
    audio_allocate = malloc;
    music_unload();
    close_output();
  }
  void load(const std::vector<uint8_t>* title, const char* table, const std::vector<uint8_t>* stream) {
    MusicData data = {title ? title->data() : nullptr, title ? (int)title->size() : 0,
                      (const uint8_t*)table, table ? (int)strlen(table) : 0,
                      stream ? stream->data() : nullptr, stream ? (int)stream->size() : 0};
    ASSERT_EQ(music_load(&data), 1);
  }
};

TEST_F(MusicOggTest, MissingPiecesFallBackQuietly) {
  // No title: the first beat comes 4000 + 22050 after load.
  load(nullptr, kTable, &stream_4s());
  EXPECT_EQ(music.music_time, 4000u + 22050u);
  EXPECT_EQ(voice_count(), 0);
  music_unload();
  // A broken title and a broken stream: no music, no crash, no stall.
  std::vector<uint8_t> junk(5000, 0x4F);
  load(&junk, kTable, &junk);
  EXPECT_EQ(music.title_frames, 0);
  EXPECT_EQ(music.music_pcm, nullptr);
  EXPECT_EQ(music_decode_inline, 0);
  music.music_time = 0;
  static const int list[2] = {1, 2};
  music_set_playlist(list, 2, 0);
  music_fill();
  EXPECT_EQ(voice_count(), 0);
  music_unload();
  // No table: nothing is ever scheduled, but the title still plays.
  music.processors_override = 1;
  load(&title_mono(), nullptr, &stream_4s());
  EXPECT_EQ(voice_count(), 1);
  EXPECT_EQ(music_schedule_track(1), 0);
  // The title is decoded as it is mixed: none of it before, all of it by its end.
  EXPECT_EQ(music.title_decoded, 0);
  const Voice& title = voice_table.voices[0];
  std::vector<float> mixed(2 * (size_t)title.duration);
  voice_mix_span(mixed.data(), title.start_time, (int)title.duration, &title);
  EXPECT_EQ(music.title_decoded, music.title_frames);
  EXPECT_EQ(music.title_frames, 22050);
}

// A stream whose last page claims fewer frames than it holds must not make
// the decoder write past the buffer sized from that claim.
TEST_F(MusicOggTest, DecodingNeverRunsPastTheMusicBuffer) {
  music.processors_override = 1;
  load(nullptr, kTable, &stream_4s());
  ASSERT_EQ(music_decode_inline, 1);
  ASSERT_GT(music.total_frames, 10000);
  music.total_frames = 5000;  // as if the stream had said so
  for (int i = 5000 * 2; i < 10000 * 2; ++i) music.music_pcm[i] = 0x5A5A;
  int blocks = 0;
  while (music_decode_block() > 0 && blocks < 10000) ++blocks;
  EXPECT_EQ(music.decoded_count, 5000);
  for (int i = 5000 * 2; i < 10000 * 2; ++i) ASSERT_EQ(music.music_pcm[i], 0x5A5A) << i;
}

}  // namespace
