// Shared by the format decoders: the byte source they read through, the
// per-call context that carries the failure reason, and the checked size
// arithmetic that every decoder uses before allocating.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A read cursor over the caller's bytes. pos never exceeds len: skipping past
// the end parks it at the end, where every read yields 0.
struct ImageSource {
  const uint8_t* data;
  size_t pos;  // 0..len
  size_t len;
};

struct ImageContext {
  ImageSource source;
  const char* reason;      // constant text, or chunk_reason
  char chunk_reason[32];   // "XXXX chunk not known" with the chunk's type
  uint64_t max_pixels;     // width × height above this is refused as "too large"
};

// What a refusing step returns: false, 0 or null, whichever its own return
// type calls for, so every decoder refuses the same way.
struct ImageRefusal {
  template <typename T>
  operator T() const { return T(); }
};

// Records why the file is refused and yields the failure value. A null reason
// (the format gives none) records nothing, leaving any earlier reason in place.
inline ImageRefusal image_refuse(ImageContext* ctx, const char* reason) {
  if (reason) ctx->reason = reason;
  return ImageRefusal();
}

// The one way a decoder step refuses its input: records and returns.
#define IMAGE_REFUSE(ctx, reason) return image_refuse((ctx), (reason))

void source_reset(ImageSource* src, const uint8_t* bytes, size_t length);
static inline int source_get8(ImageSource* src) {
  if (src->pos >= src->len) return 0;
  return src->data[src->pos++];
}
static inline bool source_at_end(const ImageSource* src) { return src->pos >= src->len; }
static inline size_t source_remaining(const ImageSource* src) { return src->len - src->pos; }
int source_get16be(ImageSource* src);
uint32_t source_get32be(ImageSource* src);
int source_get16le(ImageSource* src);
uint32_t source_get32le(ImageSource* src);
// Negative counts are ignored: a decoder never moves backwards.
void source_skip(ImageSource* src, int64_t n);
// Copies n bytes (zeros past the end).
void source_read(ImageSource* src, uint8_t* dst, size_t n);

// a × b × c (and an optional extra) as a byte count that fits in an int32,
// or -1 when it does not. Every decoder sizes its buffers through this.
int64_t image_checked_size(int64_t a, int64_t b, int64_t c, int64_t extra);

// False (with "too large" recorded) when width × height passes the context's cap.
bool image_pixels_allowed(ImageContext* ctx, int64_t width, int64_t height);

// malloc of width × height × comp + extra bytes, refused with "too large" when
// the product overflows or passes the cap, and with "outofmem" when malloc fails.
uint8_t* image_alloc_pixels(ImageContext* ctx, int64_t width, int64_t height, int comp, int64_t extra);

// image_load_from_memory with a cap on width × height, so that the fuzzer is
// not stopped by huge but legal headers over a few bytes of data.
uint8_t* image_load_limited(const uint8_t* bytes, int32_t length, int32_t* width_out, int32_t* height_out,
                            int32_t* components_out, int32_t requested_components, uint64_t max_pixels);

int png_test(ImageContext* ctx);
uint8_t* png_load(ImageContext* ctx, int32_t* w, int32_t* h, int32_t* comp, int req_comp);
int jpeg_test(ImageContext* ctx);
uint8_t* jpeg_load(ImageContext* ctx, int32_t* w, int32_t* h, int32_t* comp, int req_comp);
int bmp_test(ImageContext* ctx);
uint8_t* bmp_load(ImageContext* ctx, int32_t* w, int32_t* h, int32_t* comp, int req_comp);
int tga_test(ImageContext* ctx);
uint8_t* tga_load(ImageContext* ctx, int32_t* w, int32_t* h, int32_t* comp, int req_comp);
