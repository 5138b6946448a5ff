// The command line on arbitrary arguments (the input split at NUL bytes into
// argv): the headless runner's own options, where a refusal must say why and
// an acceptance must leave options the runner can act on and a game line that
// fits its buffer; and the game's, joined into a buffer of any size and read.
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/shell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words(1, "vantrel-headless");
  std::string word;
  for (size_t i = 0; i < size; i++) {
    if (data[i]) word.push_back((char)data[i]);
    else words.push_back(std::move(word)), word.clear();
  }
  if (size) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);

  HeadlessOptions* options = new HeadlessOptions();
  char error[256];
  error[0] = 0;
  int ok = headless_parse_args((int)words.size(), argv.data(), options, error, sizeof error);
  if (!ok && !error[0]) abort();  // a refusal says why
  if (ok && (strnlen(options->game_line, sizeof options->game_line) >= sizeof options->game_line ||
             options->frames < -1 || !(options->dt > 0 && options->dt <= 1) || !isfinite(options->dt) ||
             options->capture_every < 0))
    abort();
  for (long f : options->capture_frames)
    if (ok && f < 0) abort();
  delete options;

  // A heap buffer of exactly this size, so a byte past it is caught.
  size_t bytes = 1 + size % 96;
  char* joined = (char*)malloc(bytes);
  int used = options_join((int)words.size(), argv.data(), joined, (int)bytes);
  if (used < 0 || (size_t)used >= bytes || joined[used] != 0 || strlen(joined) != (size_t)used) abort();
  options_parse(joined);
  free(joined);
  return 0;
}
