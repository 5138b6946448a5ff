// The game's looping sound buffer on top of SDL's pull-style audio device.
// The device callback plays the buffer from the play cursor on and moves it;
// the write cursor sits one device buffer ahead of it, so the region the
// game writes to is never one the device has already taken.
#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

namespace {

struct SdlSound {
  SDL_AudioDeviceID device;
  Uint8* buffer;
  int bytes;            // a whole number of 4-byte frames
  int play;             // play cursor in bytes; moved by the callback
  int ahead;            // the device's own buffer in bytes
};

SdlSound sound;

// Runs on SDL's audio thread, under the device lock.
void sound_callback(void*, Uint8* stream, int len) {
  while (len > 0) {
    int n = sound.bytes - sound.play;
    if (n > len) n = len;
    memcpy(stream, sound.buffer + sound.play, n);
    sound.play = (sound.play + n) % sound.bytes;
    stream += n;
    len -= n;
  }
}

}  // namespace

int platform_sound_open(int rate, int buffer_bytes) {
  platform_sound_close();
  if (rate <= 0 || buffer_bytes < 4096 * 4) return 0;
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
  sound.bytes = buffer_bytes / 4 * 4;
  sound.buffer = (Uint8*)calloc(sound.bytes, 1);
  if (!sound.buffer) return 0;
  sound.play = 0;
  SDL_AudioSpec want = {}, have = {};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = sound_callback;
  // No changes allowed: SDL converts to whatever the device really takes.
  sound.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (!sound.device) {
    free(sound.buffer);
    sound.buffer = nullptr;
    return 0;
  }
  sound.ahead = have.samples * 4;
  if (sound.ahead <= 0 || sound.ahead >= sound.bytes / 2) sound.ahead = 4096;
  SDL_PauseAudioDevice(sound.device, 0);
  return 1;
}

void platform_sound_close(void) {
  if (sound.device) SDL_CloseAudioDevice(sound.device);
  sound.device = 0;
  free(sound.buffer);
  sound.buffer = nullptr;
}

int platform_sound_cursors(int* play_bytes_out, int* write_bytes_out) {
  if (!sound.device) {
    *play_bytes_out = *write_bytes_out = 0;
    return 0;
  }
  SDL_LockAudioDevice(sound.device);
  int play = sound.play;
  SDL_UnlockAudioDevice(sound.device);
  *play_bytes_out = play;
  *write_bytes_out = (play + sound.ahead) % sound.bytes;
  return 1;
}

int platform_sound_write(int byte_offset, int byte_count, const void* source) {
  if (!sound.device) return 0;
  if (byte_count <= 0) return 1;
  if (byte_offset < 0 || byte_offset >= sound.bytes || byte_count > sound.bytes) return 0;
  int first = sound.bytes - byte_offset < byte_count ? sound.bytes - byte_offset : byte_count;
  SDL_LockAudioDevice(sound.device);
  memcpy(sound.buffer + byte_offset, source, first);
  memcpy(sound.buffer, (const Uint8*)source + first, byte_count - first);
  SDL_UnlockAudioDevice(sound.device);
  return 1;
}
