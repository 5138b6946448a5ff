// The platform shell: the part of the process that is the same on every
// backend — options, key translation and routing, the main loop with its
// frame pacing, and the present. Backends implement platform.h and call in
// here from their entry point; the game never includes this header.
#pragma once

#include "platform/platform.h"

// Loop state kept between frames by the entry point.
struct ShellLoop {
  double frame_period;     // seconds per game frame, from the refresh rate
  double previous;         // clock value at the previous run_frame call
  int display_available;   // platform_display_open succeeded
  int vsync;               // presents wait for the display
};

// Sets the settings in GameState to their defaults, then applies the
// options found in command_line by case-sensitive substring search.
void options_parse(const char* command_line);
// A frame's elapsed seconds as the game is to see them: scaled down with
// "-assist", unchanged otherwise. Every backend passes run_frame this.
float shell_game_seconds(double elapsed);
// Joins argv[1..argc-1] with single blanks into buffer (always terminated,
// cut at bytes - 1). Returns the length written.
int options_join(int argc, char** argv, char* buffer, int bytes);

// Maps the virtual keys the game uses to its own codes (arrows to KEY_*,
// Pause to P); every other code passes through unchanged.
int translate_key(int virtual_key);
// Set by the entry point while the popup is destroyed for the windowed
// fallback, so that its closing does not end the program.
extern int shell_recreating_window;
// Hands one event to the game. Returns 0 when the game leaves it to the
// system (platform_default_event), 1 when it was handled here.
int shell_handle_event(const PlatformEvent* event);

// 1 / refresh rate; a reported 0 or 1 counts as 60 Hz; a period below
// 0.0099 s is doubled so that the game draws every second refresh.
double shell_frame_period(int refresh_hz);
// How long after the previous frame call the loop stops waiting.
double shell_wait_seconds(double frame_period, int display_available);

// Handles every waiting event. Returns 1 when a quit was taken, with its
// exit code in exit_code_out; 0 when the queue is empty.
int shell_pump_events(int* exit_code_out);
// Start-up up to the first frame: options, window, startup(), display with
// its windowed fallback, frame period. Returns 0 when no window could be
// made (the process then exits with 0).
int shell_start(const char* command_line, ShellLoop* loop);
// One pass of the loop after the events: waits while windowed or inactive,
// then calls run_frame with the time since the previous call.
void shell_frame(ShellLoop* loop);
// The same pass for a host that calls back once per display refresh and must
// never be kept waiting: a call that comes before the frame is due does
// nothing and returns 0; otherwise run_frame runs and it returns 1.
int shell_frame_if_due(ShellLoop* loop);
// The whole process: shell_start, then events and frames until a quit.
// Returns the quit's exit code.
int shell_main(const char* command_line);
