// Two passes over the text (count, then copy) so that the pieces land in one
// exactly sized block. Runs of delimiters produce no empty pieces, which is
// what line-oriented tables with CR LF endings need.
#include "support/text.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

char** split_text(const char* text, const char* delimiters, int* count_out) {
  uint8_t is_delimiter[256] = {};
  for (const uint8_t* d = (const uint8_t*)delimiters; *d; d++) is_delimiter[*d] = 1;
  const uint8_t* s = (const uint8_t*)text;
  int pieces = 0;
  size_t i = 0;
  for (;;) {
    while (s[i] && is_delimiter[s[i]]) i++;
    if (!s[i]) break;
    while (s[i] && !is_delimiter[s[i]]) i++;
    pieces++;
  }
  size_t text_len = i;
  size_t pointer_bytes = sizeof(char*) * ((size_t)pieces + 1);
  char** block = (char**)malloc(pointer_bytes + text_len + 1);
  if (!block) return nullptr;
  char* out = (char*)block + pointer_bytes;
  int piece = 0;
  i = 0;
  for (;;) {
    while (s[i] && is_delimiter[s[i]]) i++;
    if (!s[i]) break;
    size_t start = i;
    while (s[i] && !is_delimiter[s[i]]) i++;
    block[piece++] = out;
    memcpy(out, s + start, i - start);
    out += i - start;
    *out++ = 0;
  }
  block[piece] = nullptr;
  if (count_out) *count_out = pieces;
  return block;
}
