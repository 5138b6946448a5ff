// Reference encode (the music tool's libvorbisenc encoder) and decode
// (libvorbisfile), plus the synthetic signals the oracle tests, fuzz seeds
// and benchmark encode.
#include "reference_codec.h"

#include "music/encode.h"

#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstring>

namespace {

struct Lcg {
  uint32_t state;
  float next_unit() {  // [-1, 1)
    return (float)(((state = state * 1664525u + 1013904223u) >> 8) & 0xFFFFFF) / 8388608.0f - 1.0f;
  }
};

struct MemoryFile {
  const std::vector<uint8_t>* data;
  size_t pos;
};

size_t memory_read(void* ptr, size_t size, size_t count, void* source) {
  MemoryFile* f = (MemoryFile*)source;
  size_t want = size * count, left = f->data->size() - f->pos;
  if (want > left) want = left;
  memcpy(ptr, f->data->data() + f->pos, want);
  f->pos += want;
  return size ? want / size : 0;
}

int memory_seek(void* source, ogg_int64_t offset, int whence) {
  MemoryFile* f = (MemoryFile*)source;
  ogg_int64_t size = (ogg_int64_t)f->data->size();
  ogg_int64_t target = offset + (whence == SEEK_SET ? 0 : whence == SEEK_CUR ? (ogg_int64_t)f->pos : size);
  if (target < 0 || target > size) return -1;
  f->pos = (size_t)target;
  return 0;
}

long memory_tell(void* source) { return (long)((MemoryFile*)source)->pos; }

}  // namespace

std::vector<float> make_test_signal(SignalKind kind, int channels, int rate, int frames,
                                    uint32_t seed) {
  std::vector<float> out((size_t)frames * channels);
  Lcg rng{seed * 2654435761u + 12345u};
  const double two_pi = 6.283185307179586;
  for (int c = 0; c < channels; ++c) {
    double f1 = 110.0 * (1 + c) * (1 + (seed % 5) * 0.13), f2 = 1234.5 + 321.0 * c;
    for (int i = 0; i < frames; ++i) {
      double t = (double)i / rate;
      double v;
      if (kind == SignalKind::Tones) {
        v = 0.4 * sin(two_pi * f1 * t) + 0.2 * sin(two_pi * f2 * t + c);
      } else if (kind == SignalKind::Chirp) {
        v = 0.6 * sin(two_pi * (50.0 + 4000.0 * t / 2.0) * t * (1 + 0.1 * c));
      } else if (kind == SignalKind::Noise) {
        v = 0.3 * rng.next_unit();
      } else if (kind == SignalKind::Clicks) {  // sharp attacks make the encoder switch to short blocks
        int period = rate / 7 + 97 * c, phase = i % period;
        v = phase < 64 ? 0.9 * (1.0 - phase / 64.0) * (phase & 1 ? 1 : -1) : 0.02 * sin(two_pi * f1 * t);
      } else {
        double env = (i / (rate / 3)) % 3 == 2 ? 0.0 : 1.0;  // stretches of silence
        v = env * (0.3 * sin(two_pi * f1 * t) + 0.15 * rng.next_unit());
        if (i % (rate / 2) == rate / 4) v += 0.8;
      }
      out[(size_t)i * channels + c] = (float)v;
    }
  }
  return out;
}

std::vector<uint8_t> reference_encode(const std::vector<float>& interleaved, int channels,
                                      int rate, float quality) {
  std::vector<uint8_t> out;
  encode_ogg_bytes(interleaved.data(), (long)(interleaved.size() / channels), channels, rate, quality,
                   0x5EED, "", &out);
  return out;
}

ReferenceDecoded reference_decode(const std::vector<uint8_t>& ogg) {
  ReferenceDecoded out;
  MemoryFile file{&ogg, 0};
  ov_callbacks callbacks{memory_read, memory_seek, nullptr, memory_tell};
  OggVorbis_File vf;
  if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0) return out;
  vorbis_info* vi = ov_info(&vf, -1);
  out.channels = vi->channels;
  out.rate = (int)vi->rate;
  int16_t buffer[4096];
  int section = 0;
  for (;;) {
    long got = ov_read(&vf, (char*)buffer, sizeof buffer, 0, 2, 1, &section);
    if (got == OV_HOLE) continue;
    if (got <= 0) {
      out.ok = got == 0;
      break;
    }
    out.samples.insert(out.samples.end(), buffer, buffer + got / 2);
  }
  ov_clear(&vf);
  return out;
}
