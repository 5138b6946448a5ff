// Instrument voices. Each note is rendered on its own straight into the
// segment's mix (dry left/right and a mono reverb send), so a segment is just
// the sum of its notes: no voice allocation, no global state to carry over.
#pragma once

#include <cstdint>

#include "music/score.h"

struct MixTarget {
  float* left;
  float* right;
  float* send;  // reverb input
  int frames;
  int rate;
};

// Adds one note into `mix`. `onset` is the first frame (may be fractional),
// `gate` how many frames the key is held before the release begins; `seed`
// makes noise and phases differ between notes yet repeat on every run.
void synth_render_note(const Instrument& inst, float freq, float vel, double onset, double gate,
                       uint32_t seed, const MixTarget& mix);

// Frames a note sounds beyond its gate (release, ringing strings and bells).
double synth_tail_frames(const Instrument& inst, int rate);
