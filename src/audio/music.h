// The music: segments of one long decoded Ogg Vorbis stream, played one voice
// per segment on a beat grid through playlists that follow the room, after a
// title piece that plays once. Also the audio stop sequence (music fade-out,
// then the output closes).
#pragma once

#include <stdint.h>

// Playlists: segment ids played in order; after the last id play resumes at
// the loop index given with each list.
enum {
  PLAYLIST_TITLE_COUNT = 276, PLAYLIST_TITLE_LOOP = 0,
  PLAYLIST_A_COUNT = 45, PLAYLIST_A_LOOP = 5,
  PLAYLIST_B_COUNT = 47, PLAYLIST_B_LOOP = 5,
  PLAYLIST_C_COUNT = 50, PLAYLIST_C_LOOP = 0,
  PLAYLIST_D_COUNT = 26, PLAYLIST_D_LOOP = 6,
  PLAYLIST_E_COUNT = 59, PLAYLIST_E_LOOP = 22,
};
extern const int playlist_title[PLAYLIST_TITLE_COUNT];
extern const int playlist_a[PLAYLIST_A_COUNT];
extern const int playlist_b[PLAYLIST_B_COUNT];
extern const int playlist_c[PLAYLIST_C_COUNT];
extern const int playlist_d[PLAYLIST_D_COUNT];
extern const int playlist_e[PLAYLIST_E_COUNT];

// Set while the stream is decoded on the main thread (fewer than two
// processors): the frame driver calls music_decode_block once per frame, clears
// this when it returns 0, and limits the frame time to 1/30 s meanwhile.
extern int music_decode_inline;

// The three data files the music is made of, as the game found them; each
// pointer may be null (entry missing), and nothing here keeps them past the
// call except the stream, which must outlive the decoding.
struct MusicData {
  const uint8_t* title;   // "qorvel_title_3.ogg", decoded whole at load
  int title_bytes;
  const uint8_t* table;   // "merged_data.txt", the track table
  int table_bytes;
  const uint8_t* stream;  // "merged.ogg", decoded in the background
  int stream_bytes;
};

// Start-up, once, right after a successful audio_init (never without sound).
// 0 when the music buffer cannot be allocated: the caller cannot go on and
// reports "Out of memory"; 1 otherwise, missing or bad data included.
int music_load(const MusicData* data);
// Once per frame, also while inactive: audio_update(4000), then music_fill.
void music_update(void);
// Decodes one Vorbis frame of the stream; frames decoded, 0 at the end.
int music_decode_block(void);
void music_select_for_room(int room);
// Changes the playlist unless (list, count) is the one already playing.
void music_set_playlist(const int* list, int count, int loop_index);
// Game end (long_fade 1: 32000 frames) or quit (0: 3000 frames), only while
// sound is enabled: stops the decoder, fades the music, waits (bounded) for
// every voice to end and closes the output.
void audio_stop(int long_fade);
// The same stop for a platform that must not wait (a browser page): begin
// releases the music and returns; step runs one pass of the wait, once a
// frame, and returns 1 once the output is closed (at once when none is open).
void audio_stop_begin(int long_fade);
int audio_stop_step(void);
// With deferred set, audio_stop only begins and the platform steps the rest.
void audio_stop_set_deferred(int deferred);

// Schedules segments until the beat grid reaches 6000 frames past the clock.
void music_fill(void);
// Schedules one segment at the next beat; 0 when it cannot yet (not decoded,
// or no table), 1 otherwise (including an id that is skipped).
int music_schedule_track(int id);
