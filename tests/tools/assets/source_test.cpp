// The image source parser: every malformed source is refused with its own
// file and line, and includes paint in place.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>

#include "assets/asset_source.h"
#include "common/test_files.h"

namespace {

int at(const AssetImage& image, int x, int y) { return asset_class_at(&image, x, y); }

TEST(AssetSource, MalformedSourcesNameFileAndLine) {
  struct Case {
    const char* text;
    const char* where;
    const char* words;
  } cases[] = {
      {"rect 0 0 1 1 1\n", "t.img:1:", "first statement"},
      {"# only comments\n", "t.img:1:", "no 'image"},
      {"image a.png 4 4\nimage b.png 4 4\n", "t.img:2:", "only once"},
      {"image a.png 0 4\n", "t.img:1:", "width"},
      {"image a 4 4\n", "t.img:1:", ".png"},
      {"image ../a.png 4 4\n", "t.img:1:", "plain"},
      {"image a.png 4 4\n\nwobble 1 2\n", "t.img:3:", "unknown statement 'wobble'"},
      {"image a.png 4 4\nrect 0 0 1 1 17\n", "t.img:2:", "class"},
      {"image a.png 4 4\nrect 0 x 1 1 2\n", "t.img:2:", "y must be a number, not 'x'"},
      {"image a.png 4 4\ncircle 1 1 nan 2\n", "t.img:2:", "radius"},
      {"image a.png 4 4\nlegend XY 3\n", "t.img:2:", "one character"},
      {"image a.png 40 40\ntext 0 0 10 2 1 \"AB\n", "t.img:2:", "quote"},
      {"image a.png 40 40\ntext 0 0 10 2 1 \"A~\"\n", "t.img:2:", "no glyph for '~'"},
      {"image a.png 40 40\nscript 0 0 10 2 1 \"a\" middle\n", "t.img:2:", "alignment"},
      {"image a.png 4 4\ngrid 1\n..\n.q\nend\n", "t.img:4:", "'q' (column 2) has no legend"},
      {"image a.png 4 4\ngrid 1\n....#\nend\n", "t.img:3:", "outside the image"},
      {"image a.png 4 4\ngrid 1\n....  \nend\n", nullptr, nullptr},  // blanks past the edge are fine
      {"image a.png 4 4\ninclude no_such_file.inc\n", "t.img:2:", "cannot read"},
  };
  for (const Case& c : cases) {
    if (!c.where) {
      AssetImage image;
      std::string error;
      EXPECT_TRUE(asset_render_text(c.text, "t.img", &image, &error)) << error;
      continue;
    }
    AssetImage image;
    std::string error;
    EXPECT_FALSE(asset_render_text(c.text, "t.img", &image, &error)) << c.text;
    EXPECT_EQ(0u, error.find(c.where)) << c.text << " -> " << error;
    EXPECT_NE(std::string::npos, error.find(c.words)) << c.text << " -> " << error;
  }
}

// Includes paint in place; an error inside one names the included file.
TEST(AssetSource, IncludesPaintInPlaceAndErrorsNameTheIncludedFile) {
  std::string dir = test_temp_dir("vantrel_assets_");
  ASSERT_FALSE(dir.empty());
  const struct { const char* inc; const char* body; std::string error; } cases[] = {
      {"# shared\nrect 0 0 2 2 7\n", "fill 3\ninclude i.inc\nrect 1 1 1 1 8\n", ""},
      {"rect 0 0 2 2 7\n\ncircle 1 1\n", "include i.inc\n", dir + "/i.inc:3: usage: circle CX CY R CLASS"},
      {"include i.inc\n", "include i.inc\n", "nested too deeply"},
      {"image b.png 4 4\n", "include i.inc\n", dir + "/i.inc:1: an included file cannot start another image"},
  };
  for (const auto& c : cases) {
    test_write_file(dir + "/i.inc", c.inc);
    test_write_file(dir + "/t.img", std::string("image a.png 4 4\n") + c.body);
    AssetImage image;
    std::string error;
    EXPECT_EQ(c.error.empty(), asset_render_file(dir + "/t.img", &image, &error)) << error;
    EXPECT_NE(std::string::npos, error.find(c.error)) << error;
    if (c.error.empty()) {
      EXPECT_EQ(7, at(image, 0, 0));
      EXPECT_EQ(8, at(image, 1, 1));
      EXPECT_EQ(3, at(image, 3, 3));
    }
  }
  EXPECT_EQ(0, test_remove_dir(dir));
}

}  // namespace
