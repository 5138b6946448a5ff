// What a headless run leaves behind: captured frames as PNG, the consumed
// sound as a WAV file, a CSV trace of the game state after every frame and
// timing figures. Everything is flushed by output_finish, which runs both at
// the frame limit and when the game ends the process itself.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <string>

#include "core/game_state.h"
#include "platform/headless/headless.h"
#include "support/png_write.h"

namespace {

struct HeadlessOutput {
  const HeadlessOptions* options;
  FILE* wav;
  uint32_t wav_frames;
  FILE* trace;
  double started;              // monotonic seconds at the runner's start
  double first_frame;          // monotonic seconds at the first run_frame, 0 before
  std::vector<double> frame_seconds;
  int finished;
};

HeadlessOutput out;

double monotonic_seconds(void) {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

void put_u32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (uint8_t)(v >> (8 * i));
}

// 44-byte canonical header for 16-bit stereo PCM at 44100 Hz.
void wav_header(uint8_t* h, uint32_t frames) {
  memcpy(h, "RIFF", 4);
  put_u32(h + 4, 36 + frames * 4);
  memcpy(h + 8, "WAVEfmt ", 8);
  put_u32(h + 16, 16);
  h[20] = 1, h[21] = 0;          // PCM
  h[22] = 2, h[23] = 0;          // channels
  put_u32(h + 24, 44100);
  put_u32(h + 28, 44100 * 4);
  h[32] = 4, h[33] = 0;          // block align
  h[34] = 16, h[35] = 0;         // bits per sample
  memcpy(h + 36, "data", 4);
  put_u32(h + 40, frames * 4);
}

int make_folders(const char* dir) {
  std::string path(dir);
  for (size_t i = 1; i <= path.size(); i++) {
    if (i < path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return 0;
  }
  return 1;
}

int wants_capture(long frame) {
  const HeadlessOptions* o = out.options;
  if (!o->capture_dir) return 0;
  if (o->capture_every && frame % o->capture_every == 0) return 1;
  return std::find(o->capture_frames.begin(), o->capture_frames.end(), frame) !=
         o->capture_frames.end();
}

void capture(long frame) {
  int width, height, row_length;
  const uint32_t* pixels = headless_last_image(&width, &height, &row_length);
  if (!pixels) return;
  char path[4200];
  snprintf(path, sizeof path, "%s/frame_%06ld.png", out.options->capture_dir, frame);
  std::vector<uint32_t> packed;
  if (row_length != width) {
    packed.resize((size_t)width * height);
    for (int y = 0; y < height; y++)
      memcpy(&packed[(size_t)y * width], pixels + (size_t)y * row_length, width * 4);
    pixels = packed.data();
  }
  int size = 0;
  uint8_t* png = png_encode_xrgb(pixels, width, height, nullptr, &size);
  if (!png || !png_save(path, png, size)) fprintf(stderr, "cannot write %s\n", path);
  free(png);
}

}  // namespace

int output_open(const HeadlessOptions* options, char* error, int error_bytes) {
  out.options = options;
  out.started = monotonic_seconds();
  if (options->capture_dir && !make_folders(options->capture_dir)) {
    snprintf(error, error_bytes, "cannot make %s", options->capture_dir);
    return 0;
  }
  if (options->wav_path) {
    out.wav = fopen(options->wav_path, "wb");
    uint8_t header[44];
    wav_header(header, 0);
    if (!out.wav || fwrite(header, 1, 44, out.wav) != 44) {
      snprintf(error, error_bytes, "cannot write %s", options->wav_path);
      return 0;
    }
  }
  if (options->trace_path) {
    out.trace = fopen(options->trace_path, "w");
    if (!out.trace) {
      snprintf(error, error_bytes, "cannot write %s", options->trace_path);
      return 0;
    }
    fprintf(out.trace,
            "frame,game_state,room_number,avatar_x,avatar_y,airborne,fall_speed,respawn_timer,"
            "paused\n");
  }
  return 1;
}

void output_mark_first_frame(void) {
  if (out.first_frame == 0) out.first_frame = monotonic_seconds();
}

void output_after_frame(long frame, double run_frame_seconds) {
  if (out.options->stats) out.frame_seconds.push_back(run_frame_seconds);
  if (wants_capture(frame)) capture(frame);
  if (out.trace) {
    fprintf(out.trace, "%ld,%d,%d,%d,%d,%d,%d,%.9g,%.9g\n", frame, (int)g_game.game_state,
            (int)g_game.room_number, (int)g_game.avatar_x, (int)g_game.avatar_y,
            (int)g_game.airborne, (int)g_game.fall_speed, (double)g_game.respawn_timer,
            (double)g_game.paused);
  }
}

void output_note_sound(const int16_t* frames, int frame_count) {
  if (!out.wav || frame_count <= 0) return;
  // WAV data is little-endian, as the buffer is on every machine we build for.
  fwrite(frames, 4, frame_count, out.wav);
  out.wav_frames += (uint32_t)frame_count;
}

void output_finish(void) {
  if (out.finished || !out.options) return;
  out.finished = 1;
  if (out.wav) {
    uint8_t header[44];
    wav_header(header, out.wav_frames);
    fseek(out.wav, 0, SEEK_SET);
    fwrite(header, 1, 44, out.wav);
    fclose(out.wav);
    out.wav = nullptr;
  }
  if (out.trace) {
    fclose(out.trace);
    out.trace = nullptr;
  }
  if (out.options->stats) {
    std::vector<double> times = out.frame_seconds;
    double sum = 0, max = 0, p99 = 0;
    for (double t : times) {
      sum += t;
      max = std::max(max, t);
    }
    if (!times.empty()) {
      size_t rank = (size_t)((times.size() * 99 + 99) / 100) - 1;  // nearest-rank 99th percentile
      std::nth_element(times.begin(), times.begin() + rank, times.end());
      p99 = times[rank];
    }
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    double startup = out.first_frame ? out.first_frame - out.started : 0;
    printf("startup_seconds %.3f\n", startup);
    printf("frames %zu\n", times.size());
    printf("run_frame_mean_ms %.3f\n", times.empty() ? 0.0 : 1000 * sum / times.size());
    printf("run_frame_p99_ms %.3f\n", 1000 * p99);
    printf("run_frame_max_ms %.3f\n", 1000 * max);
    printf("peak_rss_kb %ld\n", (long)usage.ru_maxrss);
    fflush(stdout);
  }
}
