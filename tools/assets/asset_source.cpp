// Image source parser. A file is read into lines; each line is split into
// words (a double-quoted string is one word, '#' opening a word starts a
// comment) and dispatched through a table of statements. Character grids
// switch to raw rows until `end`, because '#' and spaces are cells there.
#include "assets/asset_source.h"

#include <ctype.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "assets/asset_font.h"

namespace {

const int MAX_INCLUDE_DEPTH = 8;
const double MAX_COORD = 1e6;

struct Word {
  std::string text;
  int quoted = 0;
};

struct Source {
  std::string file;
  std::vector<std::string> lines;
  size_t next = 0;  // index of the next line to read
};

struct Parser {
  AssetImage* image = nullptr;
  AssetSourceInfo info;
  int legend[256];
  int have_image = 0;
  std::string error;
  int depth = 0;
};

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char ch : text) {
    if (ch == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(ch);
    }
  }
  if (!line.empty()) {
    if (line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

int is_blank(char ch) { return ch == ' ' || ch == '\t'; }

// Splits a statement line; returns 0 (with *problem) on an unclosed quote.
int split_words(const std::string& line, std::vector<Word>* words, std::string* problem) {
  words->clear();
  size_t i = 0;
  while (i < line.size()) {
    if (is_blank(line[i])) {
      i++;
      continue;
    }
    if (line[i] == '#') break;
    Word w;
    if (line[i] == '"') {
      size_t close = line.find('"', i + 1);
      if (close == std::string::npos) {
        *problem = "missing closing quote";
        return 0;
      }
      w.text = line.substr(i + 1, close - i - 1);
      w.quoted = 1;
      i = close + 1;
    } else {
      while (i < line.size() && !is_blank(line[i])) w.text.push_back(line[i++]);
    }
    words->push_back(w);
  }
  return 1;
}

std::string directory_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int read_text(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  std::stringstream s;
  s << in.rdbuf();
  *text = s.str();
  return 1;
}

void default_legend(int* legend) {
  for (int i = 0; i < 256; i++) legend[i] = -1;
  legend['.'] = 0;
  legend[' '] = 0;
  legend['#'] = 1;
  for (int c = 2; c <= 9; c++) legend['0' + c] = c;
  for (int c = 10; c <= 16; c++) legend['a' + c - 10] = c;
}

// A statement's view of its words, with errors that name the word.
struct Args {
  const std::vector<Word>* words;
  std::string* problem;

  size_t count() const { return words->size() - 1; }
  const Word& at(size_t i) const { return (*words)[i + 1]; }

  int number(size_t i, const char* what, double* out) const {
    const std::string& t = at(i).text;
    char* end = nullptr;
    double v = strtod(t.c_str(), &end);
    if (t.empty() || at(i).quoted || *end != 0 || !isfinite(v)) {
      *problem = std::string(what) + " must be a number, not '" + t + "'";
      return 0;
    }
    if (fabs(v) > MAX_COORD) {
      *problem = std::string(what) + " " + t + " is out of range";
      return 0;
    }
    *out = v;
    return 1;
  }
  int integer(size_t i, const char* what, int lo, int hi, int* out) const {
    double v;
    if (!number(i, what, &v)) return 0;
    if (v != floor(v) || v < lo || v > hi) {
      *problem = std::string(what) + " must be a whole number from " + std::to_string(lo) +
                 " to " + std::to_string(hi) + ", not '" + at(i).text + "'";
      return 0;
    }
    *out = (int)v;
    return 1;
  }
  int cls(size_t i, int* out) const { return integer(i, "class", 0, 16, out); }
  int numbers(size_t first, size_t n, const char* const* names, double* out) const {
    for (size_t k = 0; k < n; k++)
      if (!number(first + k, names[k], &out[k])) return 0;
    return 1;
  }
};

int parse_source(Parser* p, Source* src);

int need_image(Parser* p, std::string* problem) {
  if (p->have_image) return 1;
  *problem = "the first statement must be 'image NAME WIDTH HEIGHT'";
  return 0;
}

int name_is_plain(const std::string& name) {
  if (name.size() < 5 || name.size() > 64) return 0;
  for (char ch : name) {
    if (!(isalnum((unsigned char)ch) || ch == '_' || ch == '-' || ch == '.')) return 0;
  }
  return name.compare(name.size() - 4, 4, ".png") == 0;
}

int st_image(Parser* p, const Args& a, Source*, int line_no) {
  if (p->have_image) {
    *a.problem = p->depth ? "an included file cannot start another image"
                          : "'image' may appear only once, as the first statement";
    return 0;
  }
  if (a.count() != 3) {
    *a.problem = "usage: image NAME WIDTH HEIGHT";
    return 0;
  }
  if (!name_is_plain(a.at(0).text)) {
    *a.problem = "image name '" + a.at(0).text + "' must be a plain file name ending in .png";
    return 0;
  }
  int w, h;
  if (!a.integer(1, "width", 1, ASSET_MAX_SIDE, &w) || !a.integer(2, "height", 1, ASSET_MAX_SIDE, &h))
    return 0;
  p->image->name = a.at(0).text;
  asset_image_init(p->image, w, h, 0);
  p->have_image = 1;
  p->info.image_line = line_no;
  return 1;
}

int st_fill(Parser* p, const Args& a, Source*, int) {
  int c;
  if (a.count() != 1) {
    *a.problem = "usage: fill CLASS";
    return 0;
  }
  if (!a.cls(0, &c)) return 0;
  asset_image_init(p->image, p->image->width, p->image->height, c);
  return 1;
}

int st_legend(Parser* p, const Args& a, Source*, int) {
  int c;
  if (a.count() != 2 || a.at(0).text.size() != 1) {
    *a.problem = "usage: legend CHAR CLASS (one character)";
    return 0;
  }
  if (!a.cls(1, &c)) return 0;
  p->legend[(unsigned char)a.at(0).text[0]] = c;
  return 1;
}

int st_grid(Parser* p, const Args& a, Source* src, int line_no) {
  int cell;
  double origin[2] = {0, 0};
  static const char* const names[2] = {"x", "y"};
  if (a.count() != 1 && a.count() != 3) {
    *a.problem = "usage: grid CELL [X Y], rows, then 'end'";
    return 0;
  }
  if (!a.integer(0, "cell size", 1, ASSET_MAX_SIDE, &cell)) return 0;
  if (a.count() == 3 && !a.numbers(1, 2, names, origin)) return 0;
  AssetImage* img = p->image;
  for (int row = 0;; row++) {
    if (src->next >= src->lines.size()) {
      *a.problem = "grid from line " + std::to_string(line_no) + " has no 'end'";
      return 0;
    }
    const std::string& line = src->lines[src->next++];
    std::vector<Word> words;
    std::string ignored;
    if (split_words(line, &words, &ignored) && words.size() == 1 && words[0].text == "end" &&
        !words[0].quoted)
      return 1;
    double y = origin[1] + (double)row * cell;
    for (size_t col = 0; col < line.size(); col++) {
      unsigned char ch = (unsigned char)line[col];
      double x = origin[0] + (double)col * cell;
      int inside = x < img->width && y < img->height && x + cell > 0 && y + cell > 0;
      if (!inside && is_blank((char)ch)) continue;
      if (p->legend[ch] < 0) {
        char text[96];
        snprintf(text, sizeof(text), "grid character '%c' (column %zu) has no legend entry",
                 ch >= 32 && ch < 127 ? ch : '?', col + 1);
        p->error = src->file + ":" + std::to_string(src->next) + ": " + text;
        return -1;
      }
      if (!inside) {
        p->error = src->file + ":" + std::to_string(src->next) + ": grid cell at column " +
                   std::to_string(col + 1) + " lies outside the image";
        return -1;
      }
      asset_fill_rect(img, x, y, cell, cell, p->legend[ch]);
    }
  }
}

int st_rect(Parser* p, const Args& a, Source*, int) {
  static const char* const names[4] = {"x", "y", "width", "height"};
  double v[4];
  int c;
  if (a.count() != 5) {
    *a.problem = "usage: rect X Y W H CLASS";
    return 0;
  }
  if (!a.numbers(0, 4, names, v) || !a.cls(4, &c)) return 0;
  asset_fill_rect(p->image, v[0], v[1], v[2], v[3], c);
  return 1;
}

int st_frame(Parser* p, const Args& a, Source*, int) {
  static const char* const names[5] = {"x", "y", "width", "height", "thickness"};
  double v[5];
  int c;
  if (a.count() != 6) {
    *a.problem = "usage: frame X Y W H THICKNESS CLASS";
    return 0;
  }
  if (!a.numbers(0, 5, names, v) || !a.cls(5, &c)) return 0;
  asset_draw_frame(p->image, v[0], v[1], v[2], v[3], v[4], c);
  return 1;
}

int point_list(const Args& a, size_t first, std::vector<double>* xy) {
  xy->clear();
  for (size_t i = first; i < a.count(); i++) {
    double v;
    if (!a.number(i, (i - first) % 2 ? "point y" : "point x", &v)) return 0;
    xy->push_back(v);
  }
  return 1;
}

int st_poly(Parser* p, const Args& a, Source*, int) {
  int c;
  std::vector<double> xy;
  if (a.count() < 7 || (a.count() - 1) % 2 != 0) {
    *a.problem = "usage: poly CLASS X1 Y1 X2 Y2 X3 Y3 ... (at least three points)";
    return 0;
  }
  if (!a.cls(0, &c) || !point_list(a, 1, &xy)) return 0;
  asset_fill_poly(p->image, xy.data(), (int)xy.size() / 2, c);
  return 1;
}

int st_path(Parser* p, const Args& a, Source*, int) {
  int c;
  double width;
  std::vector<double> xy;
  if (a.count() < 4 || (a.count() - 2) % 2 != 0) {
    *a.problem = "usage: path WIDTH CLASS X1 Y1 X2 Y2 ... (at least one point)";
    return 0;
  }
  if (!a.number(0, "width", &width) || !a.cls(1, &c) || !point_list(a, 2, &xy)) return 0;
  size_t n = xy.size() / 2;
  for (size_t i = 0; i < n; i++) {
    size_t j = n == 1 ? 0 : i + 1;
    if (j >= n) break;
    asset_fill_line(p->image, xy[2 * i], xy[2 * i + 1], xy[2 * j], xy[2 * j + 1], width, c);
  }
  return 1;
}

int st_circle(Parser* p, const Args& a, Source*, int) {
  static const char* const names[3] = {"centre x", "centre y", "radius"};
  double v[3];
  int c;
  if (a.count() != 4) {
    *a.problem = "usage: circle CX CY R CLASS";
    return 0;
  }
  if (!a.numbers(0, 3, names, v) || !a.cls(3, &c)) return 0;
  asset_fill_ellipse(p->image, v[0], v[1], v[2], v[2], c);
  return 1;
}

int st_ellipse(Parser* p, const Args& a, Source*, int) {
  static const char* const names[4] = {"centre x", "centre y", "x radius", "y radius"};
  double v[4];
  int c;
  if (a.count() != 5) {
    *a.problem = "usage: ellipse CX CY RX RY CLASS";
    return 0;
  }
  if (!a.numbers(0, 4, names, v) || !a.cls(4, &c)) return 0;
  asset_fill_ellipse(p->image, v[0], v[1], v[2], v[3], c);
  return 1;
}

int st_sector(Parser* p, const Args& a, Source*, int) {
  static const char* const names[6] = {"centre x", "centre y", "inner radius", "outer radius",
                                       "start angle", "end angle"};
  double v[6];
  int c;
  if (a.count() != 7) {
    *a.problem = "usage: sector CX CY R0 R1 A0 A1 CLASS";
    return 0;
  }
  if (!a.numbers(0, 6, names, v) || !a.cls(6, &c)) return 0;
  asset_fill_sector(p->image, v[0], v[1], v[2], v[3], v[4], v[5], c);
  return 1;
}

int st_line(Parser* p, const Args& a, Source*, int) {
  static const char* const names[5] = {"x1", "y1", "x2", "y2", "width"};
  double v[5];
  int c;
  if (a.count() != 6) {
    *a.problem = "usage: line X1 Y1 X2 Y2 WIDTH CLASS";
    return 0;
  }
  if (!a.numbers(0, 5, names, v) || !a.cls(5, &c)) return 0;
  asset_fill_line(p->image, v[0], v[1], v[2], v[3], v[4], c);
  return 1;
}

int text_statement(Parser* p, const Args& a, int capitals, const char* usage) {
  static const char* const names[4] = {"x", "y", "height", "stroke"};
  double v[4];
  int c;
  if ((a.count() != 6 && a.count() != 7) || !a.at(5).quoted) {
    *a.problem = usage;
    return 0;
  }
  if (!a.numbers(0, 4, names, v) || !a.cls(4, &c)) return 0;
  if (v[2] <= 0 || v[3] <= 0 || v[3] > v[2]) {
    *a.problem = "text needs 0 < STROKE <= HEIGHT";
    return 0;
  }
  const std::string& text = a.at(5).text;
  char bad = 0;
  if (!asset_text_supported(text, capitals, &bad)) {
    *a.problem = std::string("no glyph for '") + bad + "'";
    return 0;
  }
  AssetTextStyle style;
  style.height = v[2];
  style.stroke = v[3];
  style.capitals = capitals;
  double x = v[0];
  if (a.count() == 7) {
    const std::string& align = a.at(6).text;
    double w = asset_text_width(text, style);
    if (align == "center") x -= w / 2;
    else if (align == "right") x -= w;
    else if (align != "left") {
      *a.problem = "alignment must be left, center or right, not '" + align + "'";
      return 0;
    }
  }
  asset_draw_text(p->image, x, v[1], text, style, c);
  return 1;
}

int st_text(Parser* p, const Args& a, Source*, int) {
  return text_statement(p, a, 1, "usage: text X Y HEIGHT STROKE CLASS \"TEXT\" [left|center|right]");
}

int st_script(Parser* p, const Args& a, Source*, int) {
  return text_statement(p, a, 0,
                        "usage: script X Y HEIGHT STROKE CLASS \"Text\" [left|center|right]");
}

int st_include(Parser* p, const Args& a, Source* src, int) {
  if (a.count() != 1) {
    *a.problem = "usage: include FILE";
    return 0;
  }
  if (p->depth >= MAX_INCLUDE_DEPTH) {
    *a.problem = "includes nested too deeply (a file including itself?)";
    return 0;
  }
  Source inner;
  inner.file = directory_of(src->file) + a.at(0).text;
  std::string text;
  if (!read_text(inner.file, &text)) {
    *a.problem = "cannot read included file " + inner.file;
    return 0;
  }
  inner.lines = split_lines(text);
  p->depth++;
  int ok = parse_source(p, &inner);
  p->depth--;
  return ok ? 1 : -1;  // the inner file already set the message
}

typedef int (*Statement)(Parser*, const Args&, Source*, int);

struct StatementEntry {
  const char* name;
  Statement run;
};

const StatementEntry STATEMENTS[] = {
    {"image", st_image},   {"fill", st_fill},     {"legend", st_legend}, {"grid", st_grid},
    {"rect", st_rect},     {"frame", st_frame},   {"poly", st_poly},     {"path", st_path},
    {"circle", st_circle}, {"ellipse", st_ellipse}, {"line", st_line},   {"sector", st_sector},   {"text", st_text},
    {"script", st_script}, {"include", st_include},
};

int parse_source(Parser* p, Source* src) {
  std::vector<Word> words;
  while (src->next < src->lines.size()) {
    int line_no = (int)++src->next;
    std::string problem;
    if (!split_words(src->lines[line_no - 1], &words, &problem)) {
      p->error = src->file + ":" + std::to_string(line_no) + ": " + problem;
      return 0;
    }
    if (words.empty()) continue;
    const StatementEntry* entry = nullptr;
    for (const StatementEntry& e : STATEMENTS)
      if (!words[0].quoted && words[0].text == e.name) entry = &e;
    if (!entry) {
      problem = "unknown statement '" + words[0].text + "'";
    } else if (entry->run != st_image && !need_image(p, &problem)) {
      // problem set
    } else {
      Args args{&words, &problem};
      int r = entry->run(p, args, src, line_no);
      if (r > 0) continue;
      if (r < 0) return 0;  // message already complete
    }
    p->error = src->file + ":" + std::to_string(line_no) + ": " + problem;
    return 0;
  }
  if (!p->have_image && p->depth == 0) {
    p->error = src->file + ":1: no 'image NAME WIDTH HEIGHT' statement";
    return 0;
  }
  return 1;
}

}  // namespace

int asset_render_text(const std::string& text, const std::string& file_name, AssetImage* image_out,
                      std::string* error_out, AssetSourceInfo* info_out) {
  Parser p;
  AssetImage image;
  p.image = &image;
  default_legend(p.legend);
  Source src;
  src.file = file_name;
  src.lines = split_lines(text);
  if (!parse_source(&p, &src)) {
    if (error_out) *error_out = p.error;
    return 0;
  }
  image.source = file_name;
  *image_out = std::move(image);
  if (info_out) *info_out = p.info;
  return 1;
}

int asset_render_file(const std::string& path, AssetImage* image_out, std::string* error_out,
                      AssetSourceInfo* info_out) {
  std::string text;
  if (!read_text(path, &text)) {
    if (error_out) *error_out = path + ":0: cannot read the file";
    return 0;
  }
  return asset_render_text(text, path, image_out, error_out, info_out);
}
