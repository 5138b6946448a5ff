// Helpers of the end-to-end sound checks (see e2e_support.h). The output
// offsets come from opening the real output code against the real headless
// backend in this process, so the harness follows the code, not a copy of it.
#include "e2e_support.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>

#include "audio/audio.h"
#include "audio/music.h"
#include "audio/output_internal.h"
#include "common/test_files.h"
#include "platform/platform.h"
#include "vorbis/vorbis.h"

OutputOffsets e2e_output_offsets(void) {
  OutputOffsets o = {-1, -1};
  if (!audio_init(E2E_RING_FRAMES, E2E_LATENCY_SECONDS, E2E_BUFFER_BYTES)) return o;
  int play = 0, write = 0;
  if (platform_sound_cursors(&play, &write)) o.device_lead = (write - play) / 4;
  // What audio_init made of the seconds (single precision: 1322, not 1323).
  o.latency = audio_output.latency_frames;
  audio_shutdown();
  return o;
}

static uint32_t u32_at(const std::vector<uint8_t>& b, size_t i) {
  return b[i] | b[i + 1] << 8 | b[i + 2] << 16 | (uint32_t)b[i + 3] << 24;
}

int e2e_read_wav(const std::string& path, Pcm* out) {
  std::vector<uint8_t> b = test_read_bytes(path);
  if (b.size() < 44 || memcmp(b.data(), "RIFF", 4) != 0 || memcmp(b.data() + 8, "WAVEfmt ", 8) != 0 ||
      memcmp(b.data() + 36, "data", 4) != 0)
    return 0;
  if (b[20] != 1 || b[22] != 2 || u32_at(b, 24) != 44100 || b[34] != 16) return 0;
  uint32_t data_bytes = u32_at(b, 40);
  if (data_bytes != b.size() - 44 || data_bytes % 4) return 0;
  std::vector<uint8_t> data(b.begin() + 44, b.end());
  *out = e2e_raw_stereo(data);
  return 1;
}

Pcm e2e_raw_stereo(const std::vector<uint8_t>& bytes) {
  Pcm p;
  p.channels = 2;
  p.samples.resize(bytes.size() / 4 * 2);
  for (size_t i = 0; i < p.samples.size(); i++)
    p.samples[i] = (int16_t)(bytes[2 * i] | bytes[2 * i + 1] << 8);
  return p;
}

int e2e_decode_ogg(const std::vector<uint8_t>& ogg, Pcm* out) {
  int channels = 0;
  short* pcm = nullptr;
  int frames = vorbis_decode_all_from_memory(ogg.data(), (int)ogg.size(), &channels, &pcm);
  if (frames <= 0 || !pcm) {
    free(pcm);
    return 0;
  }
  out->channels = channels;
  out->samples.assign(pcm, pcm + (size_t)frames * channels);
  free(pcm);
  return 1;
}

std::vector<int16_t> e2e_mix(const std::vector<Placement>& voices, long frames) {
  std::vector<float> sum((size_t)frames * 2, 0.0f);
  for (const Placement& v : voices) {
    for (long i = 0; i < v.count; i++) {
      long t = v.at + i;
      if (t < 0 || t >= frames) continue;
      sum[2 * t] += (float)v.source->left(v.first + i) * v.gain;
      sum[2 * t + 1] += (float)v.source->right(v.first + i) * v.gain;
    }
  }
  std::vector<int16_t> out(sum.size());
  for (size_t i = 0; i < sum.size(); i++) {
    float r = nearbyintf(sum[i]);
    out[i] = (int16_t)(r > 32767.0f ? 32767 : r < -32768.0f ? -32768 : r);
  }
  return out;
}

long e2e_first_mismatch(const Pcm& a, const std::vector<int16_t>& expected, long from, long to,
                        int tolerance) {
  for (long t = from; t < to; t++)
    for (int c = 0; c < 2; c++)
      if (abs(a.samples[2 * t + c] - expected[2 * t + c]) > tolerance) return t;
  return -1;
}

long e2e_locate(const Pcm& capture, const std::vector<int16_t>& background, const Pcm& source,
                long first, long count, float gain, long low, long high) {
  if (low < 0) low = 0;
  if (high > capture.frames() - count) high = capture.frames() - count;
  std::vector<float> window((size_t)count * 2);
  for (long i = 0; i < count; i++) {
    window[2 * i] = (float)source.left(first + i) * gain;
    window[2 * i + 1] = (float)source.right(first + i) * gain;
  }
  double best = INFINITY;
  long best_lag = -1;
  for (long lag = low; lag <= high; lag++) {
    double error = 0;
    for (long i = 0; i < 2 * count && error < best; i++) {
      float c = capture.samples[2 * lag + i];
      if (!background.empty()) c -= background[2 * lag + i];
      error += fabs(c - window[i]);
    }
    if (error < best) {
      best = error;
      best_lag = lag;
    }
  }
  return best_lag;
}

std::vector<Segment> e2e_parse_table(const std::vector<uint8_t>& text) {
  std::vector<Segment> rows;
  std::string s(text.begin(), text.end());
  std::stringstream lines(s);
  std::string line;
  while (std::getline(lines, line)) {
    Segment row;
    if (sscanf(line.c_str(), "%d %d %d %d %d", &row.id, &row.start, &row.length, &row.lead,
               &row.advance) == 5)
      rows.push_back(row);
  }
  return rows;
}

std::vector<Scheduled> e2e_title_schedule(const std::vector<Segment>& table, long first_beat,
                                          long until) {
  std::vector<Scheduled> out;
  long beat = first_beat;
  int pos = 0;
  for (int guard = 0; beat <= until && guard < 100000; guard++) {
    int id = playlist_title[pos];
    pos = (pos + 1) % PLAYLIST_TITLE_COUNT;  // the title playlist loops to 0
    for (const Segment& row : table) {
      if (row.id != id) continue;
      out.push_back({row, beat});
      beat += row.advance;
      break;
    }
  }
  return out;
}
