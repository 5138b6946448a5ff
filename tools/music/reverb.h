// A stereo room reverb (parallel damped combs into series all-passes, the
// classic Schroeder/Moorer shape). One instance per segment, so every
// segment's reverb tail belongs to that segment and fades with it.
#pragma once

// Adds the reverberated `send` (mono, `frames` long) into left/right.
// room 0..1 sets the decay time (0.25 .. 1.5 s to -60 dB), wet the return level.
void reverb_process(const float* send, float* left, float* right, int frames, int rate, float room,
                    float wet);
