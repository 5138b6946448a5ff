// Ogg Vorbis encoding of finished audio with the reference encoder. Only the
// tools (and the tests, as their control) link it; the game decodes with its
// own decoder.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// Encodes `frames` frames of `channels` interleaved floats as VBR Ogg Vorbis
// into *out. A non-empty `label` names the stream (its TITLE tag) and
// prefixes progress lines on standard output. Returns 1 on success; 0 when
// the encoder refuses the settings.
int encode_ogg_bytes(const float* interleaved, long frames, int channels, int rate, float quality,
                     int serial, const std::string& label, std::vector<uint8_t>* out);

// The same for stereo, written to the file at `path`. Returns 1 on success;
// `error_out` says why not.
int encode_ogg(const std::string& path, const float* stereo, long frames, int rate, float quality,
               int serial, const std::string& label, std::string* error_out);
