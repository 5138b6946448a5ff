// Test-only Ogg Vorbis encoding through the reference encoder, so the music
// tests can feed the game's own decoder a real stream of known content.
#pragma once

#include <stdint.h>

#include <vector>

// Encodes interleaved 16-bit frames at 44100 Hz; empty on failure.
std::vector<uint8_t> ogg_encode(const std::vector<int16_t>& interleaved, int channels,
                                float quality = 0.3f);
