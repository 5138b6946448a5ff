// Ogg Vorbis encoding of finished stereo audio with the reference encoder.
// Only this tool links it; the game decodes with its own decoder.
#pragma once

#include <string>

// Writes `frames` interleaved stereo floats as a VBR Ogg Vorbis file. `label`
// prefixes progress lines. Returns 1 on success; `error_out` says why not.
int encode_ogg(const std::string& path, const float* stereo, long frames, int rate, float quality,
               int serial, const std::string& label, std::string* error_out);
