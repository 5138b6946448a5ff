// The words of --help, the man page and the README come from these tables.
// Texts are written once for all three, so they avoid markup of any kind.
#include "platform/usage.h"

#include <string.h>

#include "vantrel_version.h"

const char* const USAGE_TAGLINE = "a platform game in moving noise";

const char* const USAGE_SUMMARY =
    "a platform game in which every frame the whole screen is visual noise, and the "
    "world is seen only because each region's noise moves in its own way";

const char* const USAGE_WARNING =
    "The whole screen is moving noise, and the later rooms flash the entire screen at "
    "the display's refresh rate. Do not play if you are sensitive to flashing images.";

const UsageEntry USAGE_OPTIONS[] = {
    {"-full", "play in an 800 × 600 window (it scales, keeping 4:3, when resized) instead "
              "of the default borderless full screen"},
    {"+full", "full screen (the default)"},
    {"-sound", "no sound and no music"},
    {"+sound", "sound on (the default)"},
    {"+cheat", "developer mode: the keys D, F and L, and loose files in the current folder "
               "replace entries of packed.dat"},
    {"+25", "new games start in room 25"},
    {"-assist", "assist speed: the game runs at three quarters of its speed (music and sounds "
                "keep theirs); for players who need more time to react"},
    {"--help", "print the options and keys, then exit"},
    {"--version", "print the version, then exit"},
};
const int USAGE_OPTION_COUNT = (int)(sizeof USAGE_OPTIONS / sizeof USAGE_OPTIONS[0]);

const UsageEntry USAGE_KEYS[] = {
    {"arrows", "left and right walk, up jumps; in the menu, choose \"continue\" or \"new game\""},
    {"Space", "jump; any key starts from the title screen"},
    {"Esc", "in play: back to the menu; in the menu: quit"},
    {"P or Pause", "pause"},
    {"R", "back to the room's checkpoint"},
    {"D, F, L", "with +cheat only: debug view, fly mode, append the frame time to "
                "qorvel_fps.txt"},
    {"Alt+F4", "quit (as does closing the window)"},
};
const int USAGE_KEY_COUNT = (int)(sizeof USAGE_KEYS / sizeof USAGE_KEYS[0]);

const UsageEntry USAGE_FILES[] = {
    {"./packed.dat", "the game data, looked for first in the current folder"},
    {"<bin>/../share/vantrel/packed.dat",
     "the installed game data, found from the executable's own folder, used when the "
     "current folder has none and none is appended to the executable"},
    {"$XDG_DATA_HOME/Orrinvale/qorvel/save",
     "the saved position (by default ~/.local/share/Orrinvale/qorvel/save), written at every "
     "room change; delete it to start afresh"},
};
const int USAGE_FILE_COUNT = (int)(sizeof USAGE_FILES / sizeof USAGE_FILES[0]);

const char* usage_version(void) { return VANTREL_VERSION; }

void usage_print_version(FILE* out) { fprintf(out, "vantrel %s\n", VANTREL_VERSION); }

enum { HELP_COLUMNS = 79 };

static void print_entries(FILE* out, const UsageEntry* entries, int count) {
  int width = 0;
  for (int i = 0; i < count; i++) {
    int n = (int)strlen(entries[i].name);
    if (n > width) width = n;
  }
  for (int i = 0; i < count; i++) {
    fprintf(out, "  %-*s ", width, entries[i].name);
    // Words wrap before the terminal's 80th column, under the text column;
    // multi-byte UTF-8 characters count a column per byte, a safe overestimate.
    int column = width + 3;
    for (const char* word = entries[i].text; *word;) {
      while (*word == ' ') word++;
      int n = (int)strcspn(word, " ");
      if (column + 1 + n > HELP_COLUMNS && column > width + 3) {
        fprintf(out, "\n%*s", width + 3, "");
        column = width + 3;
      }
      fprintf(out, " %.*s", n, word);
      column += 1 + n;
      word += n;
    }
    fputc('\n', out);
  }
}

void usage_print_help(FILE* out) {
  fprintf(out, "Vantrel %s, %s.\n\nusage: vantrel [option...]\n\n", VANTREL_VERSION, USAGE_TAGLINE);
  fprintf(out, "Options (plain words, found anywhere on the command line):\n");
  print_entries(out, USAGE_OPTIONS, USAGE_OPTION_COUNT);
  fprintf(out, "\nKeys:\n");
  print_entries(out, USAGE_KEYS, USAGE_KEY_COUNT);
  fprintf(out, "\nFiles:\n");
  print_entries(out, USAGE_FILES, USAGE_FILE_COUNT);
  fprintf(out, "\nWarning:\n");
  UsageEntry warning = {"", USAGE_WARNING};
  print_entries(out, &warning, 1);
}

int usage_handle_arguments(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--version") == 0) {
      usage_print_version(stdout);
      return 1;
    }
    if (strcmp(argv[i], "--help") == 0) {
      usage_print_help(stdout);
      return 1;
    }
  }
  return 0;
}
