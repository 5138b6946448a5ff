// Writes the decode tool benchmark's inputs into a folder: a 1920 × 1080 RGB
// PNG, a 1920 × 1080 4:2:0 baseline JPEG (quality 90) and a 190-second stereo
// Ogg Vorbis stream (quality 0.4), all from the reference encoders.
#include <stdio.h>

#include <string>
#include <vector>

#include "jpeg_oracle.h"
#include "png_oracle.h"
#include "reference_codec.h"

static bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 1;
  }
  const std::string dir = argv[1];
  const int width = 1920, height = 1080, rate = 44100, seconds = 190;
  const std::vector<uint8_t> photo = jpeg_oracle_pixels(width, height, 3);
  PngSpec png;
  png.width = width;
  png.height = height;
  png.color_type = 2;
  JpegSpec jpeg;
  jpeg.width = width;
  jpeg.height = height;
  std::vector<float> music = make_test_signal(SignalKind::Mixed, 2, rate, rate * seconds, 4);
  bool ok = write_file(dir + "/photo.png", png_oracle_encode(png, photo)) &&
            write_file(dir + "/photo.jpg", jpeg_oracle_encode(jpeg, photo)) &&
            write_file(dir + "/music.ogg", reference_encode(music, 2, rate, 0.4f));
  if (!ok) fprintf(stderr, "cannot write the inputs in %s\n", dir.c_str());
  return ok ? 0 : 1;
}
