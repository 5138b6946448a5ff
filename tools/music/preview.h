// Plays a playlist the way the game schedules it (each segment `lead` frames
// before its beat, beats `advance` apart, tails overlapping) into one buffer,
// so transitions and the summed level can be inspected without the game.
#pragma once

#include <string>
#include <vector>

#include "music/score.h"

struct RenderedSegment {
  int id = 0;
  int lead = 0, advance = 0;
  const float* stereo = nullptr;  // interleaved, `frames` long
  long frames = 0;
};

// Mixes `seconds` of the playlist (looping as the game does) into `out`.
// With a title piece given, it plays first at 0.75 and the first beat comes
// half a second after it ends, as at start-up.
void preview_playlist(const Playlist& list, const std::vector<RenderedSegment>& segments,
                      const RenderedSegment* title, double seconds, int rate,
                      std::vector<float>* out);

int preview_write_wav(const std::string& path, const float* stereo, long frames, int rate);
