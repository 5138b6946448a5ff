// The music track table ("merged_data.txt") on arbitrary text, then played on
// the beat grid over a synthetic stream into the headless sound device: a row
// outside the stream, a lead or advance that wraps the clock, or thousands of
// rows show up as a bad read, an overflow or a hang here.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "audio/audio.h"
#include "audio/music.h"
#include "audio/music_internal.h"
#include "audio/output_internal.h"
#include "audio/voice.h"
#include "platform/headless/headless.h"
#include "support/array.h"

enum {
  STREAM_FRAMES = 30000,  // the synthetic "decoded" stream
  PLAY_FRAMES = 24,       // video frames of play per input
  FRAME_SAMPLES = 735,    // one 60 Hz frame at 44100 Hz
  MAX_PLAYLIST = 64,
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  static FILE* quiet = freopen("/dev/null", "w", stdout);  // the full voice table's message
  (void)quiet;
  music_unload();
  if (audio_output.open) audio_shutdown();
  voice_table.count = 0;
  headless_reset();
  HeadlessMachine& device = *headless_machine();
  device.sound_lead = 300;
  device.log_writes = 1;
  if (!audio_init(8000, 0.03f, 264600)) abort();

  music_read_track_table(data, (int)size);

  // The stream is three quarters decoded for the first half of the run, so
  // rows past that point stall the grid before they play.
  int16_t* pcm = (int16_t*)malloc((size_t)STREAM_FRAMES * 4);
  for (int i = 0; i < STREAM_FRAMES * 2; ++i) pcm[i] = (int16_t)(i * 7);
  music.music_pcm = pcm;
  music.total_frames = STREAM_FRAMES;
  music.decoded_count = STREAM_FRAMES * 3 / 4;
  music.music_decoded.store(music.decoded_count);
  music.decode_done.store(0);

  // Every row's id in table order, so each row is reached.
  static int list[MAX_PLAYLIST];
  int count = 0;
  for (int i = 0; i < array_count(music.tracks) && count < MAX_PLAYLIST; ++i)
    list[count++] = music.tracks[i].id;
  if (count == 0) list[count++] = 1;
  music_set_playlist(list, count, count / 2);
  music.music_time = 1000;

  for (int frame = 0; frame < PLAY_FRAMES; ++frame) {
    if (frame == PLAY_FRAMES / 2) {
      music.decoded_count = STREAM_FRAMES;
      music.music_decoded.store(STREAM_FRAMES);
      music.decode_done.store(1);
    }
    headless_sound_consume(FRAME_SAMPLES);
    music_update();
    // A music voice plays straight out of the stream buffer: it must lie inside.
    for (int i = 0; i < voice_table.count; ++i) {
      const Voice& v = voice_table.voices[i];
      int64_t first = (v.data - music.music_pcm) / 2;
      if (v.key == 1 && !v.owns_data && (first < 0 || first + (int64_t)v.duration > music.total_frames)) abort();
    }
  }
  // Every write lands inside the device buffer.
  int buffer_bytes = (int)device.sound.size() * 2;
  for (const HeadlessWrite& w : device.writes)
    if (w.byte_offset < 0 || w.byte_offset >= buffer_bytes || w.byte_count > buffer_bytes) abort();
  return 0;
}
