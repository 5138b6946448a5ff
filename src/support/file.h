// Whole-file reading with UTF-8 names. Names are converted to UTF-16 first on
// every platform, so a name that would not open on Windows fails everywhere the
// same way; Windows then opens the UTF-16 name, POSIX the UTF-8 one.
#pragma once

#include <stdint.h>
#include <stdio.h>

enum {
  FILE_PATH_UNITS = 4096,  // longest UTF-16 name (units, with the 0)
  FILE_MODE_UNITS = 64,    // longest UTF-16 open mode
};

// UTF-16 forms of a name and an open mode, on the caller's stack.
struct WidePath {
  uint16_t units[FILE_PATH_UNITS];
};
struct WideMode {
  uint16_t units[FILE_MODE_UNITS];
};

// Converts NUL-terminated UTF-8 into NUL-terminated UTF-16 of at most
// `capacity` units including the terminator. Returns output, or null on bad
// input or lack of room (output then holds a partial, unterminated result).
uint16_t* utf8_to_wide(uint16_t* output, const char* text, int capacity);

// utf8_to_wide into out's units; returns them, or null as utf8_to_wide does.
uint16_t* path_to_wide(const char* text, WidePath* out);
uint16_t* mode_to_wide(const char* text, WideMode* out);

// Opens a file by its UTF-8 name (through the UTF-16 name on Windows, so any
// name the file system allows can be opened). Null on failure.
FILE* file_open(const char* name, const char* mode);

// Length of an open file in bytes (-1 on failure); the position is kept.
int file_length(FILE* file);

// Reads a whole file into a new buffer with a NUL after the data; the length
// without the NUL goes to length_out (may be null). Release with free. Null on
// any failure, and length_out is then left untouched.
uint8_t* read_whole_file(const char* name, int* length_out);
