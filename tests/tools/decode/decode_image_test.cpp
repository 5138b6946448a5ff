// `vantrel-decode image` run in-process: a readable file becomes a PAM whose
// pixels are exactly the decoder's 4-component output; a refused file leaves
// no output behind, says why on one line and exits with status 1.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "common/test_files.h"
#include "decode/decode_image.h"
#include "image/image.h"
#include "image/png_builder.h"

namespace {

int run(const char* in, const char* out) {
  char a0[] = "vantrel-decode", a1[] = "image";
  std::string i = in, o = out;
  char* argv[] = {a0, a1, i.data(), o.data(), nullptr};
  return decode_image_main(4, argv);
}

TEST(DecodeTool, WritesRgbaPam) {
  // 2 × 1 RGB: the PAM carries alpha 255.
  auto png = PngBuilder().ihdr(2, 1, 8, 2).idat({0, 1, 2, 3, 4, 5, 6}).iend().bytes;
  ASSERT_TRUE(test_write_file("tool_in.png", png));
  remove("tool_out.pam");
  ASSERT_EQ(run("tool_in.png", "tool_out.pam"), 0);
  std::vector<uint8_t> pam = test_read_bytes("tool_out.pam");
  const std::string header = "P7\nWIDTH 2\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  ASSERT_EQ(pam.size(), header.size() + 8);
  EXPECT_EQ(std::string(pam.begin(), pam.begin() + (long)header.size()), header);
  const uint8_t want[] = {1, 2, 3, 255, 4, 5, 6, 255};
  EXPECT_EQ(0, memcmp(pam.data() + header.size(), want, 8));
}

TEST(DecodeTool, RefusedInputWritesNothingAndSaysWhy) {
  const std::vector<uint8_t> reserved_block = {0x78, 0x01, 0x07};  // zlib header, final block of type 3
  const struct { std::vector<uint8_t> bytes; const char* said; } cases[] = {
      {PngBuilder().ihdr(2, 1, 8, 2, 1).idat({0, 1, 2, 3, 4, 5, 6}).iend().bytes, "interlaced\n"},
      {{0xff, 0xd8, 0xff, 0xd9}, "refused (no reason recorded)\n"},  // JPEG: SOI, EOI
      {PngBuilder().ihdr(2, 1, 8, 2).chunk("IDAT", reserved_block).iend().bytes, "refused (no reason recorded)\n"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(test_write_file("tool_bad.png", c.bytes));
    remove("tool_bad.pam");
    testing::internal::CaptureStderr();
    EXPECT_EQ(run("tool_bad.png", "tool_bad.pam"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.said);
    FILE* f = fopen("tool_bad.pam", "rb");
    EXPECT_EQ(f, nullptr);
    if (f) fclose(f);
  }
  EXPECT_EQ(run("no_such_file.png", "tool_bad.pam"), 1);
}

}  // namespace
