// Decodes IN with image_load_from_memory (4 components) and writes a binary
// PAM. On failure nothing is written: the reason goes to standard error and
// the exit status is 1.
#include "decode_image.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "image/image.h"

static bool read_file(const char* path, std::vector<uint8_t>* out) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

int decode_image_main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s image IN OUT.pam\n", argv[0]);
    return 1;
  }
  std::vector<uint8_t> input;
  if (!read_file(argv[2], &input)) {
    fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  if (input.size() > 0x7fffffff) {
    fprintf(stderr, "%s is too large\n", argv[2]);
    return 1;
  }
  int32_t w = 0, h = 0, comp = 0;
  uint8_t* pixels = image_load_from_memory(input.data(), (int32_t)input.size(), &w, &h, &comp, 4);
  if (!pixels) {
    fprintf(stderr, "%s\n", image_failure_reason());
    return 1;
  }
  FILE* out = fopen(argv[3], "wb");
  if (!out) {
    fprintf(stderr, "cannot write %s\n", argv[3]);
    free(pixels);
    return 1;
  }
  fprintf(out, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", (int)w, (int)h);
  size_t bytes = (size_t)w * (size_t)h * 4;
  bool ok = fwrite(pixels, 1, bytes, out) == bytes;
  ok = fclose(out) == 0 && ok;
  free(pixels);
  if (!ok) {
    fprintf(stderr, "cannot write %s\n", argv[3]);
    remove(argv[3]);
    return 1;
  }
  return 0;
}
