// The headless runner: the real game and shell with no window and no sound
// device, driven frame by frame on a deterministic clock from a script of
// key events, writing frames, sound, a per-frame trace and timing figures.
// Two runs with the same arguments produce the same bytes.
#pragma once

#include <stdint.h>

#include <vector>

struct ScriptEvent {
  int frame;   // delivered before this run_frame call (counted from 0)
  int type;    // PLATFORM_EVENT_KEY_DOWN or PLATFORM_EVENT_KEY_UP
  int key;     // Windows virtual-key code
};

struct HeadlessOptions {
  long frames = -1;              // -1: no limit
  double dt = 1.0 / 60;
  const char* script_path = nullptr;
  const char* capture_dir = nullptr;
  int capture_every = 0;         // 0: not set
  std::vector<long> capture_frames;
  const char* wav_path = nullptr;
  const char* save_dir = nullptr;
  const char* trace_path = nullptr;
  int stats = 0;
  int portable = 0;              // --portable: the renderer without vector code
  int pace = 0;                  // --pace: each frame starts at its real time
  int help = 0;
  char game_line[4096] = {};     // everything else, for the game
};

enum { HEADLESS_EXIT_USAGE = 2, HEADLESS_EXIT_FRAME_LIMIT = 3 };

// Reads the runner's own long options ("--frames N" or "--frames=N"); every
// other argument goes to the game's command line. Returns 0 with a message
// in error on a bad or unknown option.
int headless_parse_args(int argc, char** argv, HeadlessOptions* options, char* error,
                        int error_bytes);

// Parses a script: one "FRAME down|up KEY" per line, # comments and blank
// lines skipped. KEY is LEFT RIGHT UP DOWN SPACE ESCAPE PAUSE, a letter A-Z
// or a hex code 0x01-0xFF. Returns 0 with "line N: reason" in error on the
// first bad line. The events come back ordered by frame, file order kept.
int script_parse(const char* text, std::vector<ScriptEvent>* events, char* error, int error_bytes);
// The same for a script file's bytes, which may hold a NUL: that is refused
// ("line N: NUL byte") instead of ending the text and dropping what follows.
int script_parse_bytes(const char* bytes, int length, std::vector<ScriptEvent>* events,
                       char* error, int error_bytes);
// Names a key for the script: the inverse of the KEY field (0 for unknown).
int script_key_code(const char* name);
// A virtual key's name as scripts write it; null for keys without a name.
const char* script_key_name(int code);

// ---- the headless backend's controls (headless/backend.cpp) ----
// The backend is the one machine of the runner, the in-process tests, the
// fuzzers and the solver. HeadlessMachine holds what they may set and read
// back; the runner leaves it as headless_reset makes it: a window that always
// opens but no display service (so windowed, no vsync) at 60 Hz, and a sound
// device that plays only as far as headless_sound_consume says.
struct HeadlessWrite {
  int byte_offset, byte_count;
};

struct HeadlessMachine {
  // Window and display.
  int window_fails;            // platform_window_create refuses
  int display_service;         // platform_display_open succeeds, and full screen and vsync with it
  int fullscreen_fails;        // the service is there but full screen is refused
  int vsync_lost;              // presents stop waiting for the display
  int present_fails;           // full-screen presents fail
  int refresh_hz = 60;
  int windows;                 // windows alive
  long presents;
  int sleeps;                  // platform_sleep_ms calls on the frame thread
  // Sound device. The buffer outlives a close until the next open, so what
  // was played can still be read.
  int sound_open;
  int sound_rate;
  std::vector<int16_t> sound;  // the looping buffer, stereo frames
  int sound_play;              // play cursor, frames
  int sound_lead = 1024;       // the write cursor's lead, as a device's own buffer
  int sound_open_fails;
  int sound_cursors_fail;      // the query fails (both cursors read 0)
  int frames_per_sleep_ms;     // the device plays on while the game sleeps
  int frames_per_query;        // ... and between two cursor queries, while it mixes
  int log_writes;              // every write is appended to `writes`
  std::vector<HeadlessWrite> writes;
  // The ends of the process: when set, a message box goes to on_message
  // instead of stderr, and platform_exit calls on_exit first (which may leave
  // by throwing; when it returns the process ends as in the runner).
  void (*on_message)(const char* caption, const char* text);
  void (*on_exit)(int exit_code);
};

HeadlessMachine* headless_machine(void);
// The runner's machine again, with no events waiting, the clock at 0 and
// nothing presented.
void headless_reset(void);
void headless_set_time(double seconds);
void headless_push_event(int type, int key);
// The image of the last present, or null when nothing was presented yet.
const uint32_t* headless_last_image(int* width_out, int* height_out, int* row_length_out);
// Plays frame_count frames of the emulated sound buffer, appending them to
// the WAV output when one is open (silence while the sound is closed); the
// play cursor moves on.
void headless_sound_consume(int frame_count);

// ---- outputs (headless/output.cpp) ----
int output_open(const HeadlessOptions* options, char* error, int error_bytes);
void output_after_frame(long frame, double run_frame_seconds);
void output_mark_first_frame(void);
void output_note_sound(const int16_t* frames, int frame_count);
// Flushes and closes every output and prints the statistics; safe to call
// more than once (only the first call acts).
void output_finish(void);

int headless_main(int argc, char** argv);
