// Growth policy: exact up to a capacity of 4, then at least doubling, so small
// tables waste nothing and long ones append in amortised constant time. Sizes
// are computed in 64 bits; a block of 4 GiB or more (far beyond any table of
// this program, and a sign of a corrupt count) counts as a failed allocation.
#include "support/array.h"

#include <assert.h>
#include <stdlib.h>

static size_t block_bytes(int element_size, int capacity, bool* ok) {
  uint64_t bytes = (uint64_t)sizeof(ArrayHeader) + (uint64_t)element_size * (uint64_t)capacity;
  *ok = element_size >= 0 && capacity >= 0 && bytes < (1ull << 32) && bytes <= (uint64_t)SIZE_MAX / 2;
  return (size_t)bytes;
}

void* array_reserve(void* array, int element_size, int min_capacity, int new_count) {
  if (new_count < 0) new_count = 0;
  if (min_capacity < 0) min_capacity = 0;
  ArrayHeader* h;
  if (!array) {
    if (new_count == 0 && element_size == 0) return nullptr;
    bool ok;
    size_t bytes = block_bytes(element_size, min_capacity, &ok);
    h = ok ? (ArrayHeader*)malloc(bytes) : nullptr;
    if (!h) return nullptr;
    h->count = new_count;
    h->capacity = min_capacity;
    h->context_flag = 0;
    h->marker = ARRAY_MARKER;
  } else {
    h = (ArrayHeader*)array - 1;
    assert(h->marker == ARRAY_MARKER);
    h->count = new_count;
    if (h->capacity < min_capacity) {
      if (h->capacity >= 4 && min_capacity < 2 * (int64_t)h->capacity)
        min_capacity = h->capacity <= INT32_MAX / 2 ? 2 * h->capacity : INT32_MAX;
      bool ok;
      size_t bytes = block_bytes(element_size, min_capacity, &ok);
      ArrayHeader* grown = ok ? (ArrayHeader*)realloc(h, bytes) : nullptr;
      if (grown) {
        h = grown;
        h->capacity = min_capacity;
      }
    }
  }
  if (h->count > h->capacity) h->count = h->capacity;
  return h + 1;
}

void* array_set_count(void* array, int element_size, int n) {
  if (n < 0) n = 0;
  if (array) {
    ArrayHeader* h = (ArrayHeader*)array - 1;
    if (h->capacity >= n) {
      h->count = n;
      return array;
    }
  }
  return array_reserve(array, element_size, n, n);
}

void* array_add(void* array, int element_size, int k) {
  int count = array_count(array);
  int64_t n = (int64_t)count + k;
  if (n > INT32_MAX) n = INT32_MAX;
  return array_set_count(array, element_size, (int)n);
}

void array_free(void* array) {
  if (array) free((ArrayHeader*)array - 1);
}
