// The runner's command line. Its own options are ordinary long options; all
// other arguments (+cheat, -sound, +25 ...) form the game's command line,
// which the shell searches for its options as the game always does.
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/headless/headless.h"

namespace {

int parse_long(const char* text, long low, long* out) {
  if (!text || !*text) return 0;
  errno = 0;
  char* end = nullptr;
  long value = strtol(text, &end, 10);
  if (errno || *end || value < low || text[0] == '+' || text[0] == '-' || text[0] == ' ') return 0;
  *out = value;
  return 1;
}

int parse_frame_list(const char* text, std::vector<long>* out) {
  out->clear();
  const char* c = text;
  while (true) {
    const char* end = strchr(c, ',');
    size_t len = end ? (size_t)(end - c) : strlen(c);
    char number[32];
    if (len == 0 || len >= sizeof number) return 0;
    memcpy(number, c, len);
    number[len] = 0;
    long value;
    if (!parse_long(number, 0, &value)) return 0;
    out->push_back(value);
    if (!end) return 1;
    c = end + 1;
  }
}

const char* const TAKES_VALUE[] = {"--frames", "--dt", "--script", "--capture", "--capture-every",
                                   "--capture-frames", "--wav", "--save-dir", "--trace"};

}  // namespace

int headless_parse_args(int argc, char** argv, HeadlessOptions* options, char* error,
                        int error_bytes) {
  int game_used = 0;
  int only_game = 0;
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    if (only_game || strncmp(arg, "--", 2) != 0) {
      int len = (int)strlen(arg);
      if (game_used + len + 2 > (int)sizeof options->game_line) {
        snprintf(error, error_bytes, "the game's command line is too long");
        return 0;
      }
      if (game_used) options->game_line[game_used++] = ' ';
      memcpy(options->game_line + game_used, arg, len + 1);
      game_used += len;
      continue;
    }
    if (strcmp(arg, "--") == 0) {
      only_game = 1;
      continue;
    }
    if (strcmp(arg, "--stats") == 0) {
      options->stats = 1;
      continue;
    }
    if (strcmp(arg, "--portable") == 0) {
      options->portable = 1;
      continue;
    }
    if (strcmp(arg, "--pace") == 0) {
      options->pace = 1;
      continue;
    }
    if (strcmp(arg, "--help") == 0) {
      options->help = 1;
      continue;
    }
    // --name VALUE or --name=VALUE
    const char* equals = strchr(arg, '=');
    size_t name_len = equals ? (size_t)(equals - arg) : strlen(arg);
    const char* name = nullptr;
    for (const char* known : TAKES_VALUE)
      if (strlen(known) == name_len && strncmp(arg, known, name_len) == 0) name = known;
    if (!name) {
      snprintf(error, error_bytes, "unknown option %.*s", (int)name_len, arg);
      return 0;
    }
    const char* value = equals ? equals + 1 : nullptr;
    if (!value) {
      if (i + 1 >= argc) {
        snprintf(error, error_bytes, "%s needs a value", name);
        return 0;
      }
      value = argv[++i];
    }
    long number = 0;
    if (strcmp(name, "--frames") == 0) {
      if (!parse_long(value, 0, &number)) goto bad_value;
      options->frames = number;
    } else if (strcmp(name, "--dt") == 0) {
      char* end = nullptr;
      double dt = strtod(value, &end);
      if (!*value || *end || !isfinite(dt) || dt <= 0 || dt > 1) goto bad_value;
      options->dt = dt;
    } else if (strcmp(name, "--capture-every") == 0) {
      if (!parse_long(value, 1, &number) || number > 1000000000) goto bad_value;
      options->capture_every = (int)number;
    } else if (strcmp(name, "--capture-frames") == 0) {
      if (!parse_frame_list(value, &options->capture_frames)) goto bad_value;
    } else {
      if (!*value) goto bad_value;
      if (strcmp(name, "--script") == 0) options->script_path = value;
      if (strcmp(name, "--capture") == 0) options->capture_dir = value;
      if (strcmp(name, "--wav") == 0) options->wav_path = value;
      if (strcmp(name, "--save-dir") == 0) options->save_dir = value;
      if (strcmp(name, "--trace") == 0) options->trace_path = value;
    }
    continue;
  bad_value:
    snprintf(error, error_bytes, "bad value for %s: \"%s\"", name, value);
    return 0;
  }
  if (options->capture_dir && !options->capture_every && options->capture_frames.empty()) {
    snprintf(error, error_bytes, "--capture needs --capture-every K or --capture-frames a,b,c");
    return 0;
  }
  if (!options->capture_dir && (options->capture_every || !options->capture_frames.empty())) {
    snprintf(error, error_bytes, "--capture-every and --capture-frames need --capture DIR");
    return 0;
  }
  return 1;
}
