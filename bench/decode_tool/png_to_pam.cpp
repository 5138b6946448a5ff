// The reference side of the PNG comparison: a minimal libpng program that
// decodes IN.png to 8-bit RGBA and writes it as a binary PAM, as
// vantrel-decode does.
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s IN.png OUT.pam\n", argv[0]);
    return 1;
  }
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, argv[1])) {
    fprintf(stderr, "%s\n", image.message);
    return 1;
  }
  image.format = PNG_FORMAT_RGBA;
  size_t bytes = PNG_IMAGE_SIZE(image);
  png_bytep pixels = (png_bytep)malloc(bytes);
  if (!pixels || !png_image_finish_read(&image, nullptr, pixels, 0, nullptr)) {
    fprintf(stderr, "%s\n", pixels ? image.message : "out of memory");
    return 1;
  }
  FILE* f = fopen(argv[2], "wb");
  if (!f) return 1;
  fprintf(f, "P7\nWIDTH %u\nHEIGHT %u\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", image.width, image.height);
  bool ok = fwrite(pixels, 1, bytes, f) == bytes;
  ok = fclose(f) == 0 && ok;
  free(pixels);
  return ok ? 0 : 1;
}
