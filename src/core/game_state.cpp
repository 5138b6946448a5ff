// The one process-wide GameState. Zero-initialised at load: every pointer is
// null and every counter 0 until the module that owns it fills it in.
#include "core/game_state.h"

GameState g_game;
