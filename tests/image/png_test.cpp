// PNG decoding checked against libpng on generated images (every colour type,
// filter, size class and zlib level), the PngSuite, and hand-built files for
// each refusal and each edge the decoder has to get right.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "common/test_files.h"
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
  Decoded d;
  decode(file, req, &d);
  ASSERT_NE(d.pixels, nullptr) << image_failure_reason();
  ASSERT_EQ(d.w, spec.width);
  ASSERT_EQ(d.h, spec.height);
  EXPECT_EQ(d.comp, fc);
  int n = req ? req : (int)(want.size() / ((size_t)w * h));
  ASSERT_EQ(want.size(), (size_t)w * h * n);
  EXPECT_EQ(0, memcmp(d.pixels, want.data(), want.size()))
      << "type " << spec.color_type << " trns " << spec.trns << " " << spec.width << "x" << spec.height
      << " filter " << spec.filter << " level " << spec.zlib_level << " req " << req;
}

struct Size {
  int w, h;
};

const Size SIZES[] = {{1, 1}, {1, 37}, {41, 1}, {13, 7}, {33, 17}, {2, 2}, {127, 9}};

TEST(PngOracle, EveryColourTypeFilterAndSizeMatchesLibpng) {
  const int types[] = {0, 2, 3, 4, 6};
  for (int type : types) {
    for (int trns = 0; trns < 2; ++trns) {
      if (trns && (type == 4 || type == 6)) continue;  // tRNS is not allowed with alpha
      for (const Size& size : SIZES) {
        for (int filter = -1; filter <= 4; ++filter) {
          PngSpec spec{.width = size.w, .height = size.h, .color_type = type, .filter = filter,
                       .trns = trns != 0};
          expect_matches_libpng(spec, 4);
          expect_matches_libpng(spec, 0);
          if (type != 4 && type != 6) expect_matches_libpng(spec, 3);
        }
      }
    }
  }
}

TEST(PngOracle, ZlibLevelsAndLargeImagesMatchLibpng) {
  const int types[] = {0, 2, 3, 6};
  for (int type : types) {
    for (int level : {0, 1, 6, 9}) {
      PngSpec spec{.width = 257, .height = 31, .color_type = type, .zlib_level = level};
      expect_matches_libpng(spec, 4);
    }
    PngSpec big{.width = 800, .height = 600, .color_type = type, .trns = type == 3};
    expect_matches_libpng(big, 4);
    expect_matches_libpng(big, 0);
  }
  // A full 256-entry palette, every entry with an alpha.
  PngSpec full{.width = 99, .height = 45, .color_type = 3, .trns = true, .palette_size = 256,
               .trns_entries = 256};
  expect_matches_libpng(full, 4);
  expect_matches_libpng(full, 3);
}

TEST(PngSuite, EightBitFilesDecodeLikeLibpngOthersAreRefused) {
  const std::string dir = "/work/shared/testsuites/pngsuite/png/";
  DIR* d = opendir(dir.c_str());
  if (!d) GTEST_SKIP() << "PngSuite not present";
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.size() > 4 && name.substr(name.size() - 4) == ".png") names.push_back(name);
  }
  closedir(d);
  ASSERT_GT(names.size(), 100u);
  int matched = 0, refused = 0;
  for (const std::string& name : names) {
    std::vector<uint8_t> file = test_read_bytes(dir + name);
    ASSERT_GT(file.size(), 33u) << name;
    int depth = file[24], interlace = file[28];
    std::vector<uint8_t> want;
    int w, h, fc;
    bool reference_ok = png_oracle_decode(file, 4, &want, &w, &h, &fc);
    Decoded ours;
    decode(file, 4, &ours);
    if (depth == 8 && interlace == 0 && reference_ok) {
      ASSERT_NE(ours.pixels, nullptr) << name << ": " << image_failure_reason();
      ASSERT_EQ(ours.w, w) << name;
      ASSERT_EQ(ours.h, h) << name;
      EXPECT_EQ(0, memcmp(ours.pixels, want.data(), want.size())) << name;
      ++matched;
    } else if (name[0] != 'x') {
      EXPECT_EQ(ours.pixels, nullptr) << name;
      std::string reason = image_failure_reason();
      EXPECT_TRUE(reason == "8bit only" || reason == "interlaced") << name << ": " << reason;
      ++refused;
    } else if (!ours.pixels) {
      // Corrupt files: refused with a reason, except those whose only fault is
      // a CRC, which this decoder does not verify.
      EXPECT_STRNE(image_failure_reason(), "") << name;
    }
  }
  EXPECT_GT(matched, 40);
  EXPECT_GT(refused, 60);
}

std::vector<uint8_t> grey_rows(int w, int h, uint8_t filter, uint8_t value) {
  std::vector<uint8_t> rows;
  for (int y = 0; y < h; ++y) {
    rows.push_back(filter);
    for (int x = 0; x < w; ++x) rows.push_back(value);
  }
  return rows;
}

TEST(PngDecode, TransparencyKeysAndShortPaletteAlpha) {
  // Grey key 9: that pixel gets alpha 0, the other 255.
  PngBuilder grey;
  grey.ihdr(2, 1, 8, 0).chunk("tRNS", {0, 9}).idat({0, 9, 10}).iend();
  Decoded g;
  decode(grey.bytes, 4, &g);
  ASSERT_NE(g.pixels, nullptr);
  const uint8_t want[] = {9, 9, 9, 0, 10, 10, 10, 255};
  EXPECT_EQ(0, memcmp(g.pixels, want, 8));
  // tRNS shorter than the palette: only the first entries lose opacity.
  PngBuilder pal;
  pal.ihdr(3, 1, 8, 3).chunk("PLTE", {1, 2, 3, 4, 5, 6, 7, 8, 9}).chunk("tRNS", {100}).idat({0, 0, 1, 2}).iend();
  Decoded p;
  decode(pal.bytes, 4, &p);
  ASSERT_NE(p.pixels, nullptr);
  const uint8_t want_pal[] = {1, 2, 3, 100, 4, 5, 6, 255, 7, 8, 9, 255};
  EXPECT_EQ(0, memcmp(p.pixels, want_pal, 12));
  EXPECT_EQ(p.comp, 4);
}

TEST(PngDecode, AncillaryChunksAreSkippedCriticalOnesRefusedByName) {
  auto ok = PngBuilder().ihdr(1, 1, 8, 0).chunk("teXt", {1, 2, 3}).idat({0, 5}).iend().bytes;
  EXPECT_EQ(refusal(ok), "(decoded)");
  auto bad = PngBuilder().ihdr(1, 1, 8, 0).chunk("ABCD", {1, 2, 3}).idat({0, 5}).iend().bytes;
  EXPECT_EQ(refusal(bad), "ABCD chunk not known");
}

TEST(PngDecode, SizeLimits) {
  // 2^24 × 1 RGBA passes the size test and then fails on its pixel data.
  auto wide = PngBuilder().ihdr(1u << 24, 1, 8, 6).idat({0}).iend().bytes;
  EXPECT_EQ(refusal(wide), "not enough pixels");
  auto wider = PngBuilder().ihdr((1u << 24) + 1, 1, 8, 6).idat({0}).iend().bytes;
  EXPECT_EQ(refusal(wider), "too large");
  auto big = PngBuilder().ihdr(1u << 16, 1u << 16, 8, 2).idat({0}).iend().bytes;
  EXPECT_EQ(refusal(big), "too large");
}

TEST(PngDecode, RowDataMustMatchExactly) {
  auto longer = PngBuilder().ihdr(2, 1, 8, 0).idat({0, 1, 2, 3}).iend().bytes;
  EXPECT_EQ(refusal(longer), "not enough pixels");
  auto shorter = PngBuilder().ihdr(2, 1, 8, 0).idat({0, 1}).iend().bytes;
  EXPECT_EQ(refusal(shorter), "not enough pixels");
  auto filter = PngBuilder().ihdr(2, 1, 8, 0).idat({5, 1, 2}).iend().bytes;
  EXPECT_EQ(refusal(filter), "invalid filter");
}

TEST(PngDecode, HeaderAndChunkOrderRefusals) {
  auto rows = grey_rows(1, 1, 0, 1);
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 0, 1).idat(rows).iend().bytes), "interlaced");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 16, 0).idat({0, 1, 1}).iend().bytes), "8bit only");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 4, 0).idat(rows).iend().bytes), "8bit only");
  EXPECT_EQ(refusal(PngBuilder().chunk("teXt", {}).ihdr(1, 1, 8, 0).idat(rows).iend().bytes), "first not IHDR");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 0).ihdr(1, 1, 8, 0).idat(rows).iend().bytes), "multiple IHDR");
  EXPECT_EQ(refusal(PngBuilder().chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0}).idat(rows).iend().bytes),
            "bad IHDR len");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 1).idat(rows).iend().bytes), "bad ctype");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 5).idat(rows).iend().bytes), "bad ctype");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 7).idat(rows).iend().bytes), "bad ctype");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 0, 0, 1).idat(rows).iend().bytes), "bad comp method");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 0, 0, 0, 1).idat(rows).iend().bytes), "bad filter method");
  EXPECT_EQ(refusal(PngBuilder().ihdr(0, 1, 8, 0).idat(rows).iend().bytes), "0-pixel image");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 3).chunk("PLTE", {1, 2}).idat(rows).iend().bytes), "invalid PLTE");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 3).chunk("PLTE", std::vector<uint8_t>(771)).idat(rows).iend().bytes),
            "invalid PLTE");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 0).idat(rows).chunk("tRNS", {0, 1}).iend().bytes), "tRNS after IDAT");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 3).chunk("tRNS", {1}).chunk("PLTE", {1, 2, 3}).idat(rows).iend().bytes),
            "tRNS before PLTE");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 3).chunk("PLTE", {1, 2, 3}).chunk("tRNS", {1, 2}).idat(rows).iend().bytes),
            "bad tRNS len");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 2).chunk("tRNS", {0, 1}).idat({0, 1, 2, 3}).iend().bytes),
            "bad tRNS len");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 4).chunk("tRNS", {0, 1}).idat({0, 1, 2}).iend().bytes),
            "tRNS with alpha");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 3).idat(rows).iend().bytes), "no PLTE");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 0).iend().bytes), "no IDAT");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 0).idat(rows).iend().bytes, 5), "bad req_comp");
  EXPECT_EQ(refusal(PngBuilder().ihdr(1, 1, 8, 0).idat(rows).iend().bytes, -1), "bad req_comp");
}

TEST(PngDecode, ChunkLengthPastTheInputFailsCleanly) {
  // Regression: an IDAT that declares more bytes than the file holds must not
  // be read past the input.
  auto file = PngBuilder().ihdr(4, 4, 8, 0).idat(grey_rows(4, 4, 0, 3)).iend().bytes;
  std::vector<uint8_t> cut(file.begin(), file.begin() + 33 + 8 + 4);  // IDAT header and a few bytes
  EXPECT_EQ(refusal(cut), "chunk past end");
  std::vector<uint8_t> huge = file;
  huge[33] = 0x7f;  // IDAT length near 2^31
  EXPECT_EQ(refusal(huge), "chunk past end");
}

}  // namespace
