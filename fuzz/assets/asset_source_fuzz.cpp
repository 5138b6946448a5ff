// The image source parser of vantrel-assets on arbitrary text. The generator
// reads only our own files, but a typo in one must come back as
// "file:line: message", never as a crash, a bad read or an endless loop, and a
// source it accepts must give an image of legal size and classes.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "assets/asset_source.h"

namespace {

// The folder holding copies of assets/images/*.inc, so that `include` in the
// title sources resolves as it does in the real tree.
const std::string SOURCE_NAME = std::string(ASSET_FUZZ_INCLUDE_DIR) + "/fuzz.img";

const double MAX_PIXELS = 800.0 * 600.0;  // a room; larger ones only slow the search

std::string first_word(const std::string& line, size_t* after) {
  size_t i = line.find_first_not_of(" \t");
  if (i == std::string::npos) return "";
  size_t end = line.find_first_of(" \t", i);
  if (end == std::string::npos) end = line.size();
  *after = end;
  return line.substr(i, end - i);
}

// Inputs the harness leaves out: an include climbing out of the folder (it
// could name /dev/zero) and images beyond room size (every shape then costs
// more without reaching new code).
int worth_running(const std::string& text) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(start, nl - start);
    start = nl + 1;
    size_t after = 0;
    std::string word = first_word(line, &after);
    if (word == "include" && line.find("..") != std::string::npos) return 0;
    if (word == "image") {
      char name[80];
      double w = 0, h = 0;
      if (sscanf(line.c_str() + after, "%79s %lf %lf", name, &w, &h) == 3 && w * h > MAX_PIXELS)
        return 0;
    }
  }
  return 1;
}

// "<file>:<line>: <message>" with a line number of at least 1, as printed: a
// message with a NUL in it ends there for the reader.
int located(const std::string& error) {
  const char* text = error.c_str();
  const char* colon = strstr(text, ".img:");
  if (!colon) colon = strstr(text, ".inc:");
  if (!colon) return 0;
  const char* p = colon + 5;
  if (*p < '1' || *p > '9') return 0;
  while (*p >= '0' && *p <= '9') p++;
  return p[0] == ':' && p[1] == ' ' && p[2] != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  std::string text((const char*)data, size);
  if (!worth_running(text)) return 0;
  AssetImage image;
  std::string error;
  AssetSourceInfo info;
  if (!asset_render_text(text, SOURCE_NAME, &image, &error, &info)) {
    if (!located(error)) {
      fprintf(stderr, "error without file and line: %s\n", error.c_str());
      abort();
    }
    return 0;
  }
  if (image.width < 1 || image.height < 1 || image.width > ASSET_MAX_SIDE ||
      image.height > ASSET_MAX_SIDE || image.pixels.size() != (size_t)image.width * image.height ||
      info.image_line < 1)
    abort();
  for (uint8_t cls : image.pixels)
    if (cls > 16) abort();
  return 0;
}
