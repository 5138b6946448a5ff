// The audio output and clock. Each pass rewrites the whole region ahead of the
// write cursor from the ring, so a voice scheduled for "now" is heard one
// latency later even though the ring was mixed further ahead.
#include <stdlib.h>

#include "audio/alloc.h"
#include "audio/audio.h"
#include "audio/output_internal.h"
#include "audio/ring.h"
#include "platform/platform.h"

AudioOutput audio_output;

static int sound_device_open(int rate, int buffer_bytes) {
  return platform_sound_open(rate, buffer_bytes);
}

static void sound_device_close(void) { platform_sound_close(); }

static void sound_device_cursors(int* play_bytes_out, int* write_bytes_out) {
  if (!platform_sound_cursors(play_bytes_out, write_bytes_out)) {
    *play_bytes_out = 0;
    *write_bytes_out = 0;
  }
}

static void sound_device_write(int byte_offset, int byte_count, const void* source) {
  if (byte_count <= 0) return;
  platform_sound_write(byte_offset, byte_count, source);  // a lost block is dropped
}

// A device reporting a cursor outside its buffer still gives a usable position.
static int wrap_position(int frames) {
  int n = audio_output.buffer_frames;
  frames %= n;
  return frames < 0 ? frames + n : frames;
}

static int forward_distance(int from, int to) {
  return from > to ? to - from + audio_output.buffer_frames : to - from;
}

int audio_init(int ring_frames, float latency_seconds, int buffer_bytes) {
  AudioOutput& o = audio_output;
  if (o.open || buffer_bytes < 4) return 0;
  if (!ring_create(ring_frames)) return 0;
  if (!sound_device_open(AUDIO_RATE, buffer_bytes)) {
    ring_destroy();
    return 0;
  }
  o.buffer_bytes = buffer_bytes;
  o.buffer_frames = buffer_bytes / 4;
  // The single-precision value times the rate, taken in double precision and
  // truncated: 0.03f is just below 0.03, so this gives 1322, not 1323.
  o.latency_frames = (int)((double)latency_seconds * (double)AUDIO_RATE);
  o.staging = (int16_t*)audio_allocate((size_t)ring_frames * 4);
  if (!o.staging) {
    sound_device_close();
    ring_destroy();
    return 0;
  }
  int play = 0, write = 0;
  sound_device_cursors(&play, &write);
  o.last_write = wrap_position(write / 4);
  o.clock = 0;
  o.open = 1;
  return 1;
}

void audio_shutdown(void) {
  AudioOutput& o = audio_output;
  if (!o.open) return;
  free(o.staging);
  o.staging = 0;
  ring_destroy();
  sound_device_close();
  o.clock = 0;
  o.open = 0;
}

uint32_t audio_write_ahead(int max_frames) {
  AudioOutput& o = audio_output;
  if (!o.open) return o.clock;
  int play_bytes, write_bytes;
  sound_device_cursors(&play_bytes, &write_bytes);
  int play = wrap_position(play_bytes / 4);
  int write = wrap_position(write_bytes / 4);
  o.clock += (uint32_t)forward_distance(o.last_write, write);
  ring_advance(o.clock);
  o.last_write = write;
  int n = forward_distance(write, play) - o.latency_frames;
  if (n > max_frames) n = max_frames;
  int got = n > 0 ? ring_read(o.staging, o.clock, n) : 0;
  // Frames the device claimed while this pass was mixing are dropped; the
  // rest goes in place behind the new write cursor.
  sound_device_cursors(&play_bytes, &write_bytes);
  int write_after = wrap_position(write_bytes / 4);
  int skipped = forward_distance(write, write_after);
  if (skipped < got) {
    int position = wrap_position(write_after + o.latency_frames);
    sound_device_write(position * 4, (got - skipped) * 4, o.staging + 2 * skipped);
  }
  return o.clock;
}

int audio_output_delay_frames(void) {
  AudioOutput& o = audio_output;
  if (!o.open) return 0;
  int play_bytes, write_bytes;
  sound_device_cursors(&play_bytes, &write_bytes);
  return o.latency_frames +
         forward_distance(wrap_position(play_bytes / 4), wrap_position(write_bytes / 4));
}

uint32_t audio_update(int max_frames) {
  // The short pass puts the most urgent frames into the buffer first.
  if (max_frames > 1200) audio_write_ahead(800);
  return audio_write_ahead(max_frames);
}

uint32_t audio_clock(void) { return audio_output.clock; }
