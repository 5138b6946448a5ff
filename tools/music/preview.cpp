// The scheduling mirrors the game's music step: a segment's voice starts at
// beat - lead and the next beat is beat + advance; after the last id play
// resumes at the loop index.
#include "music/preview.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

void preview_playlist(const Playlist& list, const std::vector<RenderedSegment>& segments,
                      const RenderedSegment* title, double seconds, int rate,
                      std::vector<float>* out) {
  long frames = (long)(seconds * rate);
  out->assign(2 * frames, 0.0f);
  long beat = 4000;
  if (title) {
    for (long f = 0; f < title->frames && beat + f < frames; f++) {
      (*out)[2 * (beat + f)] += 0.75f * title->stereo[2 * f];
      (*out)[2 * (beat + f) + 1] += 0.75f * title->stereo[2 * f + 1];
    }
    beat += title->frames + 22050;
  }
  size_t pos = 0;
  while (beat < frames && !list.ids.empty()) {
    const RenderedSegment* seg = nullptr;
    for (const RenderedSegment& s : segments)
      if (s.id == list.ids[pos]) seg = &s;
    if (++pos == list.ids.size()) pos = (size_t)list.loop;
    if (!seg) continue;
    long at = beat - seg->lead;
    for (long f = 0; f < seg->frames; f++) {
      long t = at + f;
      if (t < 0) continue;
      if (t >= frames) break;
      (*out)[2 * t] += seg->stereo[2 * f];
      (*out)[2 * t + 1] += seg->stereo[2 * f + 1];
    }
    beat += seg->advance;
  }
}

int preview_write_wav(const std::string& path, const float* stereo, long frames, int rate) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  auto u32 = [f](uint32_t v) {
    unsigned char b[4] = {(unsigned char)v, (unsigned char)(v >> 8), (unsigned char)(v >> 16),
                          (unsigned char)(v >> 24)};
    fwrite(b, 1, 4, f);
  };
  auto u16 = [f](uint16_t v) {
    unsigned char b[2] = {(unsigned char)v, (unsigned char)(v >> 8)};
    fwrite(b, 1, 2, f);
  };
  uint32_t bytes = (uint32_t)frames * 4;
  fwrite("RIFF", 1, 4, f);
  u32(36 + bytes);
  fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(1);
  u16(2);
  u32((uint32_t)rate);
  u32((uint32_t)rate * 4);
  u16(4);
  u16(16);
  fwrite("data", 1, 4, f);
  u32(bytes);
  for (long i = 0; i < 2 * frames; i++) {
    float v = std::clamp(stereo[i], -1.0f, 1.0f);
    u16((uint16_t)(int16_t)std::lrint(v * 32767.0f));
  }
  return fclose(f) == 0;
}
