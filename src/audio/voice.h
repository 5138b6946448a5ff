// Voices: every sound the game makes is one scheduled span of 16-bit PCM at an
// absolute audio time, with rate, volume, pan, an attack and a release. The
// table is dense (removal moves the last record into the hole) and shares its
// module with the mix ring, into which late voices are mixed at once.
#pragma once

#include <stdint.h>

enum { VOICE_MAX = 1000 };

struct Voice {
  const int16_t* data;     // source PCM, interleaved left, right when stereo
  int data_frames;         // frames available at data; bounds a private copy only
  uint8_t owns_data;       // 1: data is a private copy freed when the voice ends
  uint8_t data_persistent; // 1: the caller keeps data alive, never copied
  uint8_t channels;        // 2 = stereo, anything else mono
  uint8_t attack_curve;    // 0..4, see envelope_curve
  uint8_t release_curve;   // 0 until released
  float source_start;      // source frame that plays at start_time
  uint32_t start_time;     // audio time of the first output frame
  uint32_t duration;       // sounds during start_time <= t < start_time + duration
  uint32_t attack_start;
  uint32_t attack_length;
  uint32_t release_start;  // 0xFFFFFFFF until released
  uint32_t release_length;
  float rate;              // source frames per output frame; exactly 1.0 = no interpolation
  float volume;
  float left_gain;         // from the pan law
  float right_gain;
  int key;                 // release group, 0 = none (1 music, 2/3 death, 6 hiss)
};

struct VoiceTable {
  Voice voices[VOICE_MAX];
  int count;               // voices 0..count-1 are live
};

extern VoiceTable voice_table;

void voice_schedule(const int16_t* data, int data_frames, uint8_t data_persistent,
                    uint8_t channels, float source_start, uint32_t start_time,
                    uint32_t duration, float rate, uint8_t attack_curve,
                    uint32_t attack_start, uint32_t attack_length, float volume,
                    float pan, int key);
// Fades every voice carrying key from release_start (0 = now) over
// release_length frames; voices that would only begin after the fade go.
void voice_release(int key, uint8_t release_curve, uint32_t release_start,
                   uint32_t release_length);
int voice_count(void);

// For the mix ring.
void voices_retire(uint32_t time);
void voices_reset(uint32_t time);
void voice_mix_span(float* destination, uint32_t time, int count, const Voice* voice);

// Internal, open for the tests.
void voice_mix_late(const Voice* voice);
void voice_mix_chunk(float* destination, uint32_t time, int count, const Voice* voice,
                     float gain_start, float gain_end, float source_position);
float voice_envelope(const Voice* voice, uint32_t time);
float envelope_curve(int type, float x);
// Gives a released voice its own copy of the source; 0 when that copy cannot
// be allocated (the caller then drops the voice).
int voice_make_private(Voice* voice);
