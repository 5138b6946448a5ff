// Decodes IN.ogg with the game's Vorbis decoder and writes a 16-bit PCM WAV.
// The output is written only after the whole stream has decoded; on failure
// nothing is written, the decoder's error code name goes to standard error and
// the exit status is 1.
#include "decode_audio.h"

#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "decode_file.h"
#include "vorbis/vorbis.h"

static void put_u32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back((uint8_t)(v >> (8 * i)));
}

static void put_u16(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back((uint8_t)v);
  out->push_back((uint8_t)(v >> 8));
}

// RIFF/WAVE header for 16-bit PCM followed by the little-endian samples.
static std::vector<uint8_t> make_wav(const std::vector<int16_t>& samples, int channels,
                                     uint32_t rate) {
  uint32_t data_bytes = (uint32_t)(samples.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + data_bytes);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  put_u32(&out, 36 + data_bytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put_u32(&out, 16);
  put_u16(&out, 1);  // PCM
  put_u16(&out, (uint16_t)channels);
  put_u32(&out, rate);
  put_u32(&out, rate * (uint32_t)channels * 2);
  put_u16(&out, (uint16_t)(channels * 2));
  put_u16(&out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put_u32(&out, data_bytes);
  for (int16_t s : samples) put_u16(&out, (uint16_t)s);
  return out;
}

int decode_audio_main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s audio IN.ogg OUT.wav\n", argv[0]);
    return 1;
  }
  std::vector<uint8_t> input;
  if (!decode_read_input(argv[2], &input)) return 1;
  int error = VorbisOk;
  VorbisDecoder* d = vorbis_open_from_memory(input.data(), (int)input.size(), &error, nullptr);
  if (!d) {
    fprintf(stderr, "%s\n", vorbis_error_name(error));
    return 1;
  }
  VorbisInfo info = vorbis_get_info(d);
  std::vector<int16_t> samples;
  std::vector<int16_t> frame((size_t)info.max_frame_samples * info.channels);
  int n;
  while ((n = vorbis_next_frame_s16_interleaved(d, info.channels, frame.data(),
                                                (int)frame.size())) > 0) {
    samples.insert(samples.end(), frame.begin(), frame.begin() + (size_t)n * info.channels);
    if (samples.size() > 0x7FFFFFF0u / 2) {
      vorbis_close_decoder(d);
      fprintf(stderr, "%s\n", vorbis_error_name(VorbisOutOfMemory));
      return 1;
    }
  }
  vorbis_close_decoder(d);

  std::vector<uint8_t> wav = make_wav(samples, info.channels, info.sample_rate);
  return decode_write_output(argv[3], wav.data(), wav.size(), nullptr, 0) ? 0 : 1;
}
