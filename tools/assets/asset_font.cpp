// The glyph table and the layout of a line of text. Each glyph is a width in
// grid units and its strokes as polylines "x,y x,y ...; x,y ...", y growing
// downward from the capital top (0) to the baseline (6); descenders reach 8.
// A polyline of one point is a dot. Letters are spaced by one unit plus half
// a stroke, enough that thick strokes of neighbours never merge.
#include "assets/asset_font.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

struct Glyph {
  char ch;
  double width;
  const char* strokes;
};

const Glyph GLYPHS[] = {
    {'A', 4, "0,6 2,0 4,6; 0.7,4 3.3,4"},
    {'B', 4, "0,3 2.8,3 3.6,2.2 3.6,0.8 2.8,0 0,0 0,6 3,6 4,5 4,4 3,3"},
    {'C', 4, "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5"},
    {'D', 4, "0,0 0,6 2.5,6 4,4.5 4,1.5 2.5,0 0,0"},
    {'E', 4, "4,0 0,0 0,6 4,6; 0,3 3,3"},
    {'F', 4, "4,0 0,0 0,6; 0,3 3,3"},
    {'G', 4, "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3.5 2.5,3.5"},
    {'H', 4, "0,0 0,6; 4,0 4,6; 0,3 4,3"},
    {'I', 2, "1,0 1,6; 0,0 2,0; 0,6 2,6"},
    {'J', 4, "4,0 4,5 3,6 1,6 0,5"},
    {'K', 4, "0,0 0,6; 4,0 0,4; 1.5,2.7 4,6"},
    {'L', 4, "0,0 0,6 4,6"},
    {'M', 5, "0,6 0,0 2.5,3.5 5,0 5,6"},
    {'N', 4, "0,6 0,0 4,6 4,0"},
    {'O', 4, "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0"},
    {'P', 4, "0,6 0,0 3,0 4,1 4,2 3,3 0,3"},
    {'Q', 4, "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0; 2.5,4.5 4,6"},
    {'R', 4, "0,6 0,0 3,0 4,1 4,2 3,3 0,3; 2,3 4,6"},
    {'S', 4, "4,1 3,0 1,0 0,1 0,2 1,3 3,3 4,4 4,5 3,6 1,6 0,5"},
    {'T', 4, "0,0 4,0; 2,0 2,6"},
    {'U', 4, "0,0 0,5 1,6 3,6 4,5 4,0"},
    {'V', 4, "0,0 2,6 4,0"},
    {'W', 5, "0,0 1.25,6 2.5,2 3.75,6 5,0"},
    {'X', 4, "0,0 4,6; 4,0 0,6"},
    {'Y', 4, "0,0 2,3 4,0; 2,3 2,6"},
    {'Z', 4, "0,0 4,0 0,6 4,6"},
    {'0', 4, "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0; 3.3,1 0.7,5"},
    {'1', 3, "0,1 1.5,0 1.5,6; 0,6 3,6"},
    {'2', 4, "0,1 1,0 3,0 4,1 4,2 0,6 4,6"},
    {'3', 4, "0,0 4,0 2,2.5 3,2.5 4,3.5 4,5 3,6 1,6 0,5"},
    {'4', 4, "3,6 3,0 0,4 4,4"},
    {'5', 4, "4,0 0,0 0,2.7 3,2.7 4,3.7 4,5 3,6 0,6"},
    {'6', 4, "3.5,0 1.5,0 0,1.5 0,5 1,6 3,6 4,5 4,4 3,3 0,3"},
    {'7', 4, "0,0 4,0 1.5,6"},
    {'8', 4, "1,3 0,2 0,1 1,0 3,0 4,1 4,2 3,3 1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3"},
    {'9', 4, "0.5,6 2.5,6 4,4.5 4,1 3,0 1,0 0,1 0,2 1,3 4,3"},
    {'a', 3.5, "0.3,2.2 2.5,2 3.5,3 3.5,6; 3.5,4 1,4 0,4.8 0,5.2 0.8,6 2.6,6 3.5,5.2"},
    {'b', 3.5, "0,0 0,6; 0,3 1,2 2.5,2 3.5,3 3.5,5 2.5,6 1,6 0,5"},
    {'c', 3.5, "3.5,2.6 2.8,2 0.8,2 0,2.8 0,5.2 0.8,6 2.8,6 3.5,5.4"},
    {'d', 3.5, "3.5,0 3.5,6; 3.5,3 2.5,2 1,2 0,3 0,5 1,6 2.5,6 3.5,5"},
    {'e', 3.5, "0,4 3.5,4 3.5,3 2.5,2 1,2 0,3 0,5 1,6 3,6"},
    {'f', 2.5, "2.5,0.3 2,0 1.4,0 0.8,0.6 0.8,6; 0,2.3 2.3,2.3"},
    {'g', 3.5, "3.5,2 3.5,7 2.5,8 0.5,8; 3.5,3 2.5,2 1,2 0,3 0,4.5 1,5.5 2.5,5.5 3.5,4.5"},
    {'h', 3.5, "0,0 0,6; 0,3 1,2 2.5,2 3.5,3 3.5,6"},
    {'i', 0, "0,2.6 0,6; 0,0"},
    {'j', 2, "2,2.6 2,7 1,8 0,8; 2,0"},
    {'k', 3.5, "0,0 0,6; 3.5,2 0,4.5; 1.3,3.6 3.5,6"},
    {'l', 0, "0,0 0,6"},
    {'m', 5, "0,6 0,2; 0,3 0.8,2 1.7,2 2.5,3 2.5,6; 2.5,3 3.3,2 4.2,2 5,3 5,6"},
    {'n', 3.5, "0,6 0,2; 0,3 1,2 2.5,2 3.5,3 3.5,6"},
    {'o', 3.5, "1,2 2.5,2 3.5,3 3.5,5 2.5,6 1,6 0,5 0,3 1,2"},
    {'p', 3.5, "0,2 0,8; 0,3 1,2 2.5,2 3.5,3 3.5,5 2.5,6 1,6 0,5"},
    {'q', 3.5, "3.5,2 3.5,8; 3.5,3 2.5,2 1,2 0,3 0,5 1,6 2.5,6 3.5,5"},
    {'r', 3, "0,6 0,2; 0,3.2 1.2,2 3,2"},
    {'s', 3.5, "3.5,2.5 3,2 0.8,2 0,2.7 0,3.3 0.8,4 2.7,4 3.5,4.7 3.5,5.3 2.7,6 0.5,6 0,5.5"},
    {'t', 2.5, "1,0.5 1,5.3 1.7,6 2.5,6; 0,2 2.5,2"},
    {'u', 3.5, "0,2 0,5 1,6 2.5,6 3.5,5; 3.5,2 3.5,6"},
    {'v', 3.5, "0,2 1.75,6 3.5,2"},
    {'w', 5, "0,2 1.25,6 2.5,3 3.75,6 5,2"},
    {'x', 3.5, "0,2 3.5,6; 3.5,2 0,6"},
    {'y', 3.5, "0,2 1.75,6; 3.5,2 1.2,7.2 0.3,8"},
    {'z', 3.5, "0,2 3.5,2 0,6 3.5,6"},
    {'.', 0, "0,6"},
    {',', 0.6, "0.6,5.6 0,7"},
    {'!', 0, "0,0 0,3.8; 0,6"},
    {'?', 4, "0,1 1,0 3,0 4,1 4,2 2,3.5 2,4; 2,6"},
    {'-', 3, "0,3 3,3"},
    {'+', 4, "0,3 4,3; 2,1 2,5"},
    {'=', 3, "0,2 3,2; 0,4 3,4"},
    {':', 0, "0,2; 0,6"},
    {'\'', 0, "0,0 0,1.5"},
    {'/', 3, "3,0 0,6"},
    {'(', 1.5, "1.5,0 0,1.5 0,4.5 1.5,6"},
    {')', 1.5, "0,0 1.5,1.5 1.5,4.5 0,6"},
    {'<', 3, "3,0.5 0,3 3,5.5"},
    {'>', 3, "0,0.5 3,3 0,5.5"},
};

const double SPACE_WIDTH = 2.5;  // grid units, like a narrow letter

const Glyph* find_glyph(char ch) {
  for (const Glyph& g : GLYPHS)
    if (g.ch == ch) return &g;
  return nullptr;
}

char mapped(char ch, int capitals) {
  if (capitals && ch >= 'a' && ch <= 'z') return (char)(ch - 'a' + 'A');
  return ch;
}

double unit_of(const AssetTextStyle& style) {
  double u = (style.height - style.stroke) / 6.0;
  return u > 0 ? u : 0;
}

double gap_of(const AssetTextStyle& style) { return unit_of(style) + style.stroke * 0.5; }

// Parses the polylines of one glyph into lists of grid points.
std::vector<std::vector<double>> glyph_polylines(const Glyph& g) {
  std::vector<std::vector<double>> lines(1);
  const char* p = g.strokes;
  while (*p) {
    if (*p == ';') {
      lines.emplace_back();
      p++;
      continue;
    }
    if (*p == ' ') {
      p++;
      continue;
    }
    char* end = nullptr;
    double x = strtod(p, &end);
    if (end == p || *end != ',') break;  // the table is fixed: never happens
    p = end + 1;
    double y = strtod(p, &end);
    p = end;
    lines.back().push_back(x);
    lines.back().push_back(y);
  }
  return lines;
}

}  // namespace

int asset_text_supported(const std::string& text, int capitals, char* bad_out) {
  for (char ch : text) {
    if (ch == ' ') continue;
    if (!find_glyph(mapped(ch, capitals))) {
      if (bad_out) *bad_out = ch;
      return 0;
    }
  }
  return 1;
}

double asset_text_width(const std::string& text, const AssetTextStyle& style) {
  double u = unit_of(style), gap = gap_of(style), width = 0;
  int letters = 0;
  for (char ch : text) {
    const Glyph* g = find_glyph(mapped(ch, style.capitals));
    double w = ch == ' ' ? SPACE_WIDTH * u : g ? g->width * u + style.stroke : 0;
    width += w;
    letters++;
  }
  return letters ? width + gap * (letters - 1) : 0;
}

void asset_draw_text(AssetImage* image, double x, double y, const std::string& text,
                     const AssetTextStyle& style, int cls) {
  double u = unit_of(style), gap = gap_of(style), half = style.stroke / 2;
  double pen = x;
  for (char ch : text) {
    const Glyph* g = find_glyph(mapped(ch, style.capitals));
    if (ch == ' ' || !g) {
      pen += SPACE_WIDTH * u + gap;
      continue;
    }
    for (const std::vector<double>& line : glyph_polylines(*g)) {
      size_t points = line.size() / 2;
      for (size_t i = 0; i < points; i++) {
        size_t j = points == 1 ? i : i + 1;
        if (j >= points) break;
        asset_fill_line(image, pen + half + line[2 * i] * u, y + half + line[2 * i + 1] * u,
                        pen + half + line[2 * j] * u, y + half + line[2 * j + 1] * u,
                        style.stroke, cls);
      }
    }
    pen += g->width * u + style.stroke + gap;
  }
}
