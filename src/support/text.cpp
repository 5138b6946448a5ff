// Two passes over the text (count, then copy) so that the pieces land in one
// exactly sized block. Runs of delimiters produce no empty pieces, which is
// what line-oriented tables with CR LF endings need.
#include "support/text.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

static uint8_t g_delimiter_set[256];

static void mark_delimiters(const char* delimiters, uint8_t flag) {
  for (const uint8_t* d = (const uint8_t*)delimiters; *d; d++) g_delimiter_set[*d] = flag;
}

char** split_text(const char* text, const char* delimiters, int* count_out) {
  mark_delimiters(delimiters, 1);
  const uint8_t* s = (const uint8_t*)text;
  int pieces = 0;
  size_t i = 0;
  for (;;) {
    while (s[i] && g_delimiter_set[s[i]]) i++;
    if (!s[i]) break;
    while (s[i] && !g_delimiter_set[s[i]]) i++;
    pieces++;
  }
  size_t text_len = i;
  size_t pointer_bytes = sizeof(char*) * ((size_t)pieces + 1);
  char** block = (char**)malloc(pointer_bytes + text_len + 1);
  if (!block) {
    mark_delimiters(delimiters, 0);
    return nullptr;
  }
  char* out = (char*)block + pointer_bytes;
  int piece = 0;
  i = 0;
  for (;;) {
    while (s[i] && g_delimiter_set[s[i]]) i++;
    if (!s[i]) break;
    size_t start = i;
    while (s[i] && !g_delimiter_set[s[i]]) i++;
    block[piece++] = out;
    memcpy(out, s + start, i - start);
    out += i - start;
    *out++ = 0;
  }
  mark_delimiters(delimiters, 0);
  block[piece] = nullptr;
  if (count_out) *count_out = pieces;
  return block;
}
