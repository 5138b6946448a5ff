// The music score: instruments, segments of notes on the beat grid, the title
// piece and the playlists, read from plain text files in assets/music/.
// Everything the renderer needs is resolved here (note names to frequencies,
// block references expanded), so rendering never looks at text again.
#pragma once

#include <string>
#include <vector>

enum InstrumentKind {
  INSTRUMENT_PAD,    // detuned saws through a low-pass filter
  INSTRUMENT_PLUCK,  // plucked string (delay line with a damped loop)
  INSTRUMENT_BASS,   // saw and sine through an enveloped low-pass, lightly driven
  INSTRUMENT_BELL,   // two-operator FM with an inharmonic ratio
  INSTRUMENT_NOISE,  // white noise through a swept filter
  INSTRUMENT_KICK,   // sine with a falling pitch
  INSTRUMENT_KIND_COUNT
};

struct Instrument {
  std::string name;
  InstrumentKind kind = INSTRUMENT_PAD;
  // Level and placement.
  float gain = 0.5f;
  float pan = 0.0f;      // -1 left .. 1 right
  float width = 0.5f;    // 0 mono .. 1 fully spread (pads, bells, noise)
  float reverb = 0.2f;   // send to the segment's reverb, 0..1
  // Envelope, in seconds (sustain is a level 0..1).
  float attack = 0.005f;
  float decay = 0.3f;
  float sustain = 0.7f;
  float release = 0.3f;
  // Tone; each kind reads the ones it needs.
  float cutoff = 2000.0f;  // Hz: filter corner (pad, bass, noise)
  float cutoff2 = 0.0f;    // Hz: noise sweeps toward it over the note; 0 = no sweep
  float reso = 0.2f;       // filter resonance 0..0.95
  float sweep = 0.0f;      // pad/bass: extra cutoff (times cutoff) at the envelope's peak
  float voices = 3.0f;     // pad: saws per note (1..7)
  float detune = 8.0f;     // pad: cents between outermost saws
  float sub = 0.0f;        // pad/bass: sine one octave down (pad) or at pitch (bass)
  float drive = 0.0f;      // bass: soft saturation amount
  float ratio = 3.5f;      // bell: modulator / carrier frequency
  float index = 2.0f;      // bell: modulation index at the strike
  float bright = 0.5f;     // pluck: 0 dull .. 1 bright; noise: 0 low-pass, 0.5 band, 1 high-pass
  float tremolo = 0.0f;    // amplitude wobble rate in Hz (0 = none)
  float depth = 0.0f;      // tremolo depth 0..1
  float vibrato = 0.0f;    // pitch wobble in cents at 5 Hz
  float punch = 4.0f;      // kick: start pitch as a multiple of the end pitch
};

struct NoteEvent {
  int instrument = 0;  // index into Score::instruments
  double at = 0.0;     // units from the segment's beat
  double length = 0.0; // gate in units
  float freq = 0.0f;   // Hz
  int midi = 0;        // for key checks
  float vel = 0.8f;
};

enum ScaleMode {
  MODE_MAJOR, MODE_MINOR, MODE_DORIAN, MODE_PHRYGIAN, MODE_LYDIAN,
  MODE_MIXOLYDIAN, MODE_HARMONIC, MODE_WHOLETONE, MODE_CHROMATIC, MODE_COUNT
};

struct Segment {
  int id = 0;             // 0 for the title piece
  std::string name;       // "22" or "title"
  int lead = 0;           // frames before the beat
  int length = 0;         // frames
  int advance = 0;        // frames from this beat to the next
  int tonic = 0;          // pitch class 0 (C) .. 11
  ScaleMode mode = MODE_MAJOR;
  std::string list;       // playlist family the segment was written for
  float room = 0.8f;      // reverb size 0..1
  float wet = 0.25f;      // reverb return level
  int line = 0;           // score line, for messages
  std::vector<NoteEvent> notes;
};

struct Playlist {
  std::string name;
  int loop = 0;
  std::vector<int> ids;
};

struct Score {
  double unit = 14662.0;     // frames per beat unit
  int rate = 44100;
  float loudness = -20.0f;   // target loudness of every segment body
  float ceiling = -2.5f;     // sample peak ceiling in dBFS before encoding
  float quality = 0.3f;      // Vorbis VBR quality
  std::vector<Instrument> instruments;
  std::vector<Segment> segments;  // stream order; the title piece is not here
  Segment title;
  bool has_title = false;
  std::vector<Playlist> playlists;
};

// Reads the score starting at `path` (which may "include" other files beside
// it). Returns 1 on success; on failure `error_out` says which file and line.
int score_load(const std::string& path, Score* score, std::string* error_out);

// Parses score text already in memory; `name` labels messages.
int score_parse_text(const std::string& text, const std::string& name,
                     const std::string& folder, Score* score, std::string* error_out);

// Note name ("C4", "F#2", "Bb3") to a MIDI number; -1 when it is not one.
int score_note_midi(const std::string& token);

// 1 when the pitch class of `midi` belongs to the segment's key.
int score_note_in_key(const Segment& segment, int midi);

const Segment* score_find_segment(const Score& score, int id);
const Playlist* score_find_playlist(const Score& score, const std::string& name);
const char* score_mode_name(ScaleMode mode);
