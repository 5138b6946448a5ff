// Decodes IN with image_load_from_memory (4 components) and writes a binary
// PAM. On failure nothing is written: the reason (or that the decoder gave
// none) goes to standard error and the exit status is 1.
#include "decode_image.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "decode_file.h"
#include "image/image.h"

int decode_image_main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s image IN OUT.pam\n", argv[0]);
    return 1;
  }
  DecodeInput input;
  if (!decode_read_input(argv[2], &input)) return 1;
  int32_t w = 0, h = 0, comp = 0;
  uint8_t* pixels = image_load_from_memory(input.data, (int32_t)input.size, &w, &h, &comp, 4);
  if (!pixels) return decode_refused(image_failure_reason());
  char header[128];
  int header_bytes = snprintf(header, sizeof header,
                              "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                              (int)w, (int)h);
  int ok = decode_write_output(argv[3], header, (size_t)header_bytes, pixels, (size_t)w * (size_t)h * 4);
  free(pixels);
  return ok ? 0 : 1;
}
