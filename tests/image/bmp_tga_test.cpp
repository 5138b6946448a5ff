// BMP and TGA files built byte by byte for the main variants the decoders read,
// plus each refusal and the bounds they must keep on hostile headers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoded.h"
#include "image/image.h"

namespace {

std::string refusal(const std::vector<uint8_t>& file, int req = 4) { return decode_refusal(file, req); }

struct Bytes {
  std::vector<uint8_t> v;
  Bytes& u8(int x) {
    v.push_back((uint8_t)x);
    return *this;
  }
  Bytes& u16(int x) { return u8(x & 255).u8((x >> 8) & 255); }
  Bytes& u32(uint32_t x) { return u16((int)(x & 0xffff)).u16((int)(x >> 16)); }
  Bytes& raw(std::initializer_list<int> xs) {
    for (int x : xs) u8(x);
    return *this;
  }
};

// File header + 40/56/108-byte info header; the data offset covers the
// header, extra bytes (masks) and the palette.
Bytes bmp_header(int header_size, int32_t w, int32_t h, int bpp, uint32_t compression, int extra, int palette_bytes) {
  Bytes b;
  uint32_t offset = 14 + (uint32_t)header_size + (uint32_t)extra + (uint32_t)palette_bytes;
  b.u8('B').u8('M').u32(0).u16(0).u16(0).u32(offset).u32((uint32_t)header_size);
  if (header_size == 12) {
    b.u16(w).u16(h).u16(1).u16(bpp);
    return b;
  }
  b.u32((uint32_t)w).u32((uint32_t)h).u16(1).u16(bpp).u32(compression).u32(0).u32(0).u32(0).u32(0).u32(0);
  return b;
}

Bytes with(Bytes b, std::initializer_list<int> data) { return b.raw(data); }

TEST(BmpDecode, LayoutsDecodeToTheirPixels) {
  Bytes masks = bmp_header(108, 2, -2, 32, 3, 0, 0);
  masks.u32(0x00ff0000).u32(0x0000ff00).u32(0x000000ff).u32(0xff000000).u32(0);
  for (int i = 0; i < 12; ++i) masks.u32(0);
  const struct {
    const char* what;
    Bytes file;
    int req, comp;
    std::vector<uint8_t> want;
  } cases[] = {
      // Width 3: 9 bytes per row, padded to 12; the first stored row is the bottom.
      {"24-bit bottom-up", with(bmp_header(40, 3, 2, 24, 0, 0, 0),
                                {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0}),
       3, 3, {12, 11, 10, 15, 14, 13, 18, 17, 16, 3, 2, 1, 6, 5, 4, 9, 8, 7}},
      {"32-bit with an alpha mask, top-down", with(masks, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
       0, 4, {3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13, 16}},
      // Without masks 32-bit means X8R8G8B8 and no alpha.
      {"32-bit without masks", with(bmp_header(40, 1, 1, 32, 0, 0, 0), {1, 2, 3, 99}), 0, 3, {3, 2, 1}},
      // Two entries, top-down; index 7 has no entry: opaque black.
      {"8-bit palette", with(bmp_header(40, 3, -2, 8, 0, 0, 8), {10, 20, 30, 0, 40, 50, 60, 0, 0, 1, 7, 0, 1, 1, 0, 0}),
       4, 4, {30, 20, 10, 255, 60, 50, 40, 255, 0, 0, 0, 255, 60, 50, 40, 255, 60, 50, 40, 255, 30, 20, 10, 255}},
      // Odd width 3, bottom-up, high nibble first: bottom 0 1 0, top 1 1 1.
      {"4-bit palette", with(bmp_header(40, 3, 2, 4, 0, 0, 8), {10, 20, 30, 0, 40, 50, 60, 0, 0x01, 0x00, 0, 0, 0x11, 0x10, 0, 0}),
       3, 3, {60, 50, 40, 60, 50, 40, 60, 50, 40, 30, 20, 10, 60, 50, 40, 30, 20, 10}},
      {"core header, 3-byte palette entries", with(bmp_header(12, 1, 1, 8, 0, 0, 6), {1, 2, 3, 4, 5, 6, 1, 0, 0, 0}),
       3, 3, {6, 5, 4}},
  };
  for (const auto& c : cases) {
    int comp = 0;
    EXPECT_EQ(decode_bytes(c.file.v, c.req, &comp), c.want) << c.what << ": " << image_failure_reason();
    EXPECT_EQ(comp, c.comp) << c.what;
  }
}

Bytes tga_header(int map_type, int type, int map_len, int map_bits, int w, int h, int bpp, int desc) {
  Bytes b;
  b.u8(0).u8(map_type).u8(type).u16(0).u16(map_len).u8(map_bits).u16(0).u16(0).u16(w).u16(h).u8(bpp).u8(desc);
  return b;
}

TEST(TgaDecode, RunLengthPacketsAndAnEmptyColourMap) {
  // A repeat packet of four copies, then a raw packet of one pixel.
  EXPECT_EQ(decode_bytes(with(tga_header(0, 10, 0, 0, 5, 1, 24, 32), {0x83, 1, 2, 3, 0x00, 4, 5, 6}).v, 3),
            std::vector<uint8_t>({3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1, 6, 5, 4}));
  // An empty colour map: every index falls back to a zero entry.
  EXPECT_EQ(decode_bytes(with(tga_header(1, 1, 0, 24, 2, 1, 8, 32), {3, 9}).v, 3), std::vector<uint8_t>(6, 0));
  // Regression: a colour map longer than the file must not be read past the input.
  Decoded d;
  decode(with(tga_header(1, 1, 60000, 32, 2, 2, 8, 0), {0, 0, 0, 0}).v, 4, &d);
  EXPECT_EQ(d.pixels, nullptr);
  EXPECT_EQ(d.w, 2);  // TGA hands out its header once accepted
  // Colour-map entry sizes that are not whole components are refused.
  EXPECT_TRUE(decode_bytes(with(tga_header(1, 1, 2, 15, 1, 1, 8, 32), {1, 2, 3, 4, 0}).v, 4).empty());
}

TEST(BmpTgaDecode, EachFaultIsRefusedByName) {
  Bytes planes = bmp_header(40, 1, 1, 24, 0, 0, 0);
  planes.v[26] = 2;
  Bytes equal = bmp_header(40, 1, 1, 16, 3, 12, 0);
  equal.u32(0xff).u32(0xff).u32(0xff).u16(0);
  Bytes masks = bmp_header(108, 1, 1, 16, 3, 0, 0);
  for (int i = 0; i < 17; ++i) masks.u32(0);
  // Header sizes other than 12, 40, 56 and 108 are not BMP to the dispatcher.
  Bytes other = bmp_header(40, 1, 1, 24, 0, 0, 0);
  other.v[14] = 64;
  const struct {
    Bytes file;
    const char* reason;
  } cases[] = {
      {bmp_header(40, 1, 1, 1, 0, 0, 8), "monochrome"},
      {bmp_header(40, 1, 1, 8, 1, 0, 8), "BMP RLE"},
      {bmp_header(40, 1, 1, 4, 2, 0, 8), "BMP RLE"},
      {planes, "bad BMP"},
      {bmp_header(40, 1, 1, 16, 5, 0, 0), "bad BMP"},
      {equal, "bad BMP"},
      {bmp_header(40, 1, 1, 8, 0, 0, 0), "invalid"},        // no palette
      {bmp_header(40, 1, 1, 8, 0, 0, 257 * 4), "invalid"},  // too many entries
      {bmp_header(40, 1, 1, 2, 0, 0, 16), "bad bpp"},
      {masks, "bad masks"},
      {other, "unknown image type"},
      // Regression: width × height × components must be checked for overflow
      // before allocating.
      {bmp_header(40, 0x7fffffff, 0x7fffffff, 24, 0, 0, 0), "too large"},
      {bmp_header(40, 65536, 65536, 32, 0, 0, 0), "too large"},
      {bmp_header(40, 1, (int32_t)0x80000000, 24, 0, 0, 0), "too large"},
      {bmp_header(40, 0, 5, 24, 0, 0, 0), "bad BMP"},
      // Headers the TGA test refuses are "unknown image type".
      {tga_header(0, 2, 0, 0, 0, 1, 24, 0), "unknown image type"},
      {tga_header(0, 4, 0, 0, 1, 1, 24, 0), "unknown image type"},
      {tga_header(0, 2, 0, 0, 1, 1, 12, 0), "unknown image type"},
      {tga_header(2, 2, 0, 0, 1, 1, 24, 0), "unknown image type"},
  };
  for (const auto& c : cases) EXPECT_EQ(refusal(c.file.v), c.reason) << &c - cases;
}

}  // namespace
