// vantrel-music: renders the score in assets/music/ into the game's music
// files: "merged.ogg" (every segment, back to back), "merged_data.txt" (where
// each lies) and "qorvel_title_3.ogg" (the title piece). Segments render on
// two threads; the two Ogg files then encode side by side.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "music/analysis.h"
#include "music/encode.h"
#include "music/layout.h"
#include "music/preview.h"
#include "music/render.h"
#include "music/score.h"

namespace {

const int MERGED_SERIAL = 0x4D455247;  // "MERG"
const int TITLE_SERIAL = 0x5449544C;   // "TITL"

struct Options {
  std::string score_path, out_dir, wav_dir;
  bool report = false;
  bool encode = true;
};

int usage() {
  fprintf(stderr,
          "usage: vantrel-music SCORE OUT_DIR [--report] [--wav DIR] [--no-encode]\n"
          "  writes OUT_DIR/merged.ogg, merged_data.txt and qorvel_title_3.ogg\n"
          "  --report     per-segment loudness, peak, limiting and octave-band spectrum\n"
          "  --wav DIR    also write playlist previews as WAV files into DIR\n"
          "  --no-encode  render and check only\n");
  return 2;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Octave-band levels (63 Hz .. 8 kHz) of a stretch, relative to the total: a
// rough look at the register and brightness of a segment.
void print_bands(const float* stereo, long first, long count, int rate) {
  static const double CENTRES[8] = {63, 125, 250, 500, 1000, 2000, 4000, 8000};
  double energy[8], total = 0.0;
  for (int b = 0; b < 8; b++) {
    double w0 = 2.0 * M_PI * CENTRES[b] / rate, alpha = std::sin(w0) / (2.0 * 1.41);
    double a0 = 1 + alpha, b0 = alpha / a0, a1 = -2 * std::cos(w0) / a0, a2 = (1 - alpha) / a0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, sum = 0;
    for (long f = first; f < first + count; f++) {
      double x = 0.5 * (stereo[2 * f] + stereo[2 * f + 1]);
      double y = b0 * x - b0 * x2 - a1 * y1 - a2 * y2;
      x2 = x1;
      x1 = x;
      y2 = y1;
      y1 = y;
      sum += y * y;
    }
    energy[b] = sum;
    total += sum;
  }
  printf("  bands");
  for (int b = 0; b < 8; b++) printf(" %4.0f", total > 0 ? 10.0 * std::log10(energy[b] / total + 1e-12) : -99.0);
  printf("\n");
}

int parse_options(int argc, char** argv, Options* o) {
  std::vector<std::string> plain;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a == "--report") o->report = true;
    else if (a == "--no-encode") o->encode = false;
    else if (a == "--wav" && i + 1 < argc) o->wav_dir = argv[++i];
    else if (a.rfind("--", 0) == 0) return 0;
    else plain.push_back(a);
  }
  if (plain.size() != 2) return 0;
  o->score_path = plain[0];
  o->out_dir = plain[1];
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parse_options(argc, argv, &opt)) return usage();
  auto t0 = std::chrono::steady_clock::now();
  Score score;
  std::string error;
  if (!score_load(opt.score_path, &score, &error)) {
    fprintf(stderr, "vantrel-music: %s\n", error.c_str());
    return 1;
  }
  if (score.segments.empty() || !score.has_title) {
    fprintf(stderr, "vantrel-music: the score needs segments and a title piece\n");
    return 1;
  }
  printf("music: score has %zu segments, %zu instruments, %zu playlists\n", score.segments.size(),
         score.instruments.size(), score.playlists.size());
  fflush(stdout);

  // Render: the title piece is job 0, segments follow.
  size_t jobs = score.segments.size() + 1;
  std::vector<std::vector<float>> audio(jobs);
  std::vector<RenderStats> stats(jobs);
  std::atomic<size_t> next{0}, done{0};
  auto worker = [&]() {
    for (;;) {
      size_t j = next.fetch_add(1);
      if (j >= jobs) return;
      const Segment& seg = j == 0 ? score.title : score.segments[j - 1];
      render_segment(score, seg, &audio[j], &stats[j]);
      size_t d = done.fetch_add(1) + 1;
      if (d % 10 == 0 || d == jobs) {
        printf("music: rendered %zu/%zu (%.1f s)\n", d, jobs, seconds_since(t0));
        fflush(stdout);
      }
    }
  };
  std::thread helper(worker);
  worker();
  helper.join();

  int out_of_key = 0;
  double lo = 1e9, hi = -1e9, peak = -200.0;
  for (size_t j = 0; j < jobs; j++) {
    const Segment& seg = j == 0 ? score.title : score.segments[j - 1];
    out_of_key += stats[j].out_of_key;
    lo = std::min(lo, stats[j].loudness);
    hi = std::max(hi, stats[j].loudness);
    peak = std::max(peak, stats[j].peak_db);
    if (opt.report) {
      long first = 0, count = 0;
      render_body(seg, &first, &count);
      printf("%-6s %-2s %s %-9s len %6d loud %6.2f peak %6.2f limit %5.2f dB%s\n",
             seg.name.c_str(), seg.list.c_str(),
             std::string("C C#D EbE F F#G AbA BbB ").substr(2 * seg.tonic, 2).c_str(),
             score_mode_name(seg.mode), seg.length, stats[j].loudness, stats[j].peak_db,
             stats[j].reduction_db, stats[j].out_of_key ? "  (notes outside key)" : "");
      print_bands(audio[j].data(), first, count, score.rate);
    }
  }
  printf("music: loudness %.2f .. %.2f dB, peak %.2f dBFS, %d notes outside their key\n", lo, hi,
         peak, out_of_key);

  // Assemble the stream.
  std::vector<TrackRow> rows = layout_rows(score);
  long stream_frames = layout_stream_frames(rows);
  std::vector<float> stream(2 * stream_frames, 0.0f);
  for (size_t i = 0; i < rows.size(); i++) {
    const std::vector<float>& a = audio[i + 1];
    std::copy(a.begin(), a.end(), stream.begin() + 2 * (long)rows[i].start);
  }
  printf("music: stream %ld frames (%.1f s)\n", stream_frames, (double)stream_frames / score.rate);

  if (!opt.wav_dir.empty()) {
    std::vector<RenderedSegment> rendered;
    for (size_t i = 0; i < rows.size(); i++)
      rendered.push_back(RenderedSegment{rows[i].id, rows[i].lead, rows[i].advance,
                                         audio[i + 1].data(), rows[i].length});
    RenderedSegment title{0, score.title.lead, score.title.advance, audio[0].data(),
                          score.title.length};
    for (const Playlist& list : score.playlists) {
      bool is_title = list.name == "title";
      std::vector<float> mix;
      preview_playlist(list, rendered, is_title ? &title : nullptr, is_title ? 90.0 : 40.0,
                       score.rate, &mix);
      long frames = (long)mix.size() / 2;
      std::string path = opt.wav_dir + "/playlist_" + list.name + ".wav";
      printf("music: preview %s peak %.2f dBFS loudness %.2f dB -> %s\n", list.name.c_str(),
             analysis_db(analysis_peak(mix.data(), 0, frames)),
             analysis_loudness(mix.data(), frames, 0, frames, score.rate), path.c_str());
      preview_write_wav(path, mix.data(), frames, score.rate);
    }
  }

  std::string table_path = opt.out_dir + "/merged_data.txt";
  FILE* table = fopen(table_path.c_str(), "wb");
  std::string text = layout_table_text(rows);
  if (!table || fwrite(text.data(), 1, text.size(), table) != text.size() || fclose(table) != 0) {
    fprintf(stderr, "vantrel-music: cannot write %s\n", table_path.c_str());
    return 1;
  }
  if (!opt.encode) {
    printf("music: done without encoding in %.1f s\n", seconds_since(t0));
    return 0;
  }
  std::string title_error, merged_error;
  int title_ok = 0;
  // The title is a stream of its own: silence after its fade keeps the codec's
  // noise at the very end of the stream away from the last audible frames.
  std::vector<float> title_stream = audio[0];
  title_stream.resize(title_stream.size() + 2 * LAYOUT_END_PADDING, 0.0f);
  std::thread title_thread([&]() {
    title_ok = encode_ogg(opt.out_dir + "/qorvel_title_3.ogg", title_stream.data(),
                          (long)title_stream.size() / 2, score.rate, score.quality, TITLE_SERIAL,
                          "title", &title_error);
  });
  int merged_ok = encode_ogg(opt.out_dir + "/merged.ogg", stream.data(), stream_frames, score.rate,
                             score.quality, MERGED_SERIAL, "merged", &merged_error);
  title_thread.join();
  if (!merged_ok || !title_ok) {
    fprintf(stderr, "vantrel-music: %s\n", (!merged_ok ? merged_error : title_error).c_str());
    return 1;
  }
  FILE* f = fopen((opt.out_dir + "/merged.ogg").c_str(), "rb");
  long size = 0;
  if (f) {
    fseek(f, 0, SEEK_END);
    size = ftell(f);
    fclose(f);
  }
  printf("music: merged.ogg %.2f MB, done in %.1f s\n", size / 1048576.0, seconds_since(t0));
  return 0;
}
