// The music state behind music.h, shared by the music files and open to the
// tests, which feed it data directly instead of through a packed archive.
#pragma once

#include <stdint.h>

#include <atomic>

struct Thread;
struct VorbisDecoder;

// One line of "merged_data.txt"; all values in frames of the decoded stream.
struct TrackRow {
  int32_t id;       // used by the playlists; the first row with an id wins
  int32_t start;    // first frame of the segment
  int32_t length;   // segment length, also the voice's duration
  int32_t lead;     // the voice starts this long before its beat
  int32_t advance;  // from this beat to the next segment's beat
};

// The stop sequence between audio_stop_begin and the output's close.
struct MusicStop {
  int active;
  int pass;                        // audio_update passes so far
  int still;                       // passes in a row the clock has not moved
  int draining;                    // every voice has ended; waiting to be heard
  uint32_t last_clock;
  uint32_t heard_by;               // the clock at which the last sound was played
};

struct MusicState {
  VorbisDecoder* decoder;          // open on "merged.ogg" while decoding
  int16_t* music_pcm;              // stereo frames, allocated at the full length
  int64_t total_frames;            // capacity of music_pcm in frames
  int64_t decoded_count;           // frames written (decoder side only)
  std::atomic<int64_t> music_decoded;  // published after each block (release)
  std::atomic<int> decode_done;    // the decoder has nothing more to give
  Thread* decoder_thread;          // kept until audio_stop hands it back
  std::atomic<int> decoder_running;  // cleared by the thread when it ends
  int16_t* title_pcm;              // the title piece, decoded as it is mixed
  VorbisDecoder* title_decoder;    // open until the title is decoded to its end
  int title_frames;                // the announced length
  int title_decoded;               // frames of title_pcm decoded so far
  int title_channels;
  uint32_t music_time;             // audio time of the next segment's beat
  const int* playlist;
  int playlist_count;
  int playlist_pos;                // index of the next id to schedule
  int playlist_loop;
  TrackRow* tracks;                // growable array (support/array.h)
  MusicStop stop;
  int stop_deferred;               // audio_stop only begins; the platform steps it
  int processors_override;         // tests: pretend this many processors (0 = ask)
};

extern MusicState music;

// Appends the rows of a track table text (need not be NUL-terminated).
void music_read_track_table(const uint8_t* text, int bytes);
// 0 only when the stream's buffer cannot be allocated; a missing or bad stream
// just leaves the music without segments.
int music_decoder_start(const uint8_t* stream, int stream_bytes);
int music_decoder_thread(void* argument);
// Stops the decoder and releases everything music_load made. The game never
// calls it (the program ends after audio_stop); tests start afresh with it.
void music_unload(void);
