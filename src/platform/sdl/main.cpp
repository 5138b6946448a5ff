// Entry point of vantrel on SDL2: the program's arguments become one command
// line, searched for options as the game has always done. --version and
// --help answer on standard output before anything is opened.
#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/shell.h"
#include "platform/usage.h"

#ifdef VANTREL_ICON_PIXELS
#include "vantrel_icon_pixels.h"  // made at build time from assets/icon
#endif

int main(int argc, char** argv) {
  if (usage_handle_arguments(argc, argv)) return 0;
#ifdef VANTREL_ICON_PIXELS
  g_sdl.icon_rgba = VANTREL_ICON_RGBA;
  g_sdl.icon_side = VANTREL_ICON_SIDE;
#endif
  static char command_line[4096];
  options_join(argc, argv, command_line, sizeof command_line);
  platform_exit(shell_main(command_line));
}
