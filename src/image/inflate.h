// zlib (RFC 1950) / DEFLATE (RFC 1951) decompression of a whole stream held in
// memory into one growing buffer. There is no streaming interface: PNG hands
// over all its IDAT chunks at once, and back-references copy within the output.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Bytes past the end of the output that a decode may scribble on.
enum { ZLIB_DECODE_SLACK = 16 };

// Decodes a zlib stream into a new malloc'd buffer (capacity may exceed the
// length written to out_len). On failure returns null, leaves out_len alone and,
// when reason_out is not null and the failure has a reason, stores its text.
uint8_t* zlib_decode_to_new_buffer(const uint8_t* input, int32_t input_len, int32_t* out_len,
                                   const char** reason_out);

// One stretch of a zlib stream; a stream may lie in several, one after the
// other (PNG's IDAT chunks), which are read where they lie.
struct ZlibPiece {
  const uint8_t* data;
  size_t len;
};

// The same with a known output size: starts with room for expected_len bytes
// and stops with *over_limit set as soon as the output would pass max_len.
uint8_t* zlib_decode_bounded(const ZlibPiece* pieces, size_t piece_count, size_t expected_len,
                             size_t max_len, size_t* out_len, const char** reason_out,
                             bool* over_limit);

// The same into the caller's buffer, which holds max_len + ZLIB_DECODE_SLACK
// bytes: stops with *over_limit set as soon as the output would pass max_len.
// Returns false on failure, with the reason as above.
bool zlib_decode_into(const ZlibPiece* pieces, size_t piece_count, uint8_t* out, size_t max_len,
                      size_t* out_len, const char** reason_out, bool* over_limit);
