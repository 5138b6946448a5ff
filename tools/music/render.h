// Turns one segment of the score into finished stereo audio: notes, reverb,
// loudness matched to the score's target, peaks limited to the ceiling, and
// both ends faded so the voice starts and stops without a click.
#pragma once

#include <vector>

#include "music/score.h"

struct RenderStats {
  double loudness = 0.0;      // body loudness after processing (dB)
  double peak_db = 0.0;       // sample peak after processing (dBFS)
  double reduction_db = 0.0;  // deepest limiter gain reduction
  int out_of_key = 0;         // pitched notes outside the segment's key
};

// Body = the frames from the beat to the next beat, which the loudness target
// applies to (the tail mostly sounds under the next segment).
void render_body(const Segment& seg, long* first_out, long* count_out);

// Fills `stereo_out` (interleaved, seg.length frames).
void render_segment(const Score& score, const Segment& seg, std::vector<float>* stereo_out,
                    RenderStats* stats_out);
