// Voices: every sound the game makes is one scheduled span of 16-bit PCM at an
// absolute audio time, with rate, volume, pan, an attack and a release. The
// table is dense (removal moves the last record into the hole) and shares its
// module with the mix ring, into which late voices are mixed at once.
#pragma once

#include <stdint.h>

enum { VOICE_MAX = 1000 };

// Release groups: voice_release fades every voice of one key at once.
enum VoiceKey {
  VOICE_KEY_NONE = 0,
  VOICE_KEY_MUSIC = 1,          // the title piece and every segment
  VOICE_KEY_DEATH_LINEAR = 2,   // the two layers of the death cue
  VOICE_KEY_DEATH_SWELL = 3,
  VOICE_KEY_SHOT = 6,           // the projectile's hiss
};

// Envelope shapes of attacks and releases (envelope_curve).
enum EnvelopeCurve {
  CURVE_NONE = 0,     // no envelope: full level
  CURVE_LINEAR = 1,
  CURVE_SINE = 2,     // close to a quarter sine
  CURVE_STEEP = 3,    // late and steep
  CURVE_SWELL = 4,    // overshoots to 1.2 near the end
};

struct Voice {
  const int16_t* data;     // source PCM, interleaved left, right when stereo
  int data_frames;         // frames available at data; bounds a private copy only
  uint8_t owns_data;       // 1: data is a private copy freed when the voice ends
  uint8_t data_persistent; // 1: the caller keeps data alive, never copied
  uint8_t channels;        // 2 = stereo, anything else mono
  uint8_t attack_curve;    // an EnvelopeCurve
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
  int key;                 // a VoiceKey
  // For a source still being produced while it plays: called before the mixer
  // reads source frames below `frames`, and must have them in place on
  // return. Null when the whole source is there from the start.
  void (*prepare)(int frames);
};

// One scheduled span: what to play, when and how. Unnamed fields keep these
// defaults, so a call names only what differs.
struct VoiceParams {
  const int16_t* data = nullptr;  // interleaved left, right when stereo
  int data_frames = 0;            // frames available at data
  uint8_t data_persistent = 0;    // 1: kept alive by the caller; 0: copied when late
  uint8_t channels = 2;           // 2 stereo, anything else mono
  float source_start = 0.0f;      // source frame that plays at start_time
  uint32_t start_time = 0;        // audio time of the first output frame
  uint32_t duration = 0;          // output frames; 0 schedules nothing
  float rate = 1.0f;              // source frames per output frame
  uint8_t attack_curve = CURVE_NONE;
  uint32_t attack_start = 0;
  uint32_t attack_length = 0;
  float volume = 1.0f;
  float pan = 0.0f;               // -1 left .. 1 right
  int key = VOICE_KEY_NONE;
  void (*prepare)(int frames) = nullptr;  // see Voice; needs data_persistent
};

struct VoiceTable {
  Voice voices[VOICE_MAX];
  int count;               // voices 0..count-1 are live
};

extern VoiceTable voice_table;

void voice_schedule(const VoiceParams& params);
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
