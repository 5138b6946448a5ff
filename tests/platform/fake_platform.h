// A scripted stand-in for a platform backend and for the game, so the shell's
// start-up, event routing and pacing can be driven and observed in-process.
// The clock only moves when the shell sleeps or the stand-in game works.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakePlatform {
  // Answers the backend gives.
  int window_create_ok = 1;
  int display_open_ok = 1;
  int fullscreen_ok = 1;
  int vsync = 1;
  int refresh_hz = 60;
  int present_ok = 1;
  // Observed.
  double clock = 100.0;
  int sleeps = 0;
  int windows_alive = 0;
  int framed_window = 0;
  std::vector<std::string> log;       // calls in order: "startup", "frame", "key_down 259"...
  std::deque<PlatformEvent> queue;
  std::vector<int> present_fullscreen_args;
};

struct FakeGame {
  std::string startup_path;
  std::vector<float> frame_dts;
  std::vector<int> frame_inactive;
  std::vector<int> keys_down;
  std::vector<int> keys_up;
  double work_seconds = 0.002;   // clock advance inside each run_frame
  int quit_after_frames = -1;    // posts a quit with quit_code after that many frames
  int quit_code = 0;
  int vsync_lost_at_frame = -1;  // the backend finds its presents do not wait
  // Events pushed while frame n runs (as if they arrived during the frame).
  int inject_at_frame = -1;
  PlatformEvent inject_event = {};
};

extern FakePlatform g_fake;
extern FakeGame g_fake_game;

// Resets both stand-ins and the GameState settings.
void fake_reset(void);
void fake_push_key(int type, int key);
