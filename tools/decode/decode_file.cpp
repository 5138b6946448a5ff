// Reading a front end's input and writing its output (see decode_file.h).
// An image is written whole, after its decode has succeeded; the audio front
// end streams its samples itself.
#include "decode_file.h"

#include <stdio.h>
#include <sys/stat.h>

int decode_refused(const char* reason) {
  fprintf(stderr, "%s\n", reason && reason[0] ? reason : "refused (no reason recorded)");
  return 1;
}

// Appends up to n bytes from f; false when the buffer cannot grow.
static bool read_more(FILE* f, DecodeInput* out, size_t n, size_t* got) {
  uint8_t* grown = (uint8_t*)realloc(out->data, out->size + n);
  if (!grown) return false;
  out->data = grown;
  *got = fread(out->data + out->size, 1, n, f);
  out->size += *got;
  return true;
}

int decode_read_input(const char* path, DecodeInput* out) {
  FILE* f = fopen(path, "rb");
  bool ok = f != nullptr;
  if (f) {
    // One read of the size the file says it has, into a buffer that is not
    // cleared first (the read fills it); anything past that (a file still
    // growing, or one whose size cannot be asked) is read in pieces.
    long size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    size_t got = 0;
    if (size > 0 && (unsigned long)size <= 0x7fffffffUL && fseek(f, 0, SEEK_SET) == 0) {
      ok = read_more(f, out, (size_t)size, &got);
    } else {
      rewind(f);
    }
    const size_t piece = 65536;
    while (ok && out->size <= 0x7fffffff && (ok = read_more(f, out, piece, &got)) && got > 0) {
    }
    ok = ok && !ferror(f);
    fclose(f);
  }
  if (!ok) {
    fprintf(stderr, "cannot read %s\n", path);
    return 0;
  }
  if (out->size > 0x7fffffff) {
    fprintf(stderr, "%s is too large\n", path);
    return 0;
  }
  return 1;
}

bool decode_output_is_file(FILE* f) {
  struct stat st;
  return f && fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
}

int decode_write_failed(const char* path, bool is_file) {
  if (is_file) remove(path);
  fprintf(stderr, "cannot write %s\n", path);
  return 0;
}

int decode_write_output(const char* path, const void* head, size_t head_bytes, const void* body,
                        size_t body_bytes) {
  FILE* f = fopen(path, "wb");
  if (!f) return decode_write_failed(path, false);
  const bool is_file = decode_output_is_file(f);
  bool ok = (head_bytes == 0 || fwrite(head, 1, head_bytes, f) == head_bytes) &&
            (body_bytes == 0 || fwrite(body, 1, body_bytes, f) == body_bytes);
  ok = fclose(f) == 0 && ok;
  if (!ok) return decode_write_failed(path, is_file);
  return 1;
}
