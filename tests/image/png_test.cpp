// PNG decoding checked against libpng on generated images (every colour type,
// filter and size class), and hand-built files for each refusal and each edge
// the decoder has to get right.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "decoded.h"
#include "image/image.h"
#include "png_builder.h"
#include "png_oracle.h"

namespace {

std::string refusal(const std::vector<uint8_t>& file, int req = 4) { return decode_refusal(file, req); }

void expect_matches_libpng(const PngSpec& spec, int req) {
  std::vector<uint8_t> file = png_oracle_encode(spec, png_oracle_pixels(spec));
  ASSERT_FALSE(file.empty());
  std::vector<uint8_t> want;
  int w, h, fc;
  ASSERT_TRUE(png_oracle_decode(file, req, &want, &w, &h, &fc));
  ASSERT_TRUE(!req || want.size() == (size_t)w * h * req) << want.size();
  // With req 0 a key colour still adds an alpha channel the reported
  // components do not count, so compare libpng's whole output.
  Decoded d;
  decode(file, req, &d);
  ASSERT_NE(d.pixels, nullptr) << image_failure_reason();
  EXPECT_TRUE(d.w == spec.width && d.h == spec.height && d.comp == fc) << d.w << "x" << d.h << " comp " << d.comp;
  EXPECT_EQ(0, memcmp(d.pixels, want.data(), want.size()))
      << "type " << spec.color_type << " trns " << spec.trns << " " << spec.width << "x" << spec.height
      << " filter " << spec.filter << " level " << spec.zlib_level << " req " << req;
}

TEST(PngOracle, EveryColourTypeFilterAndSizeMatchesLibpng) {
  const int sizes[][2] = {{1, 1}, {1, 37}, {41, 1}, {13, 7}, {33, 17}, {2, 2}, {127, 9}};
  for (int type : {0, 2, 3, 4, 6}) {
    for (int trns = 0; trns < 2; ++trns) {
      if (trns && (type == 4 || type == 6)) continue;  // tRNS is not allowed with alpha
      for (const auto& size : sizes) {
        for (int filter = -1; filter <= 4; ++filter) {
          PngSpec spec{.width = size[0], .height = size[1], .color_type = type, .filter = filter, .trns = trns != 0};
          expect_matches_libpng(spec, 4);
          expect_matches_libpng(spec, 0);
          if (type != 4 && type != 6) expect_matches_libpng(spec, 3);
        }
      }
    }
  }
  // A full 256-entry palette, every entry with an alpha.
  PngSpec full{.width = 99, .height = 45, .color_type = 3, .trns = true, .palette_size = 256,
               .trns_entries = 256};
  expect_matches_libpng(full, 4);
  expect_matches_libpng(full, 3);
}

TEST(PngDecode, TransparencyKeysAndShortPaletteAlpha) {
  // Grey key 9: that pixel gets alpha 0, the other 255.
  auto grey = PngBuilder().ihdr(2, 1, 8, 0).chunk("tRNS", {0, 9}).idat({0, 9, 10}).iend().bytes;
  EXPECT_EQ(decode_bytes(grey, 4), std::vector<uint8_t>({9, 9, 9, 0, 10, 10, 10, 255}));
  // tRNS shorter than the palette: only the first entries lose opacity.
  auto pal = PngBuilder().ihdr(3, 1, 8, 3).chunk("PLTE", {1, 2, 3, 4, 5, 6, 7, 8, 9}).chunk("tRNS", {100});
  int comp = 0;
  EXPECT_EQ(decode_bytes(pal.idat({0, 0, 1, 2}).iend().bytes, 4, &comp),
            std::vector<uint8_t>({1, 2, 3, 100, 4, 5, 6, 255, 7, 8, 9, 255}));
  EXPECT_EQ(comp, 4);
}

PngBuilder grey1() { return PngBuilder().ihdr(1, 1, 8, 0); }
PngBuilder pal1() { return PngBuilder().ihdr(1, 1, 8, 3); }

TEST(PngDecode, EachFaultIsRefusedByName) {
  const std::vector<uint8_t> row = {0, 1};
  auto tall = PngBuilder().ihdr(4, 4, 8, 0).idat(std::vector<uint8_t>(20)).iend().bytes;
  auto huge_idat = tall;
  huge_idat[33] = 0x7f;  // IDAT length near 2^31
  const struct {
    std::vector<uint8_t> file;
    const char* reason;
    int req = 4;
  } cases[] = {
      {grey1().chunk("teXt", {1, 2, 3}).idat(row).iend().bytes, "(decoded)"},  // ancillary: skipped
      {grey1().chunk("ABCD", {1, 2, 3}).idat(row).iend().bytes, "ABCD chunk not known"},
      // 2^24 × 1 RGBA passes the size test and then fails on its pixel data.
      {PngBuilder().ihdr(1u << 24, 1, 8, 6).idat({0}).iend().bytes, "not enough pixels"},
      {PngBuilder().ihdr((1u << 24) + 1, 1, 8, 6).idat({0}).iend().bytes, "too large"},
      {PngBuilder().ihdr(1u << 16, 1u << 16, 8, 2).idat({0}).iend().bytes, "too large"},
      {PngBuilder().ihdr(2, 1, 8, 0).idat({0, 1, 2, 3}).iend().bytes, "not enough pixels"},  // row too long
      {PngBuilder().ihdr(2, 1, 8, 0).idat({0, 1}).iend().bytes, "not enough pixels"},
      {PngBuilder().ihdr(2, 1, 8, 0).idat({5, 1, 2}).iend().bytes, "invalid filter"},
      {PngBuilder().ihdr(1, 1, 8, 0, 1).idat(row).iend().bytes, "interlaced"},
      {PngBuilder().ihdr(1, 1, 16, 0).idat({0, 1, 1}).iend().bytes, "8bit only"},
      {PngBuilder().ihdr(1, 1, 4, 0).idat(row).iend().bytes, "8bit only"},
      {PngBuilder().chunk("teXt", {}).ihdr(1, 1, 8, 0).idat(row).iend().bytes, "first not IHDR"},
      {grey1().ihdr(1, 1, 8, 0).idat(row).iend().bytes, "multiple IHDR"},
      {PngBuilder().chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0}).idat(row).iend().bytes, "bad IHDR len"},
      {PngBuilder().ihdr(1, 1, 8, 1).idat(row).iend().bytes, "bad ctype"},
      {PngBuilder().ihdr(1, 1, 8, 7).idat(row).iend().bytes, "bad ctype"},
      {PngBuilder().ihdr(1, 1, 8, 0, 0, 1).idat(row).iend().bytes, "bad comp method"},
      {PngBuilder().ihdr(1, 1, 8, 0, 0, 0, 1).idat(row).iend().bytes, "bad filter method"},
      {PngBuilder().ihdr(0, 1, 8, 0).idat(row).iend().bytes, "0-pixel image"},
      {pal1().chunk("PLTE", {1, 2}).idat(row).iend().bytes, "invalid PLTE"},
      {pal1().chunk("PLTE", std::vector<uint8_t>(771)).idat(row).iend().bytes, "invalid PLTE"},
      {grey1().idat(row).chunk("tRNS", {0, 1}).iend().bytes, "tRNS after IDAT"},
      {pal1().chunk("tRNS", {1}).chunk("PLTE", {1, 2, 3}).idat(row).iend().bytes, "tRNS before PLTE"},
      {pal1().chunk("PLTE", {1, 2, 3}).chunk("tRNS", {1, 2}).idat(row).iend().bytes, "bad tRNS len"},
      {PngBuilder().ihdr(1, 1, 8, 2).chunk("tRNS", {0, 1}).idat({0, 1, 2, 3}).iend().bytes, "bad tRNS len"},
      {PngBuilder().ihdr(1, 1, 8, 4).chunk("tRNS", {0, 1}).idat({0, 1, 2}).iend().bytes, "tRNS with alpha"},
      {pal1().idat(row).iend().bytes, "no PLTE"},
      {grey1().iend().bytes, "no IDAT"},
      {grey1().idat(row).iend().bytes, "bad req_comp", 5},
      // Regression: an IDAT that declares more bytes than the file holds must
      // not be read past the input.
      {std::vector<uint8_t>(tall.begin(), tall.begin() + 33 + 8 + 4), "chunk past end"},
      {huge_idat, "chunk past end"},
  };
  for (const auto& c : cases) EXPECT_EQ(refusal(c.file, c.req), c.reason) << &c - cases;
}

}  // namespace
