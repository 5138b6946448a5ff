// Growable arrays handed around as a plain pointer to their elements, with the
// count and capacity in a header just in front (null is the empty array). The
// marker lets a debugger or an assertion tell such a block from any other.
#pragma once

#include <stdint.h>

enum : uint32_t { ARRAY_MARKER = 0x51BADA7Bu };

struct ArrayHeader {
  int count;         // elements in use, 0..capacity
  int capacity;      // elements allocated
  int context_flag;  // 0: the block comes from the plain heap
  uint32_t marker;   // always ARRAY_MARKER
};
static_assert(sizeof(ArrayHeader) == 16, "elements stay 16-byte aligned behind the header");

// Count becomes new_count; the capacity grows to at least min_capacity (exact
// up to 4, at least doubling from there). On a failed allocation the old block
// stays and the count is clamped to the old capacity; a null array whose first
// allocation fails stays null.
void* array_reserve(void* array, int element_size, int min_capacity, int new_count);
void* array_set_count(void* array, int element_size, int n);
void* array_add(void* array, int element_size, int k);  // new elements uninitialised

inline ArrayHeader* array_header(void* array) {
  return array ? (ArrayHeader*)array - 1 : nullptr;
}
inline int array_count(const void* array) {
  return array ? ((const ArrayHeader*)array - 1)->count : 0;
}
inline int array_capacity(const void* array) {
  return array ? ((const ArrayHeader*)array - 1)->capacity : 0;
}
void array_free(void* array);

// Appends one uninitialised element and returns the new array (the element is
// at index count - 1); returns null only when a null array could not be made.
// After a failed growth of an existing array the count is unchanged, so the
// caller must compare counts before writing.
template <typename T>
inline T* array_push(T* array) {
  ArrayHeader* h = array_header(array);
  if (h && h->count + 1 <= h->capacity) {
    h->count += 1;
    return array;
  }
  return (T*)array_add(array, (int)sizeof(T), 1);
}
