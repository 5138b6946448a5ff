// The decoder's lifetime: opening (headers, tables, priming packet), the float
// frame pull, the whole-stream decode and closing. All memory comes from one
// list of blocks owned by the decoder, so a failure at any point of setup
// releases everything by closing, and a budget caps what a hostile setup can ask.
#include <cstdlib>

#include "vorbis/vorbis_internal.h"

namespace {

// Keeps the payload 16-byte aligned behind the list link.
struct alignas(16) BlockHeader {
  VorbisBlock link;
};

}  // namespace

void* vorbis_alloc(VorbisDecoder* d, int64_t bytes) {
  if (bytes < 0 || d->allocated_bytes + bytes > VORBIS_SETUP_BUDGET) VORBIS_REFUSE(d, VorbisOutOfMemory);
  BlockHeader* block = (BlockHeader*)calloc(1, sizeof(BlockHeader) + (size_t)bytes);
  if (!block) VORBIS_REFUSE(d, VorbisOutOfMemory);
  block->link.next = d->blocks;
  d->blocks = &block->link;
  d->allocated_bytes += bytes;
  return block + 1;
}

void vorbis_close_decoder(VorbisDecoder* d) {
  if (!d) return;
  VorbisBlock* b = d->blocks;
  while (b) {
    VorbisBlock* next = b->next;
    free(b);  // the link is the first member of the allocated header
    b = next;
  }
  free(d);
}

VorbisDecoder* vorbis_open_from_memory(const unsigned char* data, int len, int* error_out,
                                       const void* reserved) {
  (void)reserved;  // no arena support: everything comes from the heap
  if (!data) return nullptr;
  VorbisDecoder* d = (VorbisDecoder*)calloc(1, sizeof(VorbisDecoder));
  if (!d) {
    if (error_out) *error_out = VorbisOutOfMemory;
    return nullptr;
  }
  if (len < 0) len = 0;
  d->data = d->cursor = data;
  d->data_end = data + len;
  d->data_len = len;
  d->next_segment = -1;
  d->first_audio_page = data;
  if (!vorbis_read_headers(d)) {
    int code = d->error != VorbisOk ? d->error : VorbisBadSetup;
    vorbis_close_decoder(d);
    if (error_out) *error_out = code;
    return nullptr;
  }
  // The first packet only primes the overlap; it never yields samples.
  vorbis_decode_frame(d);
  if (error_out) *error_out = VorbisOk;
  return d;
}

VorbisInfo vorbis_get_info(const VorbisDecoder* d) {
  VorbisInfo info{};
  if (d) {
    info.sample_rate = d->sample_rate;
    info.channels = d->channels;
    info.max_frame_samples = d->blocksize[1] / 2;
  }
  return info;
}

int vorbis_get_error(const VorbisDecoder* d) { return d ? d->error : VorbisOk; }

const char* vorbis_error_name(int code) {
  switch (code) {
    case VorbisOk: return "VorbisOk";
    case VorbisOutOfMemory: return "VorbisOutOfMemory";
    case VorbisUnsupportedFloor: return "VorbisUnsupportedFloor";
    case VorbisTooManyChannels: return "VorbisTooManyChannels";
    case VorbisTruncatedHeader: return "VorbisTruncatedHeader";
    case VorbisBadSetup: return "VorbisBadSetup";
    case VorbisBadAudioPacket: return "VorbisBadAudioPacket";
    case VorbisNoCapturePattern: return "VorbisNoCapturePattern";
    case VorbisBadPageVersion: return "VorbisBadPageVersion";
    case VorbisBadContinuation: return "VorbisBadContinuation";
    case VorbisBadFirstPage: return "VorbisBadFirstPage";
    case VorbisNoLastPage: return "VorbisNoLastPage";
    default: return "VorbisUnknownError";
  }
}

int vorbis_next_frame_float(VorbisDecoder* d, int* channels_out, float*** outputs_out) {
  if (!d) return 0;
  int count = vorbis_decode_frame(d);
  for (int c = 0; c < d->channels; ++c) d->outputs[c] = d->channel_buffer[c] + d->valid_start;
  if (channels_out) *channels_out = d->channels;
  if (outputs_out) *outputs_out = d->outputs;
  return count;
}

int vorbis_decode_all_from_memory(const unsigned char* data, int len, int* channels_out,
                                  short** output_out) {
  int error = 0;
  VorbisDecoder* d = vorbis_open_from_memory(data, len, &error, nullptr);
  if (!d) return -1;
  const int channels = d->channels;
  const int limit = 4096 * channels;  // the most one frame can yield, in values
  int64_t total = limit, used = 0;
  int samples = 0;
  short* output = (short*)malloc(sizeof(short) * (size_t)total);
  if (!output) {
    vorbis_close_decoder(d);
    return -2;
  }
  for (;;) {
    int n = vorbis_next_frame_s16_interleaved(d, channels, output + used, (int)(total - used));
    if (n == 0) break;
    samples += n;
    used += (int64_t)n * channels;
    if (used + limit > total) {
      int64_t grown = total * 2;
      short* bigger = grown > 0x7FFFFFFF ? nullptr
                                         : (short*)realloc(output, sizeof(short) * (size_t)grown);
      if (!bigger) {
        free(output);
        vorbis_close_decoder(d);
        return -2;
      }
      output = bigger;
      total = grown;
    }
  }
  vorbis_close_decoder(d);
  if (channels_out) *channels_out = channels;
  if (output_out) {
    *output_out = output;
  } else {
    free(output);
  }
  return samples;
}
