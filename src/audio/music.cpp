// Music scheduling: the title piece, the track table and the beat grid. A
// segment is scheduled only once it lies wholly in the decoded part of the
// stream; until then the grid waits, so a slow decoder stalls the music and
// never the game.
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "audio/alloc.h"
#include "audio/audio.h"
#include "audio/music.h"
#include "audio/music_internal.h"
#include "audio/output_internal.h"
#include "audio/voice.h"
#include "platform/platform.h"
#include "support/array.h"
#include "support/text.h"
#include "support/thread.h"
#include "vorbis/vorbis.h"

MusicState music;
int music_decode_inline;

enum {
  TITLE_HEAD_START = 4000,     // frames from load to the title piece
  TITLE_GAP = 22050,           // from the title's end to the first beat
  FILL_REACH = 6000,           // the grid always reaches this far past the clock
  STALL_PUSH = 4000,           // an undecoded segment moves its beat this far past the clock
  // Bounds one fill: a playlist whose ids are all missing from the table would
  // otherwise never move the grid and never end the loop.
  FILL_MAX_STEPS = PLAYLIST_TITLE_COUNT + 24,
  STOP_FADE_LONG = 32000,
  STOP_FADE_SHORT = 3000,
  STOP_WAIT_MS = 10,
  // The stop sequence gives up when the device stops consuming (the clock
  // stands still for half a second) or after five seconds in all.
  STOP_STALL_PASSES = 50,
  STOP_MAX_PASSES = 500,
  TITLE_FRAME_MAX = 4096,      // the most one Vorbis frame yields, per channel
};

// The whole title piece into one buffer of the stream's announced length (plus
// the most one frame can add, so a stream that runs longer loses nothing and
// only then grows): no doubling, so no copies and no spare capacity linger.
// Only for a stream that does not say its length. Returns the frame count,
// negative when the stream cannot be opened or the buffer cannot be had;
// *pcm_out is the caller's to free.
static int decode_title_whole(VorbisDecoder* d, int channels, int16_t** pcm_out) {
  const int64_t frame_values = (int64_t)TITLE_FRAME_MAX * channels;
  int64_t capacity = frame_values;
  int64_t used = 0;
  int16_t* pcm = (int16_t*)malloc(sizeof(int16_t) * (size_t)capacity);
  for (;;) {
    if (pcm && capacity - used < frame_values) {
      int64_t grown = capacity * 2;
      int16_t* bigger = grown <= INT_MAX ? (int16_t*)realloc(pcm, sizeof(int16_t) * (size_t)grown) : 0;
      if (!bigger) free(pcm);
      pcm = bigger;
      capacity = grown;
    }
    if (!pcm) return -2;
    int n = vorbis_next_frame_s16_interleaved(d, channels, pcm + used, (int)(capacity - used));
    if (n == 0) break;
    used += (int64_t)n * channels;
  }
  int16_t* fitted = (int16_t*)realloc(pcm, sizeof(int16_t) * (size_t)(used > 0 ? used : 1));
  *pcm_out = fitted ? fitted : pcm;
  return (int)(used / channels);
}

// Decoding the title piece whole took most of start-up, and the first frames
// play none of it (it begins 4000 frames after load). So it is decoded as it
// is mixed: the voice asks for the frames it is about to read. The buffer has
// the announced length from the start, zeros until decoded; a stream that
// ends early leaves the zeros, one that runs longer is cut at that length.
static void title_prepare(int frames) {
  MusicState& m = music;
  while (m.title_decoder && m.title_decoded < frames) {
    int64_t room = (int64_t)(m.title_frames + TITLE_FRAME_MAX - m.title_decoded) * m.title_channels;
    int n = vorbis_next_frame_s16_interleaved(m.title_decoder, m.title_channels,
                                              m.title_pcm + (int64_t)m.title_decoded * m.title_channels,
                                              (int)room);
    if (n > 0) m.title_decoded += n;
    if (n <= 0 || m.title_decoded >= m.title_frames) {
      vorbis_close_decoder(m.title_decoder);
      m.title_decoder = 0;
    }
  }
}

// Opens the title piece and sets up its progressive decoding; without an
// announced length it is decoded whole here instead.
static void title_open(const uint8_t* bytes, int length) {
  MusicState& m = music;
  VorbisDecoder* d = vorbis_open_from_memory(bytes, length, 0, 0);
  if (!d) return;
  const int channels = vorbis_get_info(d).channels;
  const int64_t total = vorbis_total_samples(d);
  int16_t* pcm = 0;
  if (total == 0) {
    int frames = decode_title_whole(d, channels, &pcm);
    vorbis_close_decoder(d);
    if (frames > 0 && pcm) {
      m.title_pcm = pcm;
      m.title_frames = m.title_decoded = frames;
      m.title_channels = channels;
    } else {
      free(pcm);
    }
    return;
  }
  // Room for one more Vorbis frame past the end, so the last one never has
  // samples dropped that the length still covers.
  const int64_t values = (total + TITLE_FRAME_MAX) * channels;
  if (values <= INT_MAX) pcm = (int16_t*)calloc((size_t)values, sizeof(int16_t));
  if (!pcm) {
    vorbis_close_decoder(d);
    return;
  }
  m.title_decoder = d;
  m.title_pcm = pcm;
  m.title_frames = (int)total;
  m.title_decoded = 0;
  m.title_channels = channels;
}

int music_load(const MusicData* data) {
  MusicState& m = music;
  m.title_frames = 0;
  if (data->title && data->title_bytes > 0) title_open(data->title, data->title_bytes);
  // The clock does not move before the first update, so start-up time spent
  // since audio_init comes out of the head start.
  uint32_t t = audio_clock() + TITLE_HEAD_START;
  if (m.title_frames > 0)
    voice_schedule({.data = m.title_pcm, .data_frames = m.title_frames, .data_persistent = 1,
                    .channels = (uint8_t)m.title_channels, .start_time = t,
                    .duration = (uint32_t)m.title_frames, .volume = 0.75f, .key = VOICE_KEY_MUSIC,
                    .prepare = m.title_decoder ? title_prepare : nullptr});
  m.music_time = t + (uint32_t)m.title_frames + TITLE_GAP;
  if (data->table && data->table_bytes > 0) music_read_track_table(data->table, data->table_bytes);
  if (!music_decoder_start(data->stream, data->stream_bytes)) return 0;
  music_set_playlist(playlist_title, PLAYLIST_TITLE_COUNT, PLAYLIST_TITLE_LOOP);
  return 1;
}

// Five decimal integers with the leniency of "%d": leading blanks and a sign.
static int parse_row(const char* line, TrackRow* row_out) {
  long values[5];
  const char* p = line;
  for (int i = 0; i < 5; ++i) {
    char* end = 0;
    long v = strtol(p, &end, 10);
    if (end == p || v < INT_MIN || v > INT_MAX) return 0;
    values[i] = v;
    p = end;
  }
  *row_out = {(int32_t)values[0], (int32_t)values[1], (int32_t)values[2], (int32_t)values[3],
              (int32_t)values[4]};
  return 1;
}

void music_read_track_table(const uint8_t* text, int bytes) {
  MusicState& m = music;
  // A private NUL-terminated copy: the archive entry stays untouched, and a
  // table without a final line end keeps its last digit.
  char* copy = (char*)malloc((size_t)bytes + 1);
  if (!copy) return;
  memcpy(copy, text, (size_t)bytes);
  copy[bytes] = 0;
  int lines = 0;
  char** pieces = split_text(copy, "\r\n", &lines);
  free(copy);
  if (!pieces) return;
  for (int i = 0; i < lines; ++i) {
    TrackRow row;
    if (!parse_row(pieces[i], &row)) continue;  // fewer than five numbers
    int before = array_count(m.tracks);
    TrackRow* grown = array_push(m.tracks);
    if (!grown || array_count(grown) == before) break;  // out of memory: keep what we have
    m.tracks = grown;
    m.tracks[before] = row;
  }
  free(pieces);
}

// The title piece plays once; when no voice reads it any more its samples
// are of no further use, and they are most of what start-up leaves behind.
static void music_release_title(void) {
  MusicState& m = music;
  if (!m.title_pcm) return;
  const int16_t* begin = m.title_pcm;
  const int16_t* end = begin + (int64_t)m.title_frames * m.title_channels;
  for (int i = 0; i < voice_table.count; ++i) {
    const int16_t* data = voice_table.voices[i].data;
    if (data >= begin && data < end) return;
  }
  vorbis_close_decoder(m.title_decoder);
  m.title_decoder = 0;
  free(m.title_pcm);
  m.title_pcm = 0;
}

void music_update(void) {
  // Without sound the output never opened, and after audio_stop it is closed
  // or closing; either way frames schedule nothing.
  if (!audio_output.open || music.stop.active) return;
  audio_update(4000);
  music_release_title();
  music_fill();
}

void music_fill(void) {
  MusicState& m = music;
  for (int step = 0; step < FILL_MAX_STEPS && m.music_time < audio_clock() + FILL_REACH; ++step) {
    if (!m.playlist || m.playlist_count <= 0) return;
    if (m.playlist_pos >= m.playlist_count || m.playlist_pos < 0) m.playlist_pos = 0;
    if (!music_schedule_track(m.playlist[m.playlist_pos])) return;
    m.playlist_pos += 1;
    if (m.playlist_pos >= m.playlist_count) m.playlist_pos = m.playlist_loop;
  }
}

int music_schedule_track(int id) {
  MusicState& m = music;
  int count = array_count(m.tracks);
  if (count == 0) return 0;
  const TrackRow* row = 0;
  for (int i = 0; i < count && !row; ++i)
    if (m.tracks[i].id == id) row = &m.tracks[i];
  if (!row) return 1;  // not in the table: skipped, the grid stays
  // A row that can never lie inside the stream is skipped like a missing id
  // rather than stalling the music for good. Length 0 is a rest: no voice, but
  // its beat still counts.
  if (row->start < 0 || row->length < 0) return 1;
  int64_t end = (int64_t)row->start + row->length;
  if (end > m.music_decoded.load(std::memory_order_acquire)) {
    if (m.decode_done.load(std::memory_order_acquire) &&
        end > m.music_decoded.load(std::memory_order_acquire))
      return 1;
    m.music_time = audio_clock() + STALL_PUSH;
    return 0;
  }
  voice_schedule({.data = m.music_pcm + 2 * (int64_t)row->start, .data_frames = row->length,
                  .data_persistent = 1, .start_time = m.music_time - (uint32_t)row->lead,
                  .duration = (uint32_t)row->length, .key = VOICE_KEY_MUSIC});
  m.music_time += (uint32_t)row->advance;
  return 1;
}

void music_set_playlist(const int* list, int count, int loop_index) {
  MusicState& m = music;
  if (list == m.playlist && count == m.playlist_count) return;  // keeps its position
  m.playlist = list;
  m.playlist_count = count;
  m.playlist_pos = 0;
  m.playlist_loop = loop_index;
}

void audio_stop_begin(int long_fade) {
  MusicState& m = music;
  // The decoder stops between two blocks; thread_terminate waits for that.
  if (m.decoder_thread) {
    thread_terminate(m.decoder_thread);
    m.decoder_thread = 0;
  }
  music_decode_inline = 0;
  voice_release(VOICE_KEY_MUSIC, CURVE_LINEAR, 0, long_fade ? STOP_FADE_LONG : STOP_FADE_SHORT);
  m.stop = {};
  m.stop.active = 1;
  m.stop.last_clock = audio_clock();
}

int audio_stop_step(void) {
  MusicStop& s = music.stop;
  if (!s.active) return 1;
  // Sound cues still playing are let finish, but a device that has stopped
  // consuming must not keep the program from ending.
  int done = !audio_output.open || s.pass >= STOP_MAX_PASSES;
  if (!done) {
    s.pass++;
    uint32_t clock = audio_update(4000);
    // Voices end at the clock, but the device plays that moment only a latency
    // and its own lead later; closing any sooner would cut the fade off at
    // nearly full level, a click instead of a fade.
    if (voice_count() == 0) {
      if (!s.draining) s.heard_by = clock + (uint32_t)audio_output_delay_frames();
      s.draining = 1;
      done = clock >= s.heard_by;
    }
    if (!done && clock == s.last_clock) {
      done = ++s.still >= STOP_STALL_PASSES;
    } else if (!done) {
      s.still = 0;
      s.last_clock = clock;
    }
  }
  if (!done) return 0;
  s.active = 0;
  audio_shutdown();
  return 1;
}

void audio_stop_set_deferred(int deferred) { music.stop_deferred = deferred; }

void audio_stop(int long_fade) {
  audio_stop_begin(long_fade);
  if (music.stop_deferred) return;
  while (!audio_stop_step()) platform_sleep_ms(STOP_WAIT_MS);
}
