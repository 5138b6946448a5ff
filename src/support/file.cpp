// UTF-8 to UTF-16 conversion and the whole-file read. The converter accepts
// overlong and surrogate three-byte forms on purpose: it only has to turn names
// that exist into names the wide-character open understands.
#include "support/file.h"

#include <limits.h>
#include <stdlib.h>

#include "support/os.h"

static bool is_continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

uint16_t* utf8_to_wide(uint16_t* output, const char* text, int capacity) {
  const uint8_t* s = (const uint8_t*)text;
  int i = 0;
  for (;;) {
    uint8_t lead = *s;
    if (lead == 0) {
      // Room for the terminator is guaranteed by the test before each character
      // (i < capacity - 1), except for an empty capacity.
      if (capacity < 1) return nullptr;
      output[i] = 0;
      return output;
    }
    if (i >= capacity - 1) return nullptr;
    if (lead < 0x80) {
      output[i++] = lead;
      s += 1;
    } else if ((lead & 0xE0) == 0xC0) {
      if (!is_continuation(s[1])) return nullptr;
      output[i++] = (uint16_t)((lead & 0x1F) << 6 | (s[1] & 0x3F));
      s += 2;
    } else if ((lead & 0xF0) == 0xE0) {
      if (!is_continuation(s[1]) || !is_continuation(s[2])) return nullptr;
      output[i++] = (uint16_t)((lead & 0x0F) << 12 | (s[1] & 0x3F) << 6 | (s[2] & 0x3F));
      s += 3;
    } else if ((lead & 0xF8) == 0xF0) {
      if (!is_continuation(s[1]) || !is_continuation(s[2]) || !is_continuation(s[3]))
        return nullptr;
      uint32_t v = (uint32_t)(lead & 7) << 18 | (uint32_t)(s[1] & 0x3F) << 12 |
                   (uint32_t)(s[2] & 0x3F) << 6 | (uint32_t)(s[3] & 0x3F);
      s += 4;
      if ((v & ~0x7FFu) == 0xD800) return nullptr;
      if (v < 0x10000) continue;  // overlong four-byte form: dropped
      if (i + 2 > capacity - 1) return nullptr;
      output[i++] = (uint16_t)(0xD800 | ((v - 0x10000) >> 10 & 0x3FF));
      output[i++] = (uint16_t)(0xDC00 | ((v - 0x10000) & 0x3FF));
    } else {
      return nullptr;  // stray continuation byte or 0xF8..0xFF
    }
  }
}

uint16_t* path_to_wide(const char* text, WidePath* out) {
  return utf8_to_wide(out->units, text, FILE_PATH_UNITS);
}

uint16_t* mode_to_wide(const char* text, WideMode* out) {
  return utf8_to_wide(out->units, text, FILE_MODE_UNITS);
}

int file_length(FILE* file) {
  long here = ftell(file);
  if (here < 0 || fseek(file, 0, SEEK_END) != 0) return -1;
  long end = ftell(file);
  fseek(file, here, SEEK_SET);
  if (end < 0 || end > INT_MAX) return -1;
  return (int)end;
}

FILE* file_open(const char* name, const char* mode) {
  WideMode mode_units;
  WidePath name_units;
  const uint16_t* wide_mode = mode_to_wide(mode, &mode_units);
  const uint16_t* wide_name = path_to_wide(name, &name_units);
  if (!wide_mode || !wide_name) return nullptr;
  return os_file_open(name, wide_name, wide_mode, mode);
}

uint8_t* read_whole_file(const char* name, int* length_out) {
  FILE* file = file_open(name, "rb");
  if (!file) return nullptr;
  int n = file_length(file);
  // A file too large for an int length (or one whose length cannot be read)
  // is refused rather than read short.
  uint8_t* buffer = n >= 0 && n <= INT_MAX - 2 ? (uint8_t*)malloc((size_t)n + 2) : nullptr;
  if (buffer) {
    if (fread(buffer, 1, (size_t)n, file) == (size_t)n) {
      if (length_out) *length_out = n;
      buffer[n] = 0;
    } else {
      free(buffer);
      buffer = nullptr;
    }
  }
  fclose(file);
  return buffer;
}
