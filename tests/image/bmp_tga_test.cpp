// BMP and TGA files built byte by byte for the main variants the decoders read,
// plus each refusal and the bounds they must keep on hostile headers.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

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
    Decoded d;
    decode(c.file.v, c.req, &d);
    ASSERT_NE(d.pixels, nullptr) << c.what << ": " << image_failure_reason();
    EXPECT_EQ(d.comp, c.comp) << c.what;
    EXPECT_EQ(std::vector<uint8_t>(d.pixels, d.pixels + c.want.size()), c.want) << c.what;
  }
}

TEST(BmpDecode, Refusals) {
  EXPECT_EQ(refusal(bmp_header(40, 1, 1, 1, 0, 0, 8).v), "monochrome");
  EXPECT_EQ(refusal(bmp_header(40, 1, 1, 8, 1, 0, 8).v), "BMP RLE");
  EXPECT_EQ(refusal(bmp_header(40, 1, 1, 4, 2, 0, 8).v), "BMP RLE");
  Bytes planes = bmp_header(40, 1, 1, 24, 0, 0, 0);
  planes.v[26] = 2;
  EXPECT_EQ(refusal(planes.v), "bad BMP");
  EXPECT_EQ(refusal(bmp_header(40, 1, 1, 16, 5, 0, 0).v), "bad BMP");
  Bytes equal = bmp_header(40, 1, 1, 16, 3, 12, 0);
  equal.u32(0xff).u32(0xff).u32(0xff).u16(0);
  EXPECT_EQ(refusal(equal.v), "bad BMP");
  EXPECT_EQ(refusal(bmp_header(40, 1, 1, 8, 0, 0, 0).v), "invalid");           // no palette
  EXPECT_EQ(refusal(bmp_header(40, 1, 1, 8, 0, 0, 257 * 4).v), "invalid");     // too many entries
  EXPECT_EQ(refusal(bmp_header(40, 1, 1, 2, 0, 0, 16).v), "bad bpp");
  Bytes masks = bmp_header(108, 1, 1, 16, 3, 0, 0);
  for (int i = 0; i < 17; ++i) masks.u32(0);
  EXPECT_EQ(refusal(masks.v), "bad masks");
  // Header sizes other than 12, 40, 56 and 108 are not BMP to the dispatcher.
  Bytes other = bmp_header(40, 1, 1, 24, 0, 0, 0);
  other.v[14] = 64;
  EXPECT_EQ(refusal(other.v), "unknown image type");
}

TEST(BmpDecode, HugeDimensionsAreRefusedBeforeAllocating) {
  // Regression: width × height × components must be checked for overflow.
  EXPECT_EQ(refusal(bmp_header(40, 0x7fffffff, 0x7fffffff, 24, 0, 0, 0).v), "too large");
  EXPECT_EQ(refusal(bmp_header(40, 65536, 65536, 32, 0, 0, 0).v), "too large");
  EXPECT_EQ(refusal(bmp_header(40, 1, (int32_t)0x80000000, 24, 0, 0, 0).v), "too large");
  EXPECT_EQ(refusal(bmp_header(40, 0, 5, 24, 0, 0, 0).v), "bad BMP");
}

Bytes tga_header(int map_type, int type, int map_len, int map_bits, int w, int h, int bpp, int desc) {
  Bytes b;
  b.u8(0).u8(map_type).u8(type).u16(0).u16(map_len).u8(map_bits).u16(0).u16(0).u16(w).u16(h).u8(bpp).u8(desc);
  return b;
}

TEST(TgaDecode, RunLengthPacketsRepeatOnePixel) {
  Bytes b = tga_header(0, 10, 0, 0, 5, 1, 24, 32);
  b.raw({0x83, 1, 2, 3});     // repeat packet: four copies
  b.raw({0x00, 4, 5, 6});     // raw packet: one pixel
  Decoded d;
  decode(b.v, 3, &d);
  ASSERT_NE(d.pixels, nullptr);
  const uint8_t want[] = {3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1, 6, 5, 4};
  EXPECT_EQ(0, memcmp(d.pixels, want, sizeof want));
}

TEST(TgaDecode, PaletteAndHeadersStayInBounds) {
  // Regression: a colour map longer than the file must not be read past the input.
  Bytes b = tga_header(1, 1, 60000, 32, 2, 2, 8, 0);
  b.raw({0, 0, 0, 0});
  Decoded d;
  decode(b.v, 4, &d);
  EXPECT_EQ(d.pixels, nullptr);
  EXPECT_EQ(d.w, 2);  // TGA hands out its header once accepted
  // An empty colour map: every index falls back to a zero entry 0.
  Bytes e = tga_header(1, 1, 0, 24, 2, 1, 8, 32);
  e.raw({3, 9});
  Decoded z;
  decode(e.v, 3, &z);
  ASSERT_NE(z.pixels, nullptr);
  const uint8_t zeros[6] = {0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, memcmp(z.pixels, zeros, 6));
  // Colour-map entry sizes that are not whole components are refused.
  Bytes odd = tga_header(1, 1, 2, 15, 1, 1, 8, 32);
  odd.raw({1, 2, 3, 4, 0});
  Decoded o;
  decode(odd.v, 4, &o);
  EXPECT_EQ(o.pixels, nullptr);
  // Headers the test refuses are "unknown image type".
  EXPECT_EQ(refusal(tga_header(0, 2, 0, 0, 0, 1, 24, 0).v), "unknown image type");
  EXPECT_EQ(refusal(tga_header(0, 4, 0, 0, 1, 1, 24, 0).v), "unknown image type");
  EXPECT_EQ(refusal(tga_header(0, 2, 0, 0, 1, 1, 12, 0).v), "unknown image type");
  EXPECT_EQ(refusal(tga_header(2, 2, 0, 0, 1, 1, 24, 0).v), "unknown image type");
}

}  // namespace
