// The music over real Ogg Vorbis streams made by the reference encoder and
// decoded by the game's own decoder: the title piece, segments on the beat
// grid out of the decoded stream, the decoder thread and its cooperative stop,
// inline decoding on one processor, and the music buffer's failure paths.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "audio/alloc.h"
#include "audio/audio.h"
#include "audio/music.h"
#include "audio/music_internal.h"
#include "audio/output_internal.h"
#include "audio/voice.h"
#include "audio_test_util.h"
#include "ogg_encode.h"
#include "vorbis/vorbis.h"

namespace {

// A tone that changes pitch every half second, different on each side, so
// that a segment taken from the wrong place would not match.
std::vector<int16_t> make_tones(int frames, int channels) {
  std::vector<int16_t> pcm((size_t)frames * (size_t)channels);
  for (int i = 0; i < frames; ++i) {
    double t = i / 44100.0;
    double f = 220.0 * (1 + (i / 22050) % 5);
    for (int c = 0; c < channels; ++c)
      pcm[(size_t)i * (size_t)channels + (size_t)c] = (int16_t)(9000.0 * sin(2 * M_PI * f * (c + 1) * t));
  }
  return pcm;
}

const std::vector<uint8_t>& stream_4s() {
  static const std::vector<uint8_t> s = ogg_encode(make_tones(4 * 44100, 2), 2);
  return s;
}
const std::vector<uint8_t>& stream_12s() {
  static const std::vector<uint8_t> s = ogg_encode(make_tones(12 * 44100, 2), 2);
  return s;
}
const std::vector<uint8_t>& title_mono() {
  static const std::vector<uint8_t> s = ogg_encode(make_tones(22050, 1), 1);
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
  static bool wait_for_decoder(int seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!music.decode_done.load() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return music.decode_done.load() != 0;
  }
  struct Seen {
    uint32_t start_time;
    int64_t source_frame;
    uint32_t duration;
  };
  // Adds the segment voices (key 1, out of music_pcm) not seen before.
  static void record(std::vector<Seen>& seen) {
    for (int i = 0; i < voice_table.count; ++i) {
      const Voice& v = voice_table.voices[i];
      if (v.key != 1 || !music.music_pcm || v.data < music.music_pcm ||
          v.data >= music.music_pcm + 2 * music.total_frames)
        continue;
      bool known = false;
      for (const Seen& k : seen) known |= k.start_time == v.start_time;
      if (!known) seen.push_back({v.start_time, (v.data - music.music_pcm) / 2, v.duration});
    }
  }
  static const Voice* find_voice(uint32_t start_time) {
    for (int i = 0; i < voice_table.count; ++i)
      if (voice_table.voices[i].start_time == start_time) return &voice_table.voices[i];
    return nullptr;
  }
};

TEST_F(MusicOggTest, InlineDecodingWithOneProcessor) {
  music.processors_override = 1;
  load(&title_mono(), kTable, &stream_4s());
  EXPECT_EQ(music.decoder_thread, nullptr);
  ASSERT_EQ(music_decode_inline, 1);
  EXPECT_EQ(music.music_decoded.load(), 0);
  static const int list[2] = {1, 2};
  music_set_playlist(list, 2, 0);
  uint32_t first_beat = music.music_time;
  int frames_run = 0, stalled_frames = 0;
  uint32_t clock_before = 0, clock_before_segment2 = 0;
  std::vector<Seen> seen;
  // The frame driver's order: one block, then the music step.
  while (frames_run < 2000 && seen.size() < 2) {
    if (music_decode_inline && music_decode_block() == 0) music_decode_inline = 0;
    clock_before = audio_clock();
    headless_sound_consume(735);
    music_update();
    ++frames_run;
    if (music.music_time == audio_clock() + 4000) ++stalled_frames;
    size_t had = seen.size();
    record(seen);
    if (had < 2 && seen.size() == 2) clock_before_segment2 = clock_before;
  }
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].start_time, first_beat - 441);  // segment 1 came on time
  // Segment 2 needed 160000 frames decoded, about 157 blocks: it stalled, and
  // then began on the pushed grid, 4000 past the clock before its frame.
  EXPECT_EQ(seen[1].source_frame, 100000);
  EXPECT_GT(stalled_frames, 10);
  EXPECT_EQ(seen[1].start_time, clock_before_segment2 + 4000 - 33);
  EXPECT_GE(music.music_decoded.load(), 160000);
  while (music_decode_inline && frames_run++ < 4000)
    if (music_decode_block() == 0) music_decode_inline = 0;
  EXPECT_EQ(music_decode_inline, 0);
  EXPECT_EQ(music.decode_done.load(), 1);
}

TEST_F(MusicOggTest, DecoderThreadStopsBetweenBlocks) {
  ASSERT_FALSE(stream_12s().empty());
  music.processors_override = 2;
  load(nullptr, kTable, &stream_12s());
  ASSERT_NE(music.decoder_thread, nullptr);
  device.frames_per_sleep_ms = 44;
  audio_stop(0);
  EXPECT_EQ(music.decoder_thread, nullptr);
  EXPECT_EQ(music.decoder_running.load(), 0);
  // It stopped well before the end (12 s of music take far more blocks than
  // fit in the short fade) and wrote nothing past what it published.
  EXPECT_LT(music.decoded_count, music.total_frames);
  EXPECT_EQ(music.decoded_count, music.music_decoded.load());
  EXPECT_EQ(device.sound_open, 0);
}

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

void* refuse(size_t) { return nullptr; }

// The game ends with "Out of memory" on this refusal; the music itself only
// reports it and keeps nothing half-made.
TEST_F(MusicOggTest, MusicBufferThatCannotBeAllocatedIsReported) {
  audio_allocate = refuse;
  MusicData data = {nullptr, 0, nullptr, 0, stream_4s().data(), (int)stream_4s().size()};
  EXPECT_EQ(music_load(&data), 0);
  EXPECT_EQ(music.music_pcm, nullptr);
  EXPECT_EQ(music.decoder, nullptr);
  EXPECT_EQ(music.decoder_thread, nullptr);
}

}  // namespace
