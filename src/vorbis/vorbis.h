// Ogg Vorbis decoder over bytes held in memory: open a stream, pull decoded
// frames as floats or 16-bit samples (matched to the channel count the caller
// wants), or decode everything at once. The decoder never allocates after
// opening and never owns the input bytes, which must outlive the decoder.
#pragma once

struct VorbisDecoder;

// Error codes recorded by the decoder (the latest one is kept).
enum VorbisError {
  VorbisOk = 0,
  VorbisOutOfMemory = 3,
  VorbisUnsupportedFloor = 4,
  VorbisTooManyChannels = 5,
  VorbisTruncatedHeader = 10,
  VorbisBadSetup = 20,
  VorbisBadAudioPacket = 21,
  VorbisNoCapturePattern = 30,
  VorbisBadPageVersion = 31,
  VorbisBadContinuation = 32,
  VorbisBadFirstPage = 34,
  VorbisNoLastPage = 36,
};

// Stream facts of an open decoder.
struct VorbisInfo {
  unsigned int sample_rate;  // nonzero
  int channels;              // 1..16
  int max_frame_samples;     // long block size / 2: the most one frame yields
};

// Reads the headers, builds every table and primes the overlap with the first
// audio packet. Returns null on failure with the code in *error_out (if given).
// `reserved` is for a caller-supplied arena and must be null.
VorbisDecoder* vorbis_open_from_memory(const unsigned char* data, int len, int* error_out,
                                       const void* reserved);
void vorbis_close_decoder(VorbisDecoder* decoder);  // null is ignored

VorbisInfo vorbis_get_info(const VorbisDecoder* decoder);
int vorbis_get_error(const VorbisDecoder* decoder);
const char* vorbis_error_name(int code);  // "VorbisBadSetup", or "VorbisUnknownError"

// Length in samples per channel from the last page's granule position
// (saturating at 0xFFFFFFFE); 0 when it cannot be found. Cached.
unsigned int vorbis_total_samples(VorbisDecoder* decoder);

// Decodes the next frame. Returns samples per channel (0 = no more audio); the
// per-channel float pointers stay valid until the next call.
int vorbis_next_frame_float(VorbisDecoder* decoder, int* channels_out, float*** outputs_out);

// Planar 16-bit: `channels` buffers of `samples` capacity each. Samples of the
// frame beyond the capacity are dropped.
int vorbis_next_frame_s16(VorbisDecoder* decoder, int channels, short** buffers, int samples);

// Interleaved 16-bit: at most `values` / `channels` frames are written; the rest
// of the decoded frame is dropped. Offer 4096 × channels values to lose nothing.
int vorbis_next_frame_s16_interleaved(VorbisDecoder* decoder, int channels, short* buffer,
                                      int values);

// Whole stream as interleaved 16-bit with its own channel count. Returns the
// samples per channel and a malloc'd buffer in *output_out (release with free);
// -1 when the stream cannot be opened, -2 when the output cannot be allocated.
int vorbis_decode_all_from_memory(const unsigned char* data, int len, int* channels_out,
                                  short** output_out);
