// Command-line options. Each option is a plain case-sensitive substring test
// on the whole command line, applied in a fixed order so that the "-" form
// of an option wins over the "+" form and options inside longer words count.
#include <string.h>

#include "core/game_state.h"
#include "platform/shell.h"

void options_parse(const char* command_line) {
  const char* line = command_line ? command_line : "";
  g_game.fullscreen = 1;
  g_game.sound_enabled = 1;
  g_game.cheats_enabled = 0;
  g_game.start_room_25 = 0;
  g_game.app_inactive = 0;
  g_game.assist = 0;
  if (strstr(line, "+full")) g_game.fullscreen = 1;
  if (strstr(line, "-full")) g_game.fullscreen = 0;
  if (strstr(line, "+sound")) g_game.sound_enabled = 1;
  if (strstr(line, "-sound")) g_game.sound_enabled = 0;
  if (strstr(line, "+cheat")) g_game.cheats_enabled = 1;
  if (strstr(line, "+25")) g_game.start_room_25 = 25;
  if (strstr(line, "-assist")) g_game.assist = 1;
}

float shell_game_seconds(double elapsed) {
  return (float)(g_game.assist ? elapsed * ASSIST_TIME_SCALE : elapsed);
}

int options_join(int argc, char** argv, char* buffer, int bytes) {
  if (bytes <= 0) return 0;
  int used = 0;
  buffer[0] = 0;
  for (int i = 1; i < argc; i++) {
    if (i > 1 && used < bytes - 1) buffer[used++] = ' ';
    for (const char* c = argv[i]; *c && used < bytes - 1; c++) buffer[used++] = *c;
  }
  buffer[used] = 0;
  return used;
}
