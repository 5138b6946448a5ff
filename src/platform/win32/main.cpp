// Entry point of vantrel.exe: the window class first (no class, no game),
// then the shared shell with the command line as Windows hands it over,
// without the program's own name. The system timer is set to 1 ms, so that
// the loop's 1 ms sleeps between windowed frames are 1 ms and not 15.6.
#include "platform/win32/win32_backend.h"

#include <mmsystem.h>

#include "platform/platform.h"
#include "platform/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show_code) {
  g_win32.instance = instance;
  g_win32.show_code = show_code;
  if (!win32_register_class(instance)) return 0;
  timeBeginPeriod(1);  // ends with the process
  platform_exit(shell_main(command_line));
}
