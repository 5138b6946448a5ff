// Shared pieces of the end-to-end sound checks: running the real executables,
// reading what they played (WAV or raw 16-bit stereo), decoding the music with
// the game's own decoder, and building the mix the game should have played so
// a capture can be compared with it sample by sample.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// Where the title and the first beat land, in frames of a headless capture:
// the headless device's write cursor runs device_lead frames ahead of its
// play cursor, and the game writes the frame at its clock latency frames past
// the write cursor. Both are read from the code (see e2e_output_offsets).
struct OutputOffsets {
  int device_lead;
  int latency;
};

// Opens the output the way start-up does, against the headless backend, and
// reads back both offsets; closes it again.
OutputOffsets e2e_output_offsets(void);

// The game's start-up constants this harness relies on. They are not
// exported by the game; a change there makes the e2e checks fail loudly.
enum {
  E2E_RING_FRAMES = 8000,
  E2E_BUFFER_BYTES = 264600,
  E2E_TITLE_HEAD_START = 4000,  // the title piece starts this far past the clock at load
  E2E_TITLE_GAP = 22050,        // from the title's end to the first beat
  E2E_FRAMES_PER_VIDEO_FRAME = 735,  // 44100 / 60
};
const float E2E_LATENCY_SECONDS = 0.03f;
const float E2E_TITLE_VOLUME = 0.75f;

// Interleaved 16-bit frames at 44100 Hz; a mono source gives both sides its
// one channel.
struct Pcm {
  std::vector<int16_t> samples;
  int channels = 2;
  long frames() const { return (long)(samples.size() / (size_t)channels); }
  int left(long i) const { return samples[(size_t)(i * channels)]; }
  int right(long i) const { return samples[(size_t)(i * channels + channels - 1)]; }
};

// A canonical 44-byte-header WAV of 16-bit stereo at 44100 Hz; 0 otherwise.
int e2e_read_wav(const std::string& path, Pcm* out);
// Raw little-endian 16-bit stereo (what SDL's disk driver writes).
Pcm e2e_raw_stereo(const std::vector<uint8_t>& bytes);
// A whole Ogg Vorbis stream through the game's own decoder.
int e2e_decode_ogg(const std::vector<uint8_t>& ogg, Pcm* out);

// One sounding voice: source frames [first, first + count) times gain, with
// source frame `first` at output frame `at`.
struct Placement {
  const Pcm* source;
  long first, count, at;
  float gain;
};

// The capture the game should produce: every placement summed in float, as
// the mix ring does, then rounded and clipped to 16 bits. The game may
// truncate instead (its SSE2 path), so compare with a tolerance of 1.
std::vector<int16_t> e2e_mix(const std::vector<Placement>& voices, long frames);

// First frame in [from, to) where |a - b| > tolerance on either side, or -1.
long e2e_first_mismatch(const Pcm& a, const std::vector<int16_t>& expected_stereo, long from,
                        long to, int tolerance);

// The capture frame in [low, high] where source[first, first + count) times
// gain plays: the lag of least summed absolute difference once `background`
// (the other voices; may be empty) is taken out. -1 when it fits nowhere.
long e2e_locate(const Pcm& capture, const std::vector<int16_t>& background, const Pcm& source,
                long first, long count, float gain, long low, long high);

// A segment table line, as the game reads "merged_data.txt".
struct Segment {
  int id, start, length, lead, advance;
};
std::vector<Segment> e2e_parse_table(const std::vector<uint8_t>& text);

// The segments the title playlist schedules from the first beat on, with each
// one's beat (capture frames), until the beats pass `until`; ids missing from
// the table are skipped without moving the grid, as the game does.
struct Scheduled {
  Segment segment;
  long beat;
};
std::vector<Scheduled> e2e_title_schedule(const std::vector<Segment>& table, long first_beat,
                                          long until);
