// The image source parser of vantrel-assets on arbitrary text. The generator
// reads only our own files, but a typo in one must come back as
// "file:line: message", never as a crash, a bad read or an endless loop, and a
// source it accepts must give an image of legal size and classes.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <regex>
#include <string>

#include "assets/asset_source.h"

namespace {

// Copies of the *.inc files beside this name, so that `include` in the title
// sources resolves as it does in the real tree.
const std::string SOURCE_NAME = std::string(FUZZ_INCLUDE_DIR) + "/fuzz.img";
// "<file>:<line>: <message>" as printed: a message with a NUL ends there.
const std::regex LOCATED("\\.(img|inc):[1-9][0-9]*: .");

// Inputs the harness leaves out: an include climbing out of the folder (it
// could name /dev/zero) and images beyond room size (every shape then costs
// more without reaching new code).
int worth_running(const std::string& text) {
  if (text.find("include") != std::string::npos && text.find("..") != std::string::npos) return 0;
  for (size_t at = text.find("image"); at != std::string::npos; at = text.find("image", at + 1)) {
    double w = 0, h = 0;
    if (sscanf(text.c_str() + at, "image %*s %lf %lf", &w, &h) == 2 && w * h > 800.0 * 600.0) return 0;
  }
  return 1;
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
    if (!std::regex_search(error.c_str(), LOCATED)) {
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
