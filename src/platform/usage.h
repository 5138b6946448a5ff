// The options and keys as the player reads them: one table that --help
// prints and from which the build writes the man page and the README's
// section, so none of them can drift from the others. The game's own option
// parsing stays in options.cpp; this is what it means, in words.
#pragma once

#include <stdio.h>

struct UsageEntry {
  const char* name;  // an option word or key names, as the player types them
  const char* text;  // one sentence, UTF-8, no line breaks
};

extern const char* const USAGE_TAGLINE;   // a few words: the man page's NAME line
extern const char* const USAGE_SUMMARY;   // one sentence: what the game is
extern const char* const USAGE_WARNING;   // the photosensitivity warning
extern const UsageEntry USAGE_OPTIONS[];  // the game's words, then --help, --version
extern const int USAGE_OPTION_COUNT;
extern const UsageEntry USAGE_KEYS[];
extern const int USAGE_KEY_COUNT;
extern const UsageEntry USAGE_FILES[];    // where the data and the save are
extern const int USAGE_FILE_COUNT;

// The version from the build ("1.0.0").
const char* usage_version(void);

void usage_print_version(FILE* out);
void usage_print_help(FILE* out);

// For "--version" or "--help" among argv[1..]: prints it to standard output
// and returns 1 (the caller exits with 0, having opened nothing); else 0.
int usage_handle_arguments(int argc, char** argv);
