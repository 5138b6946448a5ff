// The image source parser: what each statement paints, how comments, quotes
// and grids are read, and that every malformed source is refused with its
// own file and line.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>

#include "assets/asset_source.h"
#include "common/test_files.h"

namespace {

AssetImage render(const std::string& text) {
  AssetImage image;
  std::string error;
  EXPECT_TRUE(asset_render_text(text, "t.img", &image, &error)) << error;
  return image;
}

// The error of a source that must be refused.
std::string refusal(const std::string& text) {
  AssetImage image;
  std::string error;
  EXPECT_FALSE(asset_render_text(text, "t.img", &image, &error)) << text;
  return error;
}

int at(const AssetImage& image, int x, int y) { return asset_class_at(&image, x, y); }

int count(const AssetImage& image, int cls) {
  int n = 0;
  for (uint8_t p : image.pixels) n += p == cls;
  return n;
}

TEST(AssetSource, ImageAndFillSetNameSizeAndBackground) {
  AssetImage image = render("image r05.png 20 10\n");
  EXPECT_EQ("r05.png", image.name);
  EXPECT_EQ(20, image.width);
  EXPECT_EQ(10, image.height);
  EXPECT_EQ(200, count(image, 0));
  image = render("image a.png 4 4\nfill 13\nrect 0 0 2 2 1\nfill 5\n");
  EXPECT_EQ(16, count(image, 5));  // fill paints everything, over earlier shapes
}

TEST(AssetSource, StatementsPaintInOrderLaterOverEarlier) {
  AssetImage image = render(
      "image a.png 40 40\n"
      "rect 0 0 40 40 1\n"
      "circle 20 20 10 14\n"
      "rect 18 0 4 40 2\n");
  EXPECT_EQ(1, at(image, 0, 0));
  EXPECT_EQ(14, at(image, 12, 20));
  EXPECT_EQ(2, at(image, 20, 20));
  EXPECT_EQ(2, at(image, 19, 39));
}

TEST(AssetSource, EveryShapeStatementPaintsItsClass) {
  AssetImage image = render(
      "image a.png 100 100\n"
      "rect 0 0 10 10 2\n"
      "frame 20 0 20 20 3 3\n"
      "poly 4 50 0 60 0 60 10\n"
      "path 4 5 70 2 90 2 90 20\n"
      "circle 10 30 5 6\n"
      "ellipse 40 30 8 3 7\n"
      "line 0 50 30 50 4 8\n"
      "sector 70 70 10 20 0 90 9\n"
      "text 0 80 20 4 10 \"I\"\n"
      "script 40 80 20 4 11 \"l\"\n");
  EXPECT_EQ(2, at(image, 9, 9));
  EXPECT_EQ(3, at(image, 21, 10));   // frame side
  EXPECT_EQ(0, at(image, 30, 10));   // frame inside stays
  EXPECT_EQ(4, at(image, 59, 1));
  EXPECT_EQ(0, at(image, 51, 8));    // the other half of the square
  EXPECT_EQ(5, at(image, 80, 2));
  EXPECT_EQ(5, at(image, 90, 15));
  EXPECT_EQ(6, at(image, 10, 30));
  EXPECT_EQ(7, at(image, 46, 30));
  EXPECT_EQ(0, at(image, 40, 34));
  EXPECT_EQ(8, at(image, 15, 50));
  EXPECT_EQ(9, at(image, 84, 76));   // lower right quadrant of the ring
  EXPECT_EQ(0, at(image, 56, 76));   // lower left is outside 0..90 degrees
  EXPECT_EQ(0, at(image, 70, 70));   // inside the inner radius
  EXPECT_EQ(10, at(image, 4, 90));   // the I's stem
  EXPECT_EQ(11, at(image, 42, 90));
}

TEST(AssetSource, GridCellsMapThroughTheLegend) {
  AssetImage image = render(
      "image a.png 12 8\n"
      "fill 4\n"
      "legend X 13\n"
      "grid 2   # cells of 2 px\n"
      ".#2a\n"
      "X g\n"
      "end   # done\n"
      "grid 1 10 6\n"
      "#\n"
      "end\n");
  EXPECT_EQ(0, at(image, 0, 0));
  EXPECT_EQ(1, at(image, 3, 1));
  EXPECT_EQ(2, at(image, 4, 0));
  EXPECT_EQ(10, at(image, 7, 1));
  EXPECT_EQ(13, at(image, 1, 3));
  EXPECT_EQ(0, at(image, 2, 2));   // a space is background
  EXPECT_EQ(16, at(image, 5, 3));
  EXPECT_EQ(4, at(image, 6, 2));   // missing cells stay as they were
  EXPECT_EQ(1, at(image, 10, 6));
  EXPECT_EQ(4, at(image, 11, 6));
}

TEST(AssetSource, CommentsQuotesAndLineEndings) {
  AssetImage image = render(
      "# a comment line\r\n"
      "   # an indented one\r\n"
      "image a.png 20 20   # trailing comment\r\n"
      "\r\n"
      "rect 0 0 5 5 2  #still a comment\r\n");
  EXPECT_EQ(20, image.width);
  EXPECT_EQ(2, at(image, 4, 4));
  // '#' inside a word belongs to the word.
  EXPECT_NE(std::string::npos, refusal("image a.png 4 4\nrect 0 0 1 1 2#x\n").find("'2#x'"));
  // '#' inside quotes is text, not a comment: the font has no '#' glyph.
  std::string error = refusal("image a.png 200 40\ntext 0 0 30 6 2 \"A#B\"  # c\n");
  EXPECT_NE(std::string::npos, error.find("no glyph for '#'")) << error;
}

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
      {"image a.png 4 4\nrect 0 0 1 1 2.5\n", "t.img:2:", "class"},
      {"image a.png 4 4\nrect 0 x 1 1 2\n", "t.img:2:", "y must be a number, not 'x'"},
      {"image a.png 4 4\nrect 0 0 1 2\n", "t.img:2:", "usage: rect"},
      {"image a.png 4 4\nrect 0 0 1e9 1 2\n", "t.img:2:", "out of range"},
      {"image a.png 4 4\ncircle 1 1 nan 2\n", "t.img:2:", "radius"},
      {"image a.png 4 4\npoly 2 0 0 1 1\n", "t.img:2:", "three points"},
      {"image a.png 4 4\npoly 2 0 0 1 1 2 2 3\n", "t.img:2:", "usage: poly"},
      {"image a.png 4 4\npath 2 3\n", "t.img:2:", "usage: path"},
      {"image a.png 4 4\nline 0 0 1 1 1\n", "t.img:2:", "usage: line"},
      {"image a.png 4 4\nellipse 0 0 1 1\n", "t.img:2:", "usage: ellipse"},
      {"image a.png 4 4\nframe 0 0 1 1 1\n", "t.img:2:", "usage: frame"},
      {"image a.png 4 4\nsector 0 0 1 2 3 4\n", "t.img:2:", "usage: sector"},
      {"image a.png 4 4\nfill\n", "t.img:2:", "usage: fill"},
      {"image a.png 4 4\nlegend XY 3\n", "t.img:2:", "one character"},
      {"image a.png 40 40\ntext 0 0 10 2 1 \"AB\n", "t.img:2:", "quote"},
      {"image a.png 40 40\ntext 0 0 10 2 1 AB\n", "t.img:2:", "usage: text"},
      {"image a.png 40 40\ntext 0 0 10 12 1 \"A\"\n", "t.img:2:", "STROKE"},
      {"image a.png 40 40\ntext 0 0 10 2 1 \"A~\"\n", "t.img:2:", "no glyph for '~'"},
      {"image a.png 40 40\nscript 0 0 10 2 1 \"a\" middle\n", "t.img:2:", "alignment"},
      {"image a.png 4 4\ngrid 1\n..\n", "t.img:2:", "no 'end'"},
      {"image a.png 4 4\ngrid 0\nend\n", "t.img:2:", "cell size"},
      {"image a.png 4 4\ngrid 1\n..\n.q\nend\n", "t.img:4:", "'q' (column 2) has no legend"},
      {"image a.png 4 4\ngrid 1\n....#\nend\n", "t.img:3:", "outside the image"},
      {"image a.png 4 4\ngrid 1\n....  \nend\n", nullptr, nullptr},  // blanks past the edge are fine
      {"image a.png 4 4\ninclude no_such_file.inc\n", "t.img:2:", "cannot read"},
  };
  for (const Case& c : cases) {
    if (!c.where) {
      render(c.text);
      continue;
    }
    std::string error = refusal(c.text);
    EXPECT_EQ(0u, error.find(c.where)) << c.text << " -> " << error;
    EXPECT_NE(std::string::npos, error.find(c.words)) << c.text << " -> " << error;
  }
}

struct SourceFiles : ::testing::Test {
  std::string dir;
  void SetUp() override {
    dir = test_temp_dir("vantrel_assets_");
    ASSERT_FALSE(dir.empty());
  }
  void TearDown() override { ASSERT_EQ(0, test_remove_dir(dir)); }
  std::string write(const std::string& name, const std::string& text) {
    std::string path = dir + "/" + name;
    test_write_file(path, text);
    return path;
  }
};

TEST_F(SourceFiles, IncludePaintsInPlaceAndErrorsNameTheIncludedFile) {
  write("part.inc", "# shared\nrect 0 0 2 2 7\n");
  std::string top = write("top.img", "image a.png 4 4\nfill 3\ninclude part.inc\nrect 1 1 1 1 8\n");
  AssetImage image;
  std::string error;
  ASSERT_TRUE(asset_render_file(top, &image, &error)) << error;
  EXPECT_EQ(7, at(image, 0, 0));
  EXPECT_EQ(8, at(image, 1, 1));
  EXPECT_EQ(3, at(image, 3, 3));

  write("bad.inc", "rect 0 0 2 2 7\n\ncircle 1 1\n");
  top = write("top2.img", "image a.png 4 4\ninclude bad.inc\n");
  EXPECT_FALSE(asset_render_file(top, &image, &error));
  EXPECT_EQ(dir + "/bad.inc:3: usage: circle CX CY R CLASS", error);

  write("loop.inc", "include loop.inc\n");
  top = write("top3.img", "image a.png 4 4\ninclude loop.inc\n");
  EXPECT_FALSE(asset_render_file(top, &image, &error));
  EXPECT_NE(std::string::npos, error.find("nested too deeply")) << error;

  write("image.inc", "image b.png 4 4\n");
  top = write("top4.img", "image a.png 4 4\ninclude image.inc\n");
  EXPECT_FALSE(asset_render_file(top, &image, &error));
  EXPECT_EQ(dir + "/image.inc:1: an included file cannot start another image", error);
}

TEST_F(SourceFiles, MissingFileIsRefused) {
  AssetImage image;
  std::string error;
  EXPECT_FALSE(asset_render_file(dir + "/none.img", &image, &error));
  EXPECT_NE(std::string::npos, error.find("cannot read")) << error;
}

}  // namespace
