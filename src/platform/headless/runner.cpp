// The headless run: the shell's own start-up, then one pass per frame with
// the script's events for that frame handled first, exactly --dt seconds per
// frame on a clock that only the runner moves, and the sound buffer played
// for exactly that long after each frame.
#include <math.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "core/game_state.h"
#include "game/game.h"
#include "platform/headless/headless.h"
#include "platform/posix/store.h"
#include "platform/shell.h"
#include "sim/noise_field.h"
#include "support/file.h"

namespace {

const char* const USAGE =
    "usage: vantrel-headless [--frames N] [--dt S] [--script FILE]\n"
    "         [--capture DIR (--capture-every K | --capture-frames a,b,c)]\n"
    "         [--wav FILE] [--save-dir DIR] [--trace FILE] [--stats] [--portable]\n"
    "         [--pace]\n"
    "         [game options...]\n";

// One processor makes the game decode its music on the main thread, one
// block per frame, so the sound does not depend on thread timing. Which one
// does not matter: the one we are running on, so that runs started side by
// side do not all queue for the first processor.
// Elsewhere (WebAssembly) there is one processor and no thread to begin with.
void use_one_processor(void) {
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return;
  int cpu = sched_getcpu();
  if (cpu < 0 || cpu >= CPU_SETSIZE || !CPU_ISSET(cpu, &set)) {
    for (cpu = 0; cpu < CPU_SETSIZE && !CPU_ISSET(cpu, &set); cpu++) {
    }
    if (cpu == CPU_SETSIZE) return;
  }
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  sched_setaffinity(0, sizeof set, &set);
#endif
}

double now_seconds(void) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// A frame run straight after another finds the caches warm and the
// processor clocked up; a game shown on a display runs one frame and then
// idles until the next. --pace waits out each frame's time so that timings
// compare with a paced game (a browser tab's animation frames) rather than
// with a loop that never rests.
void wait_until(double deadline) {
  double left = deadline - now_seconds();
  if (left <= 0) return;
  timespec ts;
  ts.tv_sec = (time_t)left;
  ts.tv_nsec = (long)((left - (double)ts.tv_sec) * 1e9);
  while (nanosleep(&ts, &ts) != 0) {
  }
}

// Sound frames played by the end of `frames` frames. Counted from the start
// rather than added up per frame so that no rounding drift builds up; the
// small bias keeps 1/60 s at exactly 735 frames despite 1/60 being inexact.
long long sound_frames_by(long frames, double dt) {
  return (long long)floor(frames * dt * 44100.0 + 1e-6);
}

int finish(int exit_code) {
  output_finish();
  return exit_code;
}

}  // namespace

int headless_main(int argc, char** argv) {
  static HeadlessOptions options;
  char error[512] = {};
  if (!headless_parse_args(argc, argv, &options, error, sizeof error)) {
    fprintf(stderr, "vantrel-headless: %s\n%s", error, USAGE);
    return HEADLESS_EXIT_USAGE;
  }
  if (options.help) {
    fputs(USAGE, stdout);
    return 0;
  }
  std::vector<ScriptEvent> script;
  if (options.script_path) {
    int length = 0;
    char* text = (char*)read_whole_file(options.script_path, &length);
    if (!text) {
      fprintf(stderr, "vantrel-headless: cannot read script %s\n", options.script_path);
      return HEADLESS_EXIT_USAGE;
    }
    int ok = script_parse_bytes(text, length, &script, error, sizeof error);
    free(text);
    if (!ok) {
      fprintf(stderr, "vantrel-headless: script %s %s\n", options.script_path, error);
      return HEADLESS_EXIT_USAGE;
    }
  }
  if (!output_open(&options, error, sizeof error)) {
    fprintf(stderr, "vantrel-headless: %s\n", error);
    return HEADLESS_EXIT_USAGE;
  }
  if (options.save_dir) store_set_base_dir(options.save_dir);
  use_one_processor();
  // The same pictures with the plain C++ renderer, for comparing timings
  // with builds that have no vector code (WebAssembly).
  if (options.portable) noise_field_limit_vector(NOISE_VECTOR_NONE);

  ShellLoop loop = {};
  headless_set_time(0);
  if (!shell_start(options.game_line, &loop)) return finish(0);

  size_t next_event = 0;
  const double paced_from = now_seconds();
  for (long frame = 0;; frame++) {
    if (options.pace) wait_until(paced_from + frame * options.dt);
    headless_set_time(frame * options.dt);
    while (next_event < script.size() && script[next_event].frame <= frame) {
      headless_push_event(script[next_event].type, script[next_event].key);
      next_event++;
    }
    int exit_code = 0;
    if (shell_pump_events(&exit_code)) return finish(exit_code);
    if (options.frames >= 0 && frame >= options.frames) return finish(HEADLESS_EXIT_FRAME_LIMIT);

    output_mark_first_frame();
    double started = now_seconds();
    run_frame(shell_game_seconds(options.dt), g_game.app_inactive);
    double took = now_seconds() - started;

    headless_sound_consume((int)(sound_frames_by(frame + 1, options.dt) -
                                 sound_frames_by(frame, options.dt)));
    output_after_frame(frame, took);
  }
}
