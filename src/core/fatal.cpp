// The fatal messages go straight to the platform's message box; nothing is
// released first because the process ends right after.
#include "core/fatal.h"

#include "platform/platform.h"

void fatal_message(const char* text) {
  platform_message_box("ERROR", text);
  platform_exit(0);
}

void out_of_memory(void) { fatal_message("Out of memory"); }
