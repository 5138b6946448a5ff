// Reading a front end's input and writing its output (see decode_file.h).
// The output is only ever written whole, after the decode has succeeded.
#include "decode_file.h"

#include <stdio.h>

int decode_refused(const char* reason) {
  fprintf(stderr, "%s\n", reason && reason[0] ? reason : "refused (no reason recorded)");
  return 1;
}

int decode_read_input(const char* path, std::vector<uint8_t>* out) {
  FILE* f = fopen(path, "rb");
  bool ok = f != nullptr;
  if (f) {
    // One read of the size the file says it has; anything past that (a file
    // still growing, or one whose size cannot be asked) is read in pieces.
    long size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    size_t got = 0;
    if (size > 0 && (unsigned long)size <= 0x7fffffffUL && fseek(f, 0, SEEK_SET) == 0) {
      out->resize((size_t)size);
      got = fread(out->data(), 1, (size_t)size, f);
      out->resize(got);
    } else {
      rewind(f);
    }
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    ok = !ferror(f);
    fclose(f);
  }
  if (!ok) {
    fprintf(stderr, "cannot read %s\n", path);
    return 0;
  }
  if (out->size() > 0x7fffffff) {
    fprintf(stderr, "%s is too large\n", path);
    return 0;
  }
  return 1;
}

int decode_write_output(const char* path, const void* head, size_t head_bytes, const void* body,
                        size_t body_bytes) {
  FILE* f = fopen(path, "wb");
  if (!f) {
    fprintf(stderr, "cannot write %s\n", path);
    return 0;
  }
  bool ok = (head_bytes == 0 || fwrite(head, 1, head_bytes, f) == head_bytes) &&
            (body_bytes == 0 || fwrite(body, 1, body_bytes, f) == body_bytes);
  ok = fclose(f) == 0 && ok;
  if (!ok) {
    remove(path);
    fprintf(stderr, "cannot write %s\n", path);
    return 0;
  }
  return 1;
}
