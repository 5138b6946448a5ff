// The platform calls the simulation tests can reach through the audio clock:
// a sound device that never opens, so the clock stays at 0 and every cue is
// only a voice record the tests can read.
#include "platform/platform.h"

int platform_sound_open(int, int) { return 0; }
void platform_sound_close(void) {}
int platform_sound_cursors(int* play_bytes_out, int* write_bytes_out) {
  *play_bytes_out = 0;
  *write_bytes_out = 0;
  return 0;
}
int platform_sound_write(int, int, const void*) { return 0; }
