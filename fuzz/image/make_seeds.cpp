// Writes the seed corpora for image_fuzz and inflate_fuzz: small PNG and JPEG
// files from the reference encoders in every layout, hand-made BMP and TGA
// variants, and zlib streams of each block type.
#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "jpeg_oracle.h"
#include "png_oracle.h"

static void write(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = dir + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

static void le16(std::vector<uint8_t>& v, int x) {
  v.push_back((uint8_t)x);
  v.push_back((uint8_t)(x >> 8));
}

static void le32(std::vector<uint8_t>& v, uint32_t x) {
  le16(v, (int)(x & 0xffff));
  le16(v, (int)(x >> 16));
}

static std::vector<uint8_t> bmp(int bpp, int header, uint32_t compression, int w, int h) {
  std::vector<uint8_t> v = {'B', 'M'};
  int palette = bpp <= 8 ? (1 << bpp) * 4 : 0;
  int masks = compression == 3 && header == 40 ? 12 : 0;
  le32(v, 0);
  le32(v, 0);
  le32(v, (uint32_t)(14 + header + masks + palette));
  le32(v, (uint32_t)header);
  le32(v, (uint32_t)w);
  le32(v, (uint32_t)h);
  le16(v, 1);
  le16(v, bpp);
  le32(v, compression);
  for (int i = 0; i < 5; ++i) le32(v, 0);
  if (header == 108) {
    le32(v, 0xff0000);
    le32(v, 0xff00);
    le32(v, 0xff);
    le32(v, 0xff000000u);
    for (int i = 0; i < 13; ++i) le32(v, 0);
  }
  if (masks) {
    le32(v, 0xf800);
    le32(v, 0x07e0);
    le32(v, 0x001f);
  }
  for (int i = 0; i < palette; ++i) v.push_back((uint8_t)(i * 7));
  int row = ((w * bpp + 31) / 32) * 4;
  for (int i = 0; i < row * (h < 0 ? -h : h); ++i) v.push_back((uint8_t)(i * 13));
  return v;
}

static std::vector<uint8_t> tga(int map_type, int type, int bpp, int w, int h, int desc) {
  std::vector<uint8_t> v = {0, (uint8_t)map_type, (uint8_t)type};
  le16(v, 0);
  le16(v, map_type ? 4 : 0);
  v.push_back(map_type ? 24 : 0);
  le16(v, 0);
  le16(v, 0);
  le16(v, w);
  le16(v, h);
  v.push_back((uint8_t)bpp);
  v.push_back((uint8_t)desc);
  if (map_type)
    for (int i = 0; i < 12; ++i) v.push_back((uint8_t)(i * 20));
  int bytes = map_type ? 1 : bpp / 8;
  for (int i = 0; i < w * h; ++i) {
    if (type >= 9) v.push_back(i % 3 ? 0x00 : 0x81);
    for (int k = 0; k < bytes; ++k) v.push_back((uint8_t)(i * 5 + k));
  }
  return v;
}

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  const std::string images = argv[1], streams = argv[2];
  int n = 0;
  for (int type : {0, 2, 3, 4, 6}) {
    for (int trns = 0; trns < 2; ++trns) {
      if (trns && (type == 4 || type == 6)) continue;
      PngSpec spec;
      spec.width = 13;
      spec.height = 7;
      spec.color_type = type;
      spec.trns = trns != 0;
      write(images, "png" + std::to_string(n++) + ".png", png_oracle_encode(spec, png_oracle_pixels(spec)));
    }
  }
  const int layouts[][6] = {{1, 1, 1, 1, 1, 1}, {2, 1, 1, 1, 1, 1}, {1, 1, 1, 2, 1, 1}, {2, 1, 1, 2, 1, 1},
                            {4, 2, 2, 1, 1, 1}};
  for (const auto& l : layouts) {
    JpegSpec spec;
    spec.width = 19;
    spec.height = 11;
    for (int i = 0; i < 3; ++i) {
      spec.h[i] = l[i];
      spec.v[i] = l[3 + i];
    }
    spec.restart_mcus = n % 2;
    write(images, "jpeg" + std::to_string(n++) + ".jpg", jpeg_oracle_encode(spec, jpeg_oracle_pixels(19, 11, 3)));
  }
  JpegSpec grey;
  grey.grey = true;
  grey.h[0] = grey.v[0] = 1;
  write(images, "grey.jpg", jpeg_oracle_encode(grey, jpeg_oracle_pixels(16, 16, 1)));
  write(images, "bmp4.bmp", bmp(4, 40, 0, 5, 3));
  write(images, "bmp8.bmp", bmp(8, 40, 0, 5, -3));
  write(images, "bmp16.bmp", bmp(16, 40, 0, 5, 3));
  write(images, "bmp565.bmp", bmp(16, 40, 3, 5, 3));
  write(images, "bmp24.bmp", bmp(24, 40, 0, 5, 3));
  write(images, "bmp32.bmp", bmp(32, 108, 3, 5, 3));
  write(images, "tga2.tga", tga(0, 2, 24, 4, 3, 0));
  write(images, "tga10.tga", tga(0, 10, 32, 4, 3, 32));
  write(images, "tga3.tga", tga(0, 3, 8, 4, 3, 0));
  write(images, "tga11.tga", tga(0, 11, 16, 4, 3, 32));
  write(images, "tga1.tga", tga(1, 1, 8, 4, 3, 0));
  write(images, "tga9.tga", tga(1, 9, 8, 4, 3, 32));

  std::vector<uint8_t> text;
  for (int i = 0; i < 3000; ++i) text.push_back((uint8_t)("vantrel noise room "[i % 19] + (i % 97 == 0)));
  for (int level : {0, 1, 6, 9}) {
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY}) {
      uLongf len = compressBound(text.size());
      std::vector<uint8_t> out(len);
      z_stream z;
      memset(&z, 0, sizeof z);
      deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy);
      z.next_in = text.data();
      z.avail_in = (uInt)text.size();
      z.next_out = out.data();
      z.avail_out = (uInt)out.size();
      deflate(&z, Z_FINISH);
      out.resize(z.total_out);
      deflateEnd(&z);
      write(streams, "z" + std::to_string(level) + "_" + std::to_string(strategy) + ".z", out);
    }
  }
  return 0;
}
