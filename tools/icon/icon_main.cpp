// vantrel-icon: renders the game's icon from its readable description in
// assets/icon into a PNG per size, a Windows .ico and, for the SDL window, a
// C header of one size's pixels.
//   vantrel-icon ICON_FILE OUT_DIR [--header FILE SIZE]
// The description names a drawing (image-source statements, painted in
// classes) for each output size, and a colour or a two-colour noise for each
// class. A drawing is averaged down by a whole factor, so the small sizes can
// have drawings of their own, placed on the pixel grid, and stay sharp.
// Exit status 0 on success, 1 with "file:line: message" on a bad
// description or an unwritable file, 2 on bad usage.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "assets/asset_source.h"
#include "common/png_write.h"
#include "support/random.h"

namespace {

const int CLASS_COUNT = 17;
const int MAX_ICON_SIDE = 256;  // the largest size an .ico entry can name

struct ClassPaint {
  int defined = 0;
  uint8_t rgba[2][4] = {};  // two colours: noise picks one per output pixel
};

struct IconDescription {
  std::string file;
  ClassPaint paint[CLASS_COUNT];
  std::map<int, std::string> drawing_for_size;  // output side -> drawing file
};

struct Rgba {
  int side = 0;
  std::vector<uint8_t> pixels;  // R, G, B, A per pixel, rows top first
};

int parse_colour(const std::string& word, const std::string& alpha, uint8_t* out) {
  if (word.size() != 6 || word.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return 0;
  unsigned long value = strtoul(word.c_str(), nullptr, 16);
  out[0] = (uint8_t)(value >> 16);
  out[1] = (uint8_t)(value >> 8);
  out[2] = (uint8_t)value;
  char* end = nullptr;
  long a = alpha.empty() ? 255 : strtol(alpha.c_str(), &end, 10);
  if (!alpha.empty() && (*end != 0 || a < 0 || a > 255)) return 0;
  out[3] = (uint8_t)a;
  return 1;
}

int fail(const std::string& where, const std::string& message) {
  fprintf(stderr, "%s: %s\n", where.c_str(), message.c_str());
  return 0;
}

// Statements: colour CLASS RRGGBB [ALPHA]; noise CLASS RRGGBB RRGGBB [ALPHA];
// draw FILE SIZE... (FILE relative to the description's folder).
int read_description(const char* path, IconDescription* icon) {
  icon->file = path;
  FILE* f = fopen(path, "rb");
  if (!f) return fail(path, "cannot read");
  std::string folder = icon->file.substr(0, icon->file.find_last_of('/') + 1);
  char line[512];
  int number = 0;
  int ok = 1;
  while (ok && fgets(line, sizeof line, f)) {
    number++;
    std::string text = line;
    text = text.substr(0, text.find('#'));
    std::istringstream words(text);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty()) continue;
    std::string where = icon->file + ":" + std::to_string(number);
    if (w[0] == "colour" || w[0] == "noise") {
      int noise = w[0] == "noise";
      size_t need = noise ? 4 : 3;
      int cls = w.size() >= 2 ? atoi(w[1].c_str()) : -1;
      if (w.size() < need || w.size() > need + 1 || cls < 0 || cls >= CLASS_COUNT ||
          w[1].find_first_not_of("0123456789") != std::string::npos) {
        ok = fail(where, "expected " + w[0] + " CLASS RRGGBB" + (noise ? " RRGGBB" : "") + " [ALPHA]");
        break;
      }
      std::string alpha = w.size() > need ? w[need] : "";
      ClassPaint* p = &icon->paint[cls];
      if (!parse_colour(w[2], alpha, p->rgba[0]) ||
          !parse_colour(w[noise ? 3 : 2], alpha, p->rgba[1])) {
        ok = fail(where, "colours are six hex digits, alpha 0 to 255");
        break;
      }
      p->defined = 1;
    } else if (w[0] == "draw" && w.size() >= 3) {
      for (size_t i = 2; i < w.size(); i++) {
        int side = atoi(w[i].c_str());
        if (side < 1 || side > MAX_ICON_SIDE || w[i].find_first_not_of("0123456789") != std::string::npos) {
          ok = fail(where, "sizes are 1 to 256, not '" + w[i] + "'");
          break;
        }
        icon->drawing_for_size[side] = folder + w[1];
      }
    } else {
      ok = fail(where, "unknown statement '" + w[0] + "' (colour, noise, draw)");
    }
  }
  fclose(f);
  if (ok && icon->drawing_for_size.empty()) ok = fail(path, "no draw statement");
  return ok;
}

// Averages factor x factor blocks of the drawing, each class in its colour
// (premultiplied, so transparent pixels do not darken the edges).
int render_size(const IconDescription& icon, const AssetImage& drawing, int side, Rgba* out) {
  if (drawing.width != drawing.height || drawing.width % side != 0)
    return fail(drawing.source, "a " + std::to_string(drawing.width) + " px drawing cannot make " +
                                    std::to_string(side) + " px: the side must divide it");
  int factor = drawing.width / side;
  out->side = side;
  out->pixels.assign((size_t)side * side * 4, 0);
  for (int y = 0; y < side; y++) {
    for (int x = 0; x < side; x++) {
      int pick = (int)(hash_u32((uint32_t)(y * MAX_ICON_SIDE + x) * 2654435761u + (uint32_t)side) & 1);
      double sum[4] = {0, 0, 0, 0};
      for (int dy = 0; dy < factor; dy++) {
        for (int dx = 0; dx < factor; dx++) {
          int cls = asset_class_at(&drawing, x * factor + dx, y * factor + dy);
          const ClassPaint& p = icon.paint[cls];
          if (!p.defined)
            return fail(drawing.source, "class " + std::to_string(cls) + " has no colour in " + icon.file);
          const uint8_t* c = p.rgba[pick];
          double a = c[3] / 255.0;
          for (int k = 0; k < 3; k++) sum[k] += c[k] * a;
          sum[3] += a;
        }
      }
      uint8_t* o = &out->pixels[((size_t)y * side + x) * 4];
      if (sum[3] > 0)
        for (int k = 0; k < 3; k++) o[k] = (uint8_t)(sum[k] / sum[3] + 0.5);
      o[3] = (uint8_t)(sum[3] * 255.0 / (factor * factor) + 0.5);
    }
  }
  return 1;
}

void put_u16(std::vector<uint8_t>* b, int v) {
  b->push_back((uint8_t)v);
  b->push_back((uint8_t)(v >> 8));
}
void put_u32(std::vector<uint8_t>* b, uint32_t v) {
  put_u16(b, (int)(v & 0xFFFF));
  put_u16(b, (int)(v >> 16));
}

// An .ico entry as a 32-bit DIB: BITMAPINFOHEADER with the height doubled
// for the AND mask, rows bottom first in B, G, R, A, then the 1-bit mask.
std::vector<uint8_t> ico_dib(const Rgba& image) {
  std::vector<uint8_t> b;
  int side = image.side;
  put_u32(&b, 40);
  put_u32(&b, (uint32_t)side);
  put_u32(&b, (uint32_t)side * 2);
  put_u16(&b, 1);   // planes
  put_u16(&b, 32);  // bits per pixel
  for (int i = 0; i < 6; i++) put_u32(&b, 0);  // BI_RGB, sizes, resolutions, colours
  for (int y = side - 1; y >= 0; y--) {
    for (int x = 0; x < side; x++) {
      const uint8_t* p = &image.pixels[((size_t)y * side + x) * 4];
      b.insert(b.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  int mask_row = (side + 31) / 32 * 4;
  for (int y = side - 1; y >= 0; y--) {
    std::vector<uint8_t> row((size_t)mask_row, 0);
    for (int x = 0; x < side; x++)
      if (image.pixels[((size_t)y * side + x) * 4 + 3] == 0) row[(size_t)x / 8] |= (uint8_t)(0x80 >> (x % 8));
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

int write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  int ok = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f) ok &= fclose(f) == 0;
  if (!ok) fail(path, "cannot write");
  return ok;
}

// The 256 px entry is PNG, as Windows expects of that size; the others are
// DIBs, which every reader of .ico files takes.
int write_ico(const std::string& path, const std::vector<Rgba>& images) {
  std::vector<std::vector<uint8_t>> data;
  for (const Rgba& image : images) {
    if (image.side < MAX_ICON_SIDE) {
      data.push_back(ico_dib(image));
      continue;
    }
    int size = 0;
    uint8_t* png = png_encode_rgba(image.pixels.data(), image.side, image.side, 4, &size);
    if (!png) return fail(path, "cannot encode the PNG entry");
    data.emplace_back(png, png + size);
    free(png);
  }
  std::vector<uint8_t> b;
  put_u16(&b, 0);
  put_u16(&b, 1);  // icon
  put_u16(&b, (int)images.size());
  uint32_t offset = 6 + 16 * (uint32_t)images.size();
  for (size_t i = 0; i < images.size(); i++) {
    uint8_t side = (uint8_t)(images[i].side & 0xFF);  // 0 stands for 256
    b.insert(b.end(), {side, side, 0, 0});
    put_u16(&b, 1);
    put_u16(&b, 32);
    put_u32(&b, (uint32_t)data[i].size());
    put_u32(&b, offset);
    offset += (uint32_t)data[i].size();
  }
  for (const std::vector<uint8_t>& d : data) b.insert(b.end(), d.begin(), d.end());
  return write_bytes(path, b);
}

int write_header(const std::string& path, const Rgba& image) {
  std::string text =
      "// Made by vantrel-icon from assets/icon: the window icon's pixels.\n#pragma once\n\n"
      "#define VANTREL_ICON_SIDE " + std::to_string(image.side) +
      "\nstatic const unsigned char VANTREL_ICON_RGBA[] = {\n";
  for (size_t i = 0; i < image.pixels.size(); i++)
    text += std::to_string(image.pixels[i]) + ((i % 16 == 15) ? ",\n" : ",");
  text += "};\n";
  return write_bytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 6 && strcmp(argv[3], "--header") == 0)) {
    fprintf(stderr, "usage: vantrel-icon ICON_FILE OUT_DIR [--header FILE SIZE]\n");
    return 2;
  }
  IconDescription icon;
  if (!read_description(argv[1], &icon)) return 1;
  int header_side = argc == 6 ? atoi(argv[5]) : 0;
  if (argc == 6 && !icon.drawing_for_size.count(header_side)) {
    fprintf(stderr, "vantrel-icon: %s draws no %s px icon\n", argv[1], argv[5]);
    return 2;
  }
  std::map<std::string, AssetImage> drawings;
  std::vector<Rgba> images;
  for (const auto& [side, file] : icon.drawing_for_size) {
    if (!drawings.count(file)) {
      std::string error;
      if (!asset_render_file(file, &drawings[file], &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
      }
    }
    Rgba image;
    if (!render_size(icon, drawings[file], side, &image)) return 1;
    std::string png = std::string(argv[2]) + "/vantrel_" + std::to_string(side) + ".png";
    if (!png_write_rgba(png.c_str(), image.pixels.data(), side, side)) {
      fail(png, "cannot write");
      return 1;
    }
    if (side == header_side && !write_header(argv[4], image)) return 1;
    images.push_back(std::move(image));
  }
  return write_ico(std::string(argv[2]) + "/vantrel.ico", images) ? 0 : 1;
}
