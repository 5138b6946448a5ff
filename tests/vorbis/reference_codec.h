// Test-side helpers around the reference codec (libvorbisenc/libvorbisfile):
// encode synthetic signals into Ogg Vorbis in memory and decode them as the
// control that our decoder is compared with. Shared by tests, fuzz seeds and
// the benchmark; never linked into the game.
#pragma once

#include <cstdint>
#include <vector>

enum class SignalKind { Tones, Chirp, Noise, Clicks, Mixed };

// Deterministic test signal, interleaved floats in [-1, 1].
std::vector<float> make_test_signal(SignalKind kind, int channels, int rate, int frames,
                                    uint32_t seed);

// Encodes interleaved floats at VBR `quality` (-0.1 .. 1.0). Empty on failure.
std::vector<uint8_t> reference_encode(const std::vector<float>& interleaved, int channels,
                                      int rate, float quality);

struct ReferenceDecoded {
  bool ok = false;
  int channels = 0;
  int rate = 0;
  std::vector<int16_t> samples;  // interleaved
};

// Whole-stream decode through libvorbisfile (16-bit, little-endian, signed).
ReferenceDecoded reference_decode(const std::vector<uint8_t>& ogg);
