// Opens and decodes whole Ogg Vorbis streams through every output path: float
// frames, down-mixed stereo, planar mono, the length query and the one-call
// decode. Any out-of-bounds access, undefined behaviour or hang is a finding.
#include <cstdint>
#include <cstdlib>

#include "vorbis/vorbis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  int len = (int)size;
  int error = 0;
  VorbisDecoder* d = vorbis_open_from_memory(data, len, &error, nullptr);
  if (d) {
    VorbisInfo info = vorbis_get_info(d);
    vorbis_total_samples(d);
    static short interleaved[2 * 4096];
    static short mono[4096];
    short* planes[1] = {mono};
    float** out;
    int channels = 0;
    for (int frame = 0;; ++frame) {
      int n = frame % 3 == 0   ? vorbis_next_frame_float(d, &channels, &out)
              : frame % 3 == 1 ? vorbis_next_frame_s16_interleaved(d, 2, interleaved, 2 * 4096)
                               : vorbis_next_frame_s16(d, 1, planes, 4096);
      if (n == 0) break;
      if (n < 0 || n > info.max_frame_samples) abort();
      if (frame % 3 == 0) {
        volatile float sink = out[channels - 1][n - 1];  // the range must be readable
        (void)sink;
      }
    }
    vorbis_close_decoder(d);
  }
  int channels = 0;
  short* all = nullptr;
  int n = vorbis_decode_all_from_memory(data, len, &channels, &all);
  if (n >= 0) free(all);
  return 0;
}
