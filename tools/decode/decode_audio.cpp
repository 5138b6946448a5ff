// Decodes IN.ogg with the game's Vorbis decoder and writes a 16-bit PCM WAV.
// The output is written only after the whole stream has decoded; on failure
// nothing is written, the decoder's error code name goes to standard error and
// the exit status is 1.
#include "decode_audio.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "decode_file.h"
#include "vorbis/vorbis.h"

static void put_u32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

static void put_u16(uint8_t* p, uint16_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

enum { WAV_HEADER_BYTES = 44 };

// RIFF/WAVE header for 16-bit PCM; the little-endian samples follow it.
static void make_wav_header(uint8_t* h, uint32_t data_bytes, int channels, uint32_t rate) {
  memcpy(h, "RIFF", 4);
  put_u32(h + 4, 36 + data_bytes);
  memcpy(h + 8, "WAVEfmt ", 8);
  put_u32(h + 16, 16);
  put_u16(h + 20, 1);  // PCM
  put_u16(h + 22, (uint16_t)channels);
  put_u32(h + 24, rate);
  put_u32(h + 28, rate * (uint32_t)channels * 2);
  put_u16(h + 32, (uint16_t)(channels * 2));
  put_u16(h + 34, 16);
  memcpy(h + 36, "data", 4);
  put_u32(h + 40, data_bytes);
}

static bool host_is_little_endian(void) {
  const uint16_t one = 1;
  uint8_t first;
  memcpy(&first, &one, 1);
  return first == 1;
}

int decode_audio_main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s audio IN.ogg OUT.wav\n", argv[0]);
    return 1;
  }
  DecodeInput input;
  if (!decode_read_input(argv[2], &input)) return 1;
  int error = VorbisOk;
  VorbisDecoder* d = vorbis_open_from_memory(input.data, (int)input.size, &error, nullptr);
  if (!d) return decode_refused(error != VorbisOk ? vorbis_error_name(error) : nullptr);
  VorbisInfo info = vorbis_get_info(d);
  // Frames decode straight into one buffer sized from the stream's length
  // (read from its last page), so the samples are neither copied nor regrown
  // unless that length was wrong.
  const size_t frame_values = (size_t)info.max_frame_samples * info.channels;
  const size_t limit = 0x7FFFFFF0u / 2;  // values a WAV's 32-bit size can carry
  size_t capacity = (size_t)vorbis_total_samples(d) * info.channels;
  if (capacity > limit) capacity = limit;
  capacity += frame_values;
  int16_t* samples = (int16_t*)malloc((capacity + 1) * sizeof(int16_t));
  size_t used = 0;
  int n = 0;
  bool ok = samples != nullptr;
  while (ok) {
    if (capacity - used < frame_values) {
      capacity *= 2;
      int16_t* grown = (int16_t*)realloc(samples, capacity * sizeof(int16_t));
      ok = grown != nullptr;
      if (!ok) break;
      samples = grown;
    }
    n = vorbis_next_frame_s16_interleaved(d, info.channels, samples + used, (int)frame_values);
    if (n <= 0) break;
    used += (size_t)n * info.channels;
    ok = used <= limit;
  }
  vorbis_close_decoder(d);
  if (!ok) {
    free(samples);
    return decode_refused(vorbis_error_name(VorbisOutOfMemory));
  }
  if (!host_is_little_endian()) {
    for (size_t i = 0; i < used; ++i) {
      uint8_t b[2];
      put_u16(b, (uint16_t)samples[i]);
      memcpy(&samples[i], b, 2);
    }
  }
  uint8_t header[WAV_HEADER_BYTES];
  make_wav_header(header, (uint32_t)(used * 2), info.channels, info.sample_rate);
  int written = decode_write_output(argv[3], header, sizeof header, samples, used * 2);
  free(samples);
  return written ? 0 : 1;
}
