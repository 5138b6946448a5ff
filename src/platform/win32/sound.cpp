// The game's looping sound buffer as one DirectSound streaming buffer. The
// primary buffer is set to the game's own format when the priority level is
// granted, so the device does not resample; without it the system mixes.
#include "platform/win32/win32_backend.h"

#include <mmsystem.h>
#include <dsound.h>
#include <string.h>

#include "platform/platform.h"

namespace {

struct Sound {
  IDirectSound* device;
  IDirectSoundBuffer* primary;  // held only to keep its format; may be null
  IDirectSoundBuffer* stream;
  int bytes;
};

Sound sound;

WAVEFORMATEX stereo16_format(int rate) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = (DWORD)rate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = (DWORD)rate * 4;
  format.cbSize = 0;
  return format;
}

int clear_stream(void) {
  void* first = nullptr;
  void* second = nullptr;
  DWORD first_bytes = 0, second_bytes = 0;
  if (sound.stream->Lock(0, 0, &first, &first_bytes, &second, &second_bytes,
                         DSBLOCK_ENTIREBUFFER) != DS_OK)
    return 0;
  memset(first, 0, first_bytes);
  if (second) memset(second, 0, second_bytes);
  sound.stream->Unlock(first, first_bytes, second, second_bytes);
  return 1;
}

int open_device(int rate, int buffer_bytes) {
  if (DirectSoundCreate(nullptr, &sound.device, nullptr) != DS_OK) {
    sound.device = nullptr;
    return 0;
  }
  WAVEFORMATEX format = stereo16_format(rate);
  HWND window = GetDesktopWindow();  // the sound does not follow the game window's focus
  if (sound.device->SetCooperativeLevel(window, DSSCL_PRIORITY) == DS_OK) {
    DSBUFFERDESC primary_desc = {};
    primary_desc.dwSize = sizeof primary_desc;
    primary_desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (sound.device->CreateSoundBuffer(&primary_desc, &sound.primary, nullptr) == DS_OK) {
      sound.primary->SetFormat(&format);
    } else {
      sound.primary = nullptr;
    }
  } else {
    sound.device->SetCooperativeLevel(window, DSSCL_NORMAL);
  }
  DSBUFFERDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
  desc.dwBufferBytes = (DWORD)buffer_bytes;
  desc.lpwfxFormat = &format;
  if (sound.device->CreateSoundBuffer(&desc, &sound.stream, nullptr) != DS_OK) {
    sound.stream = nullptr;
    return 0;
  }
  sound.bytes = buffer_bytes;
  if (!clear_stream()) return 0;
  if (sound.stream->SetCurrentPosition(0) != DS_OK) return 0;
  return sound.stream->Play(0, 0, DSBPLAY_LOOPING) == DS_OK;
}

}  // namespace

int platform_sound_open(int rate, int buffer_bytes) {
  platform_sound_close();
  if (rate <= 0 || buffer_bytes < 4096 * 4) return 0;
  buffer_bytes = buffer_bytes / 4 * 4;
  if (open_device(rate, buffer_bytes)) return 1;
  platform_sound_close();
  return 0;
}

void platform_sound_close(void) {
  if (sound.stream) {
    sound.stream->Stop();
    sound.stream->Release();
  }
  if (sound.primary) sound.primary->Release();
  if (sound.device) sound.device->Release();
  sound = Sound{};
}

int platform_sound_cursors(int* play_bytes_out, int* write_bytes_out) {
  DWORD play = 0, write = 0;
  if (!sound.stream || sound.stream->GetCurrentPosition(&play, &write) != DS_OK) {
    *play_bytes_out = *write_bytes_out = 0;
    return 0;
  }
  *play_bytes_out = (int)play;
  *write_bytes_out = (int)write;
  return 1;
}

int platform_sound_write(int byte_offset, int byte_count, const void* source) {
  if (!sound.stream) return 0;
  if (byte_count <= 0) return 1;
  if (byte_offset < 0 || byte_offset >= sound.bytes || byte_count > sound.bytes) return 0;
  void* first = nullptr;
  void* second = nullptr;
  DWORD first_bytes = 0, second_bytes = 0;
  HRESULT locked = sound.stream->Lock((DWORD)byte_offset, (DWORD)byte_count, &first, &first_bytes,
                                      &second, &second_bytes, 0);
  if (locked == DSERR_BUFFERLOST) {
    // A restored buffer has stopped; it loops again from where it stands.
    if (sound.stream->Restore() == DS_OK) sound.stream->Play(0, 0, DSBPLAY_LOOPING);
    locked = sound.stream->Lock((DWORD)byte_offset, (DWORD)byte_count, &first, &first_bytes,
                                &second, &second_bytes, 0);
  }
  if (locked != DS_OK) return 0;
  DWORD count = (DWORD)byte_count;
  DWORD head = first_bytes < count ? first_bytes : count;
  memcpy(first, source, head);
  DWORD tail = count - head;
  if (second && tail) memcpy(second, (const uint8_t*)source + head, tail < second_bytes ? tail : second_bytes);
  sound.stream->Unlock(first, first_bytes, second, second_bytes);
  return 1;
}
