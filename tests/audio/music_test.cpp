// Music scheduling against a synthetic track table over synthetic PCM: the
// table parser, missing ids and rests on the grid, and the stop sequence that
// must play its fade before closing.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "audio/music.h"
#include "audio/music_internal.h"
#include "audio/output_internal.h"
#include "audio/voice.h"
#include "audio_test_util.h"
#include "platform/platform.h"
#include "support/array.h"

namespace {

struct Scheduled {
  uint32_t start_time;
  int64_t source_frame;  // offset of the voice's data in music_pcm
  uint32_t duration;
};

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    music_unload();
    open_standard_output();
  }
  void TearDown() override {
    music_unload();
    close_output();
  }

  // Stereo PCM whose left sample tells the frame it came from (mod 32768),
  // handed to the music state as if fully decoded.
  void install_decoded_pcm(int frames, int decoded) {
    int16_t* pcm = (int16_t*)malloc((size_t)frames * 4);
    for (int i = 0; i < frames; ++i) {
      pcm[2 * i] = (int16_t)(i & 0x7FFF);
      pcm[2 * i + 1] = (int16_t)-(i & 0x7FFF);
    }
    music.music_pcm = pcm;
    music.total_frames = frames;
    music.decoded_count = decoded;
    music.music_decoded.store(decoded);
    music.decode_done.store(decoded == frames ? 1 : 0);
  }

  void load_table(const std::string& text) {
    music_read_track_table((const uint8_t*)text.data(), (int)text.size());
  }

  // Every music voice now in the table that was not seen before.
  void collect(std::vector<Scheduled>& seen) {
    for (int i = 0; i < voice_table.count; ++i) {
      const Voice& v = voice_table.voices[i];
      if (v.key != 1) continue;
      Scheduled s = {v.start_time, (v.data - music.music_pcm) / 2, v.duration};
      bool known = false;
      for (const Scheduled& k : seen) known |= k.start_time == s.start_time && k.source_frame == s.source_frame;
      if (!known) seen.push_back(s);
    }
    std::sort(seen.begin(), seen.end(),
              [](const Scheduled& a, const Scheduled& b) { return a.start_time < b.start_time; });
  }

  // One video frame of play at 60 frames per second.
  void frame(std::vector<Scheduled>& seen) {
    headless_sound_consume(735);
    music_update();
    collect(seen);
  }
};

TEST_F(MusicTest, TrackTableParsing) {
  // Regression: the final byte used to be cut off unconditionally, so a table
  // without a final line end lost the last digit of its last row.
  load_table("1 96 173691 33 146621\r\n\r\n  2 -5 120967 461 73310\r\n3 4 5 6\r\nx\r\n2 1 1 1 1\r\n73 8312742 90877 978 73310");
  ASSERT_EQ(array_count(music.tracks), 4);
  EXPECT_EQ(music.tracks[0].advance, 146621);
  EXPECT_EQ(music.tracks[1].start, -5);
  EXPECT_EQ(music.tracks[2].id, 2);  // a later duplicate is kept but never found
  EXPECT_EQ(music.tracks[3].advance, 73310);
}

TEST_F(MusicTest, MissingIdsAreSkippedAndCannotSpinForever) {
  install_decoded_pcm(20000, 20000);
  load_table("1 0 5000 100 3000\r\n");
  static const int mixed[3] = {98, 1, 99};
  music_set_playlist(mixed, 3, 0);
  music.music_time = 1000;
  std::vector<Scheduled> seen;
  music_fill();
  collect(seen);
  ASSERT_GE(seen.size(), 1u);
  EXPECT_EQ(seen[0].start_time, 1000u - 100);  // the skipped 98 did not move the grid
  // Regression: a playlist none of whose ids are in the table never moved the
  // grid, so the fill loop never ended.
  static const int none[2] = {98, 99};
  music_set_playlist(none, 2, 0);
  music.music_time = 0;
  music_fill();
  EXPECT_EQ(music.music_time, 0u);
  // So does a row that can never lie inside the stream once decoding is done.
  music_unload();
  install_decoded_pcm(20000, 20000);
  load_table("1 15000 9000 0 3000\r\n2 -4 100 0 3000\r\n");
  static const int beyond[2] = {1, 2};
  music_set_playlist(beyond, 2, 0);
  music.music_time = 0;
  int before = voice_count();
  music_fill();
  EXPECT_EQ(voice_count(), before);
  EXPECT_EQ(music.music_time, 0u);
}

// Regression: a row of length 0 was skipped like a missing id, so the segment
// after it came one beat early; it is a rest that still keeps its beat.
TEST_F(MusicTest, ZeroLengthRowIsARestOnTheGrid) {
  install_decoded_pcm(20000, 20000);
  load_table("1 0 5000 100 2000\r\n2 6000 0 0 2500\r\n");
  static const int list[3] = {1, 2, 1};
  music_set_playlist(list, 3, 0);
  music.music_time = 1000;
  music_fill();
  std::vector<Scheduled> seen;
  collect(seen);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[0].start_time, 1000u - 100);
  EXPECT_EQ(seen[1].start_time, 1000u + 2000 + 2500 - 100);
}

// Regression: audio_stop closed the output as soon as the voices had ended at
// the clock, while the device was still a latency and its own lead short of
// playing the fade, so quitting cut the music off at nearly full level.
TEST_F(MusicTest, AudioStopClosesOnlyOnceTheFadeHasBeenPlayed) {
  auto dc = make_dc_stereo(400000, 8000, -8000);
  device.frames_per_sleep_ms = 44;
  uint32_t clock = audio_update(4000);
  voice_schedule({.data = dc.data(), .data_frames = 400000, .data_persistent = 1,
                  .start_time = clock, .duration = 400000, .key = 1});
  audio_update(4000);
  uint32_t fade_end = audio_clock() + 3000;  // the release starts at the clock
  audio_stop(0);
  ASSERT_EQ(device.sound_open, 0);
  // Audio time t sits at buffer frame t + lead + latency (the write cursor
  // began 300 frames ahead of the play cursor, which began at 0).
  int fade_end_position = (int)fade_end + 300 + 1322;
  int play = device.sound_play;
  EXPECT_GE(play, fade_end_position) << "closed before the device reached the fade's end";
  // What it played up to there is the fade down to silence, never louder.
  int previous = 8000;
  for (int f = fade_end_position - 3000; f < play; ++f) {
    int left = device_left(f);
    EXPECT_LE(left, previous + 1) << "frame " << f;
    previous = left;
  }
  EXPECT_EQ(device_left(fade_end_position), 0);
}

TEST_F(MusicTest, AudioStopGivesUpOnADeviceThatStoppedConsuming) {
  auto dc = make_dc_stereo(60000, 1000, 1000);
  device.frames_per_sleep_ms = 0;  // the cursors never move again
  voice_schedule({.data = dc.data(), .data_frames = 60000, .data_persistent = 1, .duration = 60000,
                  .key = 1});
  audio_stop(1);
  EXPECT_LE(device.sleeps, 60);
  EXPECT_EQ(device.sound_open, 0);
  EXPECT_EQ(audio_output.open, 0);
}

}  // namespace
