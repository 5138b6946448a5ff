// Fuzzes the whole image entry point: content dispatch and every decoder.
// A cap on width × height keeps legal-but-huge headers over a few bytes of
// data from spending the fuzzer's time and memory on zero-filled pixels.
#include <stdint.h>
#include <stdlib.h>

#include "image/image.h"
#include "image/image_internal.h"

enum : uint64_t { FUZZ_MAX_PIXELS = 1u << 18 };

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7fffffff) return 0;
  int32_t w, h, comp;
  // The game's request (4 components), then the file's own layout.
  const int requests[2] = {4, 0};
  for (int req : requests) {
    uint8_t* pixels = image_load_limited(data, (int32_t)size, &w, &h, &comp, req, FUZZ_MAX_PIXELS);
    if (pixels) {
      // Touch the last byte so a short allocation shows up under ASan.
      int n = req ? req : comp;
      volatile uint8_t last = pixels[(size_t)w * h * n - 1];
      (void)last;
      free(pixels);
    }
  }
  return 0;
}
