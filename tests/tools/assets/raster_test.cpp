// Shapes and lettering: pixel-centre sampling at the edges, agreement between
// shapes that describe the same area, clipping, and the ink of text matching
// its measured width and the letter height (titles rely on both).
#include <gtest/gtest.h>

#include <math.h>

#include "assets/asset_font.h"
#include "assets/asset_raster.h"

namespace {

int count(const AssetImage& image, int cls) {
  int n = 0;
  for (uint8_t p : image.pixels) n += p == cls;
  return n;
}

// Bounding box of class cls: x0, y0, x1, y1 inclusive; all -1 when absent.
void ink_box(const AssetImage& image, int cls, int box[4]) {
  box[0] = box[1] = box[2] = box[3] = -1;
  for (int y = 0; y < image.height; y++)
    for (int x = 0; x < image.width; x++) {
      if (asset_class_at(&image, x, y) != cls) continue;
      if (box[0] < 0 || x < box[0]) box[0] = x;
      if (box[1] < 0 || y < box[1]) box[1] = y;
      if (x > box[2]) box[2] = x;
      if (y > box[3]) box[3] = y;
    }
}

AssetImage blank(int w, int h) {
  AssetImage image;
  asset_image_init(&image, w, h, 0);
  return image;
}

TEST(AssetRaster, RectIsHalfOpenAndSamplesPixelCentres) {
  AssetImage image = blank(20, 20);
  asset_fill_rect(&image, 2, 3, 4, 5, 1);
  int box[4];
  ink_box(image, 1, box);
  EXPECT_EQ(2, box[0]);
  EXPECT_EQ(3, box[1]);
  EXPECT_EQ(5, box[2]);
  EXPECT_EQ(7, box[3]);
  EXPECT_EQ(20, count(image, 1));
  image = blank(20, 20);
  asset_fill_rect(&image, 2.6, 0, 0.8, 1, 1);  // [2.6, 3.4) holds no pixel centre
  EXPECT_EQ(0, count(image, 1));
  asset_fill_rect(&image, 2.5, 0, 1, 1, 1);  // centre 2.5 is inside [2.5, 3.5)
  EXPECT_EQ(1, asset_class_at(&image, 2, 0));
}

TEST(AssetRaster, PolygonSquareEqualsRectAndEvenOddLeavesAHole) {
  AssetImage a = blank(30, 30), b = blank(30, 30);
  const double square[8] = {3, 4, 13, 4, 13, 14, 3, 14};
  asset_fill_poly(&a, square, 4, 5);
  asset_fill_rect(&b, 3, 4, 10, 10, 5);
  EXPECT_EQ(a.pixels, b.pixels);
  // A five-pointed star drawn in one stroke: its pentagon centre is covered
  // twice, so the even-odd rule leaves it open.
  AssetImage star = blank(100, 100);
  double xy[10];
  for (int i = 0; i < 5; i++) {
    double angle = -M_PI / 2 + i * 4 * M_PI / 5;
    xy[2 * i] = 50 + 45 * cos(angle);
    xy[2 * i + 1] = 50 + 45 * sin(angle);
  }
  asset_fill_poly(&star, xy, 5, 3);
  EXPECT_EQ(0, asset_class_at(&star, 50, 50));
  EXPECT_EQ(3, asset_class_at(&star, 50, 10));
}

TEST(AssetRaster, DiscsAreTwoRadiiAcrossAndEllipsesFollowTheirAxes) {
  AssetImage image = blank(40, 40);
  asset_fill_ellipse(&image, 20, 20, 5, 5, 6);
  int box[4];
  ink_box(image, 6, box);
  EXPECT_EQ(15, box[0]);
  EXPECT_EQ(24, box[2]);
  EXPECT_EQ(15, box[1]);
  EXPECT_EQ(24, box[3]);
  EXPECT_NEAR(M_PI * 25, count(image, 6), 8);
  image = blank(40, 40);
  asset_fill_ellipse(&image, 20, 20, 12, 4, 7);
  ink_box(image, 7, box);
  EXPECT_EQ(24, box[2] - box[0] + 1);
  EXPECT_EQ(8, box[3] - box[1] + 1);
}

TEST(AssetRaster, ThickLinesHaveTheirWidthAndRoundEnds) {
  AssetImage image = blank(60, 30);
  asset_fill_line(&image, 10, 15, 50, 15, 10, 8);
  int box[4];
  ink_box(image, 8, box);
  EXPECT_EQ(10, box[3] - box[1] + 1);  // exactly the width across
  EXPECT_EQ(5, box[0]);                // the round end reaches width / 2 beyond
  EXPECT_EQ(54, box[2]);
  EXPECT_EQ(0, asset_class_at(&image, 5, 10));   // ...but not into the corners
  // A zero-length line is a dot.
  image = blank(20, 20);
  asset_fill_line(&image, 10, 10, 10, 10, 6, 2);
  EXPECT_NEAR(M_PI * 9, count(image, 2), 5);
}

TEST(AssetRaster, SectorsSplitARingWithoutGapsOrOverlap) {
  AssetImage image = blank(100, 100);
  for (int k = 0; k < 8; k++) asset_fill_sector(&image, 50, 50, 20, 40, k * 45 - 22.5, k * 45 + 22.5, 2 + k);
  AssetImage ring = blank(100, 100);
  asset_fill_sector(&ring, 50, 50, 20, 40, 0, 360, 1);
  for (size_t i = 0; i < image.pixels.size(); i++)
    EXPECT_EQ(ring.pixels[i] != 0, image.pixels[i] != 0) << i;
  EXPECT_EQ(2, asset_class_at(&image, 80, 50));  // angle 0: right
  EXPECT_EQ(4, asset_class_at(&image, 50, 80));  // angle 90: down on screen
  EXPECT_EQ(0, asset_class_at(&image, 50, 50));
}

TEST(AssetRaster, ShapesClipAtEveryEdge) {
  AssetImage image = blank(10, 10);
  asset_fill_rect(&image, -5, -5, 8, 8, 1);
  asset_fill_ellipse(&image, 12, 12, 5, 5, 2);
  asset_fill_line(&image, -100, 5, 100, 5, 2, 3);
  const double tri[6] = {-1e5, -1e5, 1e5, 0, 0, 1e5};
  asset_fill_poly(&image, tri, 3, 4);
  asset_fill_sector(&image, -3, 20, 0, 30, 0, 360, 5);
  asset_draw_frame(&image, -2, -2, 14, 14, 3, 6);
  EXPECT_EQ(100u, image.pixels.size());
  EXPECT_EQ(6, asset_class_at(&image, 0, 0));
  EXPECT_EQ(-1, asset_class_at(&image, 10, 0));
}

TEST(AssetFont, CapitalsFillTheLetterHeightAndTheMeasuredWidth) {
  AssetTextStyle style;
  style.height = 60;
  style.stroke = 12;
  for (const char* text : {"VANTREL", "A", "I", "W1", "HELLO 2"}) {
    AssetImage image = blank(600, 100);
    asset_draw_text(&image, 10, 20, text, style, 1);
    int box[4];
    ink_box(image, 1, box);
    EXPECT_EQ(20, box[1]) << text;
    EXPECT_EQ(79, box[3]) << text;
    EXPECT_NEAR(asset_text_width(text, style), box[2] - box[0] + 1, 1.0) << text;
    EXPECT_EQ(10, box[0]) << text;
  }
}

TEST(AssetFont, StrokesAreAtLeastTheirWidthAndLettersStayApart) {
  // The title's rule: strokes of 10 px or more must survive as noise, and
  // neighbouring letters must not merge. Column counts across the 'I' stem
  // and the blank columns between "ll" show both.
  AssetTextStyle style;
  style.height = 58;
  style.stroke = 11;
  style.capitals = 0;
  AssetImage image = blank(300, 100);
  asset_draw_text(&image, 0, 10, "ll", style, 1);
  int run = 0, widest = 0, runs = 0, gap = 0, narrowest_gap = 1000;
  for (int x = 0; x < image.width; x++) {
    int ink = asset_class_at(&image, x, 40) == 1;
    if (ink && run == 0) {
      runs++;
      if (runs > 1 && gap < narrowest_gap) narrowest_gap = gap;
    }
    run = ink ? run + 1 : 0;
    gap = ink ? 0 : gap + 1;
    if (run > widest) widest = run;
  }
  EXPECT_GE(widest, 11);
  EXPECT_LE(widest, 12);
  EXPECT_EQ(2, runs);               // two stems, not merged
  EXPECT_GE(narrowest_gap, 11);     // and apart by at least a stroke
}

TEST(AssetFont, EveryLetterAndDigitHasAGlyph) {
  std::string all;
  for (char c = 'A'; c <= 'Z'; c++) all += c;
  for (char c = 'a'; c <= 'z'; c++) all += c;
  for (char c = '0'; c <= '9'; c++) all += c;
  all += " .,!?-+=:'/()<>";
  char bad = 0;
  EXPECT_TRUE(asset_text_supported(all, 0, &bad)) << bad;
  EXPECT_FALSE(asset_text_supported("a~", 0, &bad));
  EXPECT_EQ('~', bad);
  // Capitals mode draws lower case as capitals: same ink as upper case.
  AssetTextStyle style;
  style.height = 30;
  style.stroke = 5;
  AssetImage lower = blank(300, 40), upper = blank(300, 40);
  asset_draw_text(&lower, 0, 0, "vantrel", style, 1);
  asset_draw_text(&upper, 0, 0, "VANTREL", style, 1);
  EXPECT_EQ(upper.pixels, lower.pixels);
}

}  // namespace
