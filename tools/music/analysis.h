// Level measurements shared by the generator (which normalises every segment)
// and the tests (which check the decoded stream): loudness with the usual
// K-weighting, sample peaks, and the level right at a segment's edges.
#pragma once

// Interleaved stereo floats in -1..1. Loudness of frames [first, first + count)
// in dB (LUFS without gating); the weighting filters warm up on up to 0.1 s
// before `first` when the buffer has it. -200 for silence.
double analysis_loudness(const float* stereo, long frames, long first, long count, int rate);

// Largest |sample| over frames [first, first + count), both channels.
float analysis_peak(const float* stereo, long first, long count);

// Largest |sample| within `edge` frames of either end of [first, first + count):
// what the listener hears as a click when a voice starts or stops there.
float analysis_edge_peak(const float* stereo, long first, long count, long edge);

// dBFS of a linear amplitude (-200 for 0).
double analysis_db(double amplitude);
