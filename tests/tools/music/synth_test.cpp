// The synthesiser and the segment renderer: instruments in tune (a plucked
// string's loop filter and fractional delay detune it easily), and a rendered
// segment meeting its loudness target, peak ceiling and silent edges.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "music/analysis.h"
#include "music/render.h"
#include "music/score.h"
#include "music/synth.h"

namespace {

const int RATE = 44100;

// Pitch by autocorrelation between 0.2 and 0.53 s, refined with a parabola.
double measure_pitch(const std::vector<float>& x, double guess) {
  int a = RATE / 5, n = RATE / 3;
  auto corr = [&](int lag) {
    double s = 0.0;
    for (int i = a; i < a + n; i++) s += (double)x[i] * x[i + lag];
    return s;
  };
  int best_lag = 0;
  double best = -1e300;
  for (int lag = (int)(RATE / (guess * 1.06)); lag <= (int)(RATE / (guess * 0.94)) + 1; lag++) {
    double c = corr(lag);
    if (c > best) best = c, best_lag = lag;
  }
  double s0 = corr(best_lag - 1), s1 = best, s2 = corr(best_lag + 1);
  double d = 0.5 * (s0 - s2) / (s0 - 2.0 * s1 + s2);
  return RATE / (best_lag + d);
}

TEST(Synth, EveryPitchedKindPlaysInTune) {
  const InstrumentKind kinds[] = {INSTRUMENT_PAD, INSTRUMENT_PLUCK, INSTRUMENT_BASS, INSTRUMENT_BELL};
  for (InstrumentKind kind : kinds) {
    Instrument inst;
    inst.kind = kind;
    inst.attack = 0.002f;
    inst.decay = 2.0f;
    inst.sustain = 1.0f;
    inst.ratio = 2.0f;  // harmonic bell, so it has a pitch to measure
    inst.vibrato = 0.0f;
    inst.cutoff = 3000.0f;
    for (double freq : {55.0, 110.0, 261.63, 440.0, 987.77}) {
      std::vector<float> l(RATE, 0.0f), r(RATE, 0.0f), s(RATE, 0.0f);
      MixTarget mix{l.data(), r.data(), s.data(), RATE, RATE};
      synth_render_note(inst, (float)freq, 0.8f, 0.0, 0.9 * RATE, 77, mix);
      std::vector<float> mono(RATE);
      for (int i = 0; i < RATE; i++) mono[i] = l[i] + r[i];
      double cents = 1200.0 * std::log2(measure_pitch(mono, freq) / freq);
      EXPECT_NEAR(cents, 0.0, 3.0) << "kind " << kind << " at " << freq << " Hz";
    }
  }
}

TEST(Synth, NotesAreCutAtTheMixEdgesNotWrittenBeyondThem) {
  // A note running past the end, or starting before frame 0, writes only inside.
  for (int kind = 0; kind < INSTRUMENT_KIND_COUNT; kind++) {
    Instrument inst;
    inst.kind = (InstrumentKind)kind;
    inst.release = 0.5f;
    std::vector<float> l(1200, 0.0f), r(1200, 0.0f), s(1200, 0.0f);
    MixTarget mix{l.data(), r.data(), s.data(), 1000, RATE};
    synth_render_note(inst, 440.0f, 1.0f, 900.0, 5000.0, 1, mix);
    synth_render_note(inst, 440.0f, 1.0f, -50.0, 10.0, 2, mix);
    for (int i = 1000; i < 1200; i++) ASSERT_EQ(l[i] + r[i] + s[i], 0.0f) << "kind " << kind;
    EXPECT_NE(l[990], 0.0f) << "kind " << kind;
  }
}

// A pad, kicks and a bell line; `spiky` is one short click in a whole bar,
// which cannot reach the loudness target under the ceiling.
Score toy_score(bool spiky) {
  Score s;
  std::string err;
  std::string text =
      "unit 14662\nloudness -18\nceiling -2.5\n"
      "instrument k kick decay 0.3 sustain 0\n"
      "instrument c noise bright 1 cutoff 3000 decay 0.004 sustain 0 release 0.002\n"
      "instrument p pad attack 0.3 release 0.8\n"
      "instrument b bell decay 1.5 sustain 0\n"
      "segment 1 lead=400 length=100000 advance=73310 key=D:minor room=0.9 wet=0.4\n" +
      std::string(spiky ? "  arp c 2 1 X C4\n"
                        : "  hold p 0 5 D3 A3 F4\n  arp k 0 1/2 X..X..X.X. D2\n"
                          "  line b 0 1 A5 F5 E5 D5 A4\n") +
      "end\n";
  EXPECT_TRUE(score_parse_text(text, "toy", ".", &s, &err)) << err;
  return s;
}

TEST(Render, SegmentMeetsLoudnessCeilingAndSilentEdges) {
  for (bool spiky : {false, true}) {
    SCOPED_TRACE(spiky ? "spiky" : "full");
    Score s = toy_score(spiky);
    ASSERT_EQ(s.segments.size(), 1u);
    std::vector<float> out;
    RenderStats stats;
    render_segment(s, s.segments[0], &out, &stats);
    ASSERT_EQ(out.size(), 200000u);
    long first = 0, count = 0;
    render_body(s.segments[0], &first, &count);
    EXPECT_EQ(first, 400);
    EXPECT_EQ(count, 73310);
    double loudness = analysis_loudness(out.data(), 100000, first, count, RATE);
    EXPECT_NEAR(loudness, stats.loudness, 0.01);
    EXPECT_LE(analysis_peak(out.data(), 0, 100000), std::pow(10.0f, -2.5f / 20.0f) + 1e-6f);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[199998], 0.0f);
    EXPECT_EQ(out[199999], 0.0f);
    EXPECT_LT(analysis_edge_peak(out.data(), 0, 100000, 64), 0.01f);
    if (spiky) {
      // The ceiling wins: limited hard, and quieter than the target.
      EXPECT_LT(stats.reduction_db, -3.0);
      EXPECT_LT(loudness, -19.0);
    } else {
      EXPECT_NEAR(loudness, -18.0, 0.1);
      EXPECT_EQ(stats.reduction_db, 0.0);
    }
  }
}

TEST(Render, TheKickLandsOnTheBeatNotBeforeIt) {
  // Attacks start at most `lead` frames early so their peak is on the grid.
  Score s = toy_score(false);
  Segment seg = s.segments[0];
  std::vector<NoteEvent> kicks;
  for (const NoteEvent& n : seg.notes)
    if (s.instruments[n.instrument].kind == INSTRUMENT_KICK) kicks.push_back(n);
  ASSERT_EQ(kicks.size(), 4u);
  seg.notes = kicks;
  seg.wet = 0.0f;
  std::vector<float> out;
  render_segment(s, seg, &out, nullptr);
  // The first kick's peak within 60 ms of the beat (frame 400).
  long peak_at = 0;
  float peak = 0.0f;
  for (long f = 0; f < 3000; f++)
    if (std::fabs(out[2 * f]) > peak) peak = std::fabs(out[2 * f]), peak_at = f;
  EXPECT_GE(peak_at, 400);
  EXPECT_LT(peak_at, 400 + RATE * 6 / 100);
  // Nothing before the voice's first frame can be heard: the start is quiet.
  EXPECT_LT(analysis_peak(out.data(), 0, 8), 0.01f);
}

}  // namespace
