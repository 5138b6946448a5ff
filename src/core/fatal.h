// The only two failures the player is ever shown: a message box captioned
// "ERROR", after which the process ends with exit code 0 and no clean-up.
#pragma once

[[noreturn]] void fatal_message(const char* text);
// fatal_message("Out of memory"): for allocations the game cannot do without.
[[noreturn]] void out_of_memory(void);
