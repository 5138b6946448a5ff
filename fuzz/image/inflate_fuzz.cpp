// Fuzzes the zlib decompressor on its own, where every input byte reaches it.
#include <stdint.h>
#include <stdlib.h>

#include "image/inflate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7fffffff) return 0;
  int32_t len = 0;
  const char* reason = nullptr;
  uint8_t* out = zlib_decode_to_new_buffer(data, (int32_t)size, &len, &reason);
  if (out && len > 0) {
    volatile uint8_t last = out[len - 1];
    (void)last;
  }
  free(out);
  return 0;
}
