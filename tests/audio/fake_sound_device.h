// A scripted stand-in for the platform's sound buffer (and the rest of the
// platform interface, which the audio code never needs): cursors move only when
// a test says so, every write lands in a byte array and is logged.
#pragma once

#include <stdint.h>

#include <deque>
#include <vector>

struct FakeWrite {
  int byte_offset;
  int byte_count;
};

struct FakeSoundDevice {
  int open;
  int open_calls;
  int close_calls;
  int rate;
  int buffer_bytes;
  std::vector<uint8_t> buffer;
  int play_bytes;
  int write_bytes;
  int fail_open;
  int fail_cursors;
  // Cursor pairs (play, write) handed out by the next queries before the
  // current values; lets a test move the write cursor in the middle of a pass.
  std::deque<std::pair<int, int>> script;
  std::vector<FakeWrite> writes;
  int bad_writes;  // writes outside the buffer (the real device would refuse them)
  // platform_sleep_ms moves both cursors this many frames per millisecond.
  int frames_per_ms;
  int sleep_calls;
};

extern FakeSoundDevice fake_sound;

// Fresh device state; the write cursor leads the play cursor by lead_frames.
void fake_sound_reset(int lead_frames = 300);
// Moves both cursors forward by frames, wrapping at the buffer end.
void fake_sound_advance(int frames);
// The stereo frame at a buffer position (in frames).
int16_t fake_sound_left(int frame);
int16_t fake_sound_right(int frame);
