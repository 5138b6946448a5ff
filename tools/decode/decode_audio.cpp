// Decodes IN.ogg with the game's Vorbis decoder and writes a 16-bit PCM WAV.
// The samples are written as they decode; on failure no file is left, the
// decoder's error code name goes to standard error and the exit status is 1.
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

// Samples go out through a buffer of this many frames that stays in cache,
// so the tool's memory stays small whatever the stream's length.
enum { FRAMES_PER_WRITE = 32 };

// The samples of one write in the file's byte order (little-endian).
static void to_little_endian(int16_t* samples, size_t count) {
  if (host_is_little_endian()) return;
  for (size_t i = 0; i < count; ++i) {
    uint8_t b[2];
    put_u16(b, (uint16_t)samples[i]);
    memcpy(&samples[i], b, 2);
  }
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
  const size_t frame_values = (size_t)info.max_frame_samples * info.channels;
  const size_t limit = 0x7FFFFFF0u / 2;  // values a WAV's 32-bit size can carry
  const size_t capacity = frame_values * FRAMES_PER_WRITE;
  int16_t* samples = (int16_t*)malloc((capacity + 1) * sizeof(int16_t));
  if (!samples) {
    vorbis_close_decoder(d);
    return decode_refused(vorbis_error_name(VorbisOutOfMemory));
  }
  const char* path = argv[3];
  FILE* f = fopen(path, "wb");
  const bool is_file = decode_output_is_file(f);
  // The header carries the length the stream's last page gives, so it can go
  // out first even to a pipe; it is patched at the end only if that was wrong.
  size_t predicted = (size_t)vorbis_total_samples(d) * info.channels;
  if (predicted > limit) predicted = limit;
  uint8_t header[WAV_HEADER_BYTES];
  make_wav_header(header, (uint32_t)(predicted * 2), info.channels, info.sample_rate);
  bool written = f && fwrite(header, 1, sizeof header, f) == sizeof header;
  bool too_long = false;
  size_t total = 0;
  while (written) {
    size_t used = 0;
    int n = 0;
    while (capacity - used >= frame_values) {
      n = vorbis_next_frame_s16_interleaved(d, info.channels, samples + used, (int)frame_values);
      if (n <= 0) break;
      used += (size_t)n * info.channels;
    }
    total += used;
    too_long = total > limit;
    if (too_long) break;
    to_little_endian(samples, used);
    written = used == 0 || fwrite(samples, sizeof(int16_t), used, f) == used;
    if (n <= 0) break;
  }
  vorbis_close_decoder(d);
  free(samples);
  if (written && !too_long && total != predicted) {
    make_wav_header(header, (uint32_t)(total * 2), info.channels, info.sample_rate);
    written = fseek(f, 0, SEEK_SET) == 0 && fwrite(header, 1, sizeof header, f) == sizeof header;
  }
  if (f) written = fclose(f) == 0 && written;
  if (written && !too_long) return 0;
  // Nothing is left behind when the WAV could not be finished.
  if (too_long) {
    if (is_file) remove(path);
    return decode_refused(vorbis_error_name(VorbisOutOfMemory));
  }
  decode_write_failed(path, is_file);
  return 1;
}
