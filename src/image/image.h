// Image decoding: turns PNG, baseline JPEG, BMP or TGA bytes held in memory
// into 8-bit interleaved pixels, rows top to bottom, with the number of
// components the caller asks for. The format is recognised from the content.
// Each call keeps its working state in its own context, so loads may run on
// several threads at once; the reason for the last failure is kept per thread.
#pragma once

#include <stdint.h>

// Returns a malloc'd buffer of width × height × N bytes (N = requested_components,
// or the file's own count when it is 0), released by the caller with free().
// On failure returns null and leaves the outputs untouched (except TGA, which
// writes them once its header is accepted). components_out may be null.
uint8_t* image_load_from_memory(const uint8_t* bytes, int32_t length, int32_t* width_out,
                                int32_t* height_out, int32_t* components_out,
                                int32_t requested_components);

// The reason text of the calling thread's most recent failed load ("" before any
// failure). It is overwritten by every failure and never cleared.
const char* image_failure_reason(void);

// Converts width × height pixels from `from` to `to` components (both 1..4).
// Returns `pixels` itself when they are equal; otherwise a new buffer, and
// `pixels` is freed either way. Returns null when the new buffer cannot be made.
uint8_t* image_convert_components(uint8_t* pixels, int32_t width, int32_t height, int from, int to);
