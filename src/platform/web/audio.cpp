// The game's looping sound buffer in front of Web Audio. The buffer lives
// here; its play cursor follows the page's audio clock, and the write cursor
// runs a device lead ahead of it. Everything behind the write cursor is final
// (the game only ever writes past it), so once a frame that part goes to the
// page, which plays each frame at its own position on the audio clock: a late
// delivery loses its past frames instead of shifting all that follows.
#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"
#include "platform/web/web_backend.h"

namespace {

struct WebSound {
  int16_t* buffer;      // stereo frames
  int frames;
  int ahead;            // the device lead in frames, as the page reports it
  double base;          // audio-clock frame at buffer position 0
  double committed;     // audio-clock frame up to which the page has the sound
  double write;         // the furthest write cursor handed to the game
};

WebSound sound;

int buffer_position(double frame) {
  double offset = frame - sound.base;
  return (int)(offset - (double)sound.frames * (double)(long long)(offset / sound.frames));
}

}  // namespace

int platform_sound_open(int rate, int buffer_bytes) {
  platform_sound_close();
  if (rate <= 0 || buffer_bytes < 4096 * 4) return 0;
  int ahead = vantrel_js_sound_open(rate);
  if (ahead <= 0 || ahead >= buffer_bytes / 8) return 0;
  sound.frames = buffer_bytes / 4;
  sound.buffer = (int16_t*)calloc(sound.frames, 4);
  if (!sound.buffer) {
    vantrel_js_sound_close();
    return 0;
  }
  sound.ahead = ahead;
  sound.base = vantrel_js_sound_frame();
  sound.committed = sound.write = sound.base + ahead;
  return 1;
}

void platform_sound_close(void) {
  if (!sound.buffer) return;
  web_sound_commit();
  vantrel_js_sound_close();
  free(sound.buffer);
  sound = {};
}

int platform_sound_cursors(int* play_bytes_out, int* write_bytes_out) {
  if (!sound.buffer) {
    *play_bytes_out = *write_bytes_out = 0;
    return 0;
  }
  double play = vantrel_js_sound_frame();
  if (play + sound.ahead > sound.write) sound.write = play + sound.ahead;
  *play_bytes_out = buffer_position(play) * 4;
  *write_bytes_out = buffer_position(sound.write) * 4;
  return 1;
}

int platform_sound_write(int byte_offset, int byte_count, const void* source) {
  if (!sound.buffer) return 0;
  int total = sound.frames * 4;
  if (byte_count <= 0) return 1;
  if (byte_offset < 0 || byte_offset >= total || byte_count > total) return 0;
  uint8_t* buffer = (uint8_t*)sound.buffer;
  int first = total - byte_offset < byte_count ? total - byte_offset : byte_count;
  memcpy(buffer + byte_offset, source, first);
  memcpy(buffer, (const uint8_t*)source + first, byte_count - first);
  return 1;
}

void web_sound_commit(void) {
  if (!sound.buffer) return;
  double play = vantrel_js_sound_frame();
  // Frames already played are lost; the page would drop them anyway.
  if (sound.committed < play) sound.committed = play;
  int count = (int)(sound.write - sound.committed);
  if (count <= 0) return;
  if (count > sound.frames) count = sound.frames;
  int at = buffer_position(sound.committed);
  int first = sound.frames - at < count ? sound.frames - at : count;
  vantrel_js_sound_post(sound.committed, sound.buffer + 2 * at, first, sound.buffer, count - first);
  sound.committed += count;
}
