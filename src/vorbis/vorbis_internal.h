// Structures shared by the Vorbis decoder's units: the decoder record with its
// setup (codebooks, floors, residues, mappings, modes), page and bit-reader
// state, per-block-size transform tables and the per-channel buffers. Every
// buffer is sized at open time from the header limits, so decoding a frame
// never allocates.
#pragma once

#include <cstdint>
#include <cstring>

#include "vorbis/vorbis.h"

constexpr int VORBIS_MAX_CHANNELS = 16;
constexpr int VORBIS_MAX_BLOCK = 8192;  // 2^13, the largest block size
constexpr int VORBIS_MIN_BLOCK = 64;    // 2^6
constexpr int VORBIS_MAX_CODEBOOKS = 256;
constexpr int VORBIS_MAX_FLOORS = 64;
constexpr int VORBIS_MAX_RESIDUES = 64;
constexpr int VORBIS_MAX_MAPPINGS = 64;
constexpr int VORBIS_MAX_MODES = 64;
constexpr int VORBIS_MAX_COUPLING = 256;
constexpr int VORBIS_FAST_BITS = 10;  // codes up to this long decode by one lookup
constexpr int VORBIS_FAST_SIZE = 1 << VORBIS_FAST_BITS;
constexpr int VORBIS_FLOOR1_MAX_PARTITIONS = 31;
constexpr int VORBIS_FLOOR1_MAX_POINTS = 2 + VORBIS_FLOOR1_MAX_PARTITIONS * 8;
// Everything built from the setup header together may not exceed this; real
// streams need well under a megabyte, hostile ones could ask for gigabytes.
constexpr int64_t VORBIS_SETUP_BUDGET = 48 << 20;

static_assert(VORBIS_FLOOR1_MAX_POINTS == 250, "2 fixed points + 31 partitions of up to 8");
static_assert(VORBIS_MAX_BLOCK / 2 * VORBIS_MAX_CHANNELS <= 65536, "residue 2 vector fits int");

struct VorbisCodebook {
  int dimensions;          // 0..65535
  int entries;             // 0..2^24
  int sparse;              // values/lengths are indexed by sorted index, not entry
  int used_entries;        // entries with a code
  uint8_t* lengths;        // per entry (dense) or sorted index (sparse); 255 = absent
  uint32_t fast[VORBIS_FAST_SIZE];  // (index << 8) | length, 0 = not a short code
  uint32_t* sorted_codes;  // MSB-first codewords of the long (or sparse) codes, ascending
  int32_t* sorted_values;  // entry per sorted index; [-1] holds -1
  int sorted_count;        // 0..entries
  int lookup_type;         // 0 (none) or 2 (one full vector per index)
  float* values;           // dimensions floats per entry (dense) / sorted index (sparse)
};

struct VorbisFloor1 {
  int partitions;                      // 0..31
  uint8_t partition_class[32];         // 0..15
  uint8_t class_dimensions[16];        // 1..8
  uint8_t class_subclasses[16];        // 0..3
  int16_t class_masterbook[16];        // codebook number
  int16_t subclass_books[16][8];       // -1 = none
  int multiplier;                      // 1..4
  int range;                           // 256, 128, 86 or 64
  int values;                          // 2..250
  uint16_t x_list[VORBIS_FLOOR1_MAX_POINTS];
  uint8_t sorted_order[VORBIS_FLOOR1_MAX_POINTS];  // point numbers by ascending X
  uint8_t low_neighbor[VORBIS_FLOOR1_MAX_POINTS];
  uint8_t high_neighbor[VORBIS_FLOOR1_MAX_POINTS];
};

struct VorbisResidue {
  int type;             // 0, 1, 2
  uint32_t begin, end;  // 24-bit values, clamped at decode
  uint32_t partition_size;  // 1..2^24
  int classifications;  // 1..64
  int classbook;        // codebook number, dimensions >= 1
  int16_t books[64][8];  // per classification and pass, -1 = none
};

struct VorbisMapping {
  int submaps;          // 1..16
  int coupling_steps;   // 0..256
  uint8_t magnitude[VORBIS_MAX_COUPLING];  // channel numbers, < channels
  uint8_t angle[VORBIS_MAX_COUPLING];
  uint8_t mux[VORBIS_MAX_CHANNELS];        // submap per channel
  uint8_t submap_floor[16];
  uint8_t submap_residue[16];
};

struct VorbisMode {
  int blockflag;  // 0 short, 1 long
  int mapping;    // < mapping count
};

// Tables of the inverse MDCT and window for one block size n.
struct VorbisBlockTables {
  int n;
  float* window;        // n/2 rising slope values
  float* pre_twiddle;   // n/4 complex: e^(-i*pi*(m + 1/8)/(n/2))
  float* fft_twiddle;   // n/8 complex: e^(-2*pi*i*k/(n/4))
  uint16_t* bit_reverse;  // n/4 entries for the complex FFT of size n/4
};

// One allocation in the decoder's list; everything goes when the decoder closes.
struct VorbisBlock {
  VorbisBlock* next;
};

struct VorbisDecoder {
  // stream facts
  uint32_t sample_rate;     // nonzero
  int channels;             // 1..16
  int blocksize[2];         // short, long: powers of two 64..8192, short <= long
  int error;                // latest VorbisError

  // input (caller's bytes)
  const uint8_t* data;
  const uint8_t* cursor;
  const uint8_t* data_end;
  int64_t data_len;
  int eof;                  // a read ran past the end

  // page state
  uint8_t page_flags;       // bit 0 continued, 1 first, 2 last
  int segment_count;        // 0..255
  uint8_t segments[255];
  int next_segment;         // -1 = a new page must be read
  int last_segment_taken;   // the current packet's last segment is in the bit reader
  uint64_t page_granule;
  int granule_segment;      // segment ending a packet with the page's granule, -1 none, -2 all ones
  int end_segment;          // segment that ended the latest packet
  const uint8_t* page_end;  // end of the current page's data (clamped to the input)

  // bit reader: bytes of the packet's current run on this page, 64-bit accumulator
  const uint8_t* run;
  const uint8_t* run_end;
  uint64_t acc;             // LSB first
  int bits;                 // 0..64 valid bits in acc
  int bits_invalid;         // the packet ran out; reads yield 0 until the next packet
  int packet_over;          // no bytes of the current packet remain beyond run_end

  // what the latest packet's end said about its position
  int packet_has_granule;
  int packet_on_last_page;
  uint64_t packet_granule;

  // setup
  int codebook_count;
  VorbisCodebook* codebooks;
  int floor_count;
  VorbisFloor1* floors;
  int residue_count;
  VorbisResidue* residues;
  int mapping_count;
  VorbisMapping* mappings;
  int mode_count;
  VorbisMode modes[VORBIS_MAX_MODES];
  VorbisBlockTables tables[2];
  int max_floor_values;     // largest floor-1 point count
  int max_partitions;       // largest residue partition count after clamping
  const uint8_t* first_audio_page;

  // per channel
  float* channel_buffer[VORBIS_MAX_CHANNELS];  // long block size floats
  float* overlap[VORBIS_MAX_CHANNELS];         // long block size / 2 floats
  int16_t* floor_y[VORBIS_MAX_CHANNELS];       // max_floor_values
  float* outputs[VORBIS_MAX_CHANNELS];         // output pointers of the latest frame
  float* lead_buffer[VORBIS_MAX_CHANNELS];     // two halves of long block size / 4 floats
  float* fft_scratch;       // long block size / 2 floats
  uint8_t* class_words;     // channels * max_partitions classifications
  uint8_t* floor_step2;     // max_floor_values flags
  int floor_used[VORBIS_MAX_CHANNELS];

  // overlap and sample position
  int previous_length;      // samples of saved overlap, 0 before the first block
  int current_n;            // block size of the latest packet
  int lead_samples;         // finished samples past the latest block's centre, waiting
  int lead_half;            // which half of the lead buffers holds them (0, 1)
  int primed;               // the first packet has been decoded
  int finished;             // the last page has been handed out
  int64_t position;         // stream position of the end of what has been handed out
  int valid_start, valid_end;  // finished samples of the latest frame in the channel buffers

  uint32_t total_samples;   // 0 = not computed, 0xFFFFFFFF = undetermined

  // allocations
  VorbisBlock* blocks;
  int64_t allocated_bytes;
};

// ---- refusals
// What a refusing step returns: 0 or null, whichever its own return type calls for.
struct VorbisRefusal {
  template <typename T>
  operator T() const { return T(); }
};

// Records why the stream (or packet) is refused as the decoder's latest error
// and yields the failure value. VorbisOk records nothing: the step has no code
// of its own, and whatever is recorded stands.
inline VorbisRefusal vorbis_refuse(VorbisDecoder* d, int code) {
  if (code != VorbisOk) d->error = code;
  return VorbisRefusal();
}

// The one way a decoder step refuses: records and returns.
#define VORBIS_REFUSE(d, code) return vorbis_refuse((d), (code))
// The code of a refusal that has none of its own.
constexpr int VORBIS_NO_CODE = VorbisOk;

// ---- allocation (decoder.cpp)
void* vorbis_alloc(VorbisDecoder* d, int64_t bytes);  // zeroed; null + VorbisOutOfMemory

// ---- pages, packets and bits (ogg_pages.cpp)
int vorbis_start_page(VorbisDecoder* d);
int vorbis_start_packet(VorbisDecoder* d);
int vorbis_next_segment(VorbisDecoder* d);
int vorbis_packet_byte(VorbisDecoder* d);
void vorbis_flush_packet(VorbisDecoder* d);
void vorbis_refill_slow(VorbisDecoder* d);
int vorbis_find_page(VorbisDecoder* d, const uint8_t* from, const uint8_t** page_out,
                     const uint8_t** end_out, int* last_out);

inline void vorbis_refill(VorbisDecoder* d) {
  if (d->run_end - d->run >= 8) {
    uint64_t word;
    memcpy(&word, d->run, 8);
    d->acc |= word << d->bits;  // bits <= 56 here
    d->run += (63 - d->bits) >> 3;
    d->bits |= 56;
  } else {
    vorbis_refill_slow(d);
  }
}

// Reads n <= 32 bits; past the packet's end marks the reader invalid and yields 0.
inline uint32_t vorbis_get_bits(VorbisDecoder* d, int n) {
  if (d->bits < n) {
    if (d->bits_invalid) return 0;
    vorbis_refill(d);
    if (d->bits < n) {
      d->bits_invalid = 1;
      d->bits = 0;
      d->acc = 0;
      return 0;
    }
  }
  uint32_t value = (uint32_t)(d->acc & ((((uint64_t)1) << n) - 1));
  d->acc >>= n;
  d->bits -= n;
  return value;
}

inline int vorbis_ilog(int64_t x) {
  int n = 0;
  while (x > 0) {
    ++n;
    x >>= 1;
  }
  return n;
}

// ---- output (output.cpp)
// x * 32768 clamped, then rounded to the nearest integer with ties to even:
// adding 1.5 * 2^23 leaves the integer in the low mantissa bits.
inline short vorbis_float_to_s16(float x) {
  float v = x * 32768.0f;
  v = v > 32767.0f ? 32767.0f : v;
  v = v < -32768.0f ? -32768.0f : v;
  float shifted = v + 12582912.0f;
  int32_t bits;
  memcpy(&bits, &shifted, sizeof bits);
  return (short)(bits - 0x4B400000);
}

// ---- codebooks (codebook.cpp)
int vorbis_read_codebook(VorbisDecoder* d, VorbisCodebook* book);
int vorbis_codebook_decode_slow(VorbisDecoder* d, const VorbisCodebook* book);

// The index of the next code: the entry for a dense codebook, the sorted index for
// a sparse one (what `values` is indexed by). -1 when the packet ends or no code
// matches.
inline int vorbis_codebook_decode_index(VorbisDecoder* d, const VorbisCodebook* book) {
  if (d->bits < 32) vorbis_refill(d);
  uint32_t fast = book->fast[d->acc & (VORBIS_FAST_SIZE - 1)];
  int length = (int)(fast & 255);
  if (length != 0 && length <= d->bits) {
    d->acc >>= length;
    d->bits -= length;
    return (int)(fast >> 8);
  }
  return vorbis_codebook_decode_slow(d, book);
}

// The entry number of the next code (scalar context), or -1.
inline int vorbis_codebook_decode(VorbisDecoder* d, const VorbisCodebook* book) {
  int index = vorbis_codebook_decode_index(d, book);
  if (index >= 0 && book->sparse) index = book->sorted_values[index];
  return index;
}

// ---- setup (setup.cpp)
int vorbis_read_headers(VorbisDecoder* d);

// ---- audio packets (packet.cpp, floor.cpp, residue.cpp, mdct.cpp)
int vorbis_decode_packet(VorbisDecoder* d, int* length_out, int* left_start_out,
                         int* right_start_out);
int vorbis_finish_frame(VorbisDecoder* d, int length, int left_start, int right_start);
// Decodes and finishes the next frame; its samples are [valid_start, valid_end).
int vorbis_decode_frame(VorbisDecoder* d);
int vorbis_floor1_decode(VorbisDecoder* d, const VorbisFloor1* floor, int16_t* y_out);
void vorbis_floor1_apply(VorbisDecoder* d, const VorbisFloor1* floor, const int16_t* y,
                         float* spectrum, int half_n);
void vorbis_residue_decode(VorbisDecoder* d, const VorbisResidue* residue, float** buffers,
                           int channels, const uint8_t* do_not_decode, int half_n);
int vorbis_build_block_tables(VorbisDecoder* d, VorbisBlockTables* t, int n);
void vorbis_imdct(const VorbisBlockTables* t, float* buffer, float* scratch);
