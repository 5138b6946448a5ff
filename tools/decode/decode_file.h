// The files on either side of a decoder front end. Both halves report their
// own failure on standard error, so every front end words it the same way and
// none leaves a partial output behind.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

// Says on one line why the decoder refused the input: its reason, or, when it
// recorded none (null or empty), "refused (no reason recorded)". Returns 1,
// the exit status of a refusal.
int decode_refused(const char* reason);

// A whole input file, released with the record.
struct DecodeInput {
  uint8_t* data = nullptr;
  size_t size = 0;
  DecodeInput() = default;
  DecodeInput(const DecodeInput&) = delete;
  DecodeInput& operator=(const DecodeInput&) = delete;
  ~DecodeInput() { free(data); }
};

// The whole of `path` into out, at most 2^31 - 1 bytes (what the decoders
// take). On failure: "cannot read PATH" or "PATH is too large", and 0.
int decode_read_input(const char* path, DecodeInput* out);

// True when f is an ordinary file: the only kind of output a failed write may
// remove. A device or a pipe named as the output (/dev/full, /dev/stdout) is
// left where it is.
bool decode_output_is_file(FILE* f);
// After a failed write: removes PATH when it is such a file, says "cannot
// write PATH", and returns 0.
int decode_write_failed(const char* path, bool is_file);

// `head` then `body` as the new contents of `path` (either may be empty). On
// failure a partial file is removed, "cannot write PATH" is said, and 0.
int decode_write_output(const char* path, const void* head, size_t head_bytes, const void* body,
                        size_t body_bytes);
