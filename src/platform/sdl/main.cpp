// Entry point of vantrel on SDL2: the program's arguments become one command
// line, searched for options as the game has always done.
#include "platform/platform.h"
#include "platform/shell.h"

int main(int argc, char** argv) {
  static char command_line[4096];
  options_join(argc, argv, command_line, sizeof command_line);
  platform_exit(shell_main(command_line));
}
