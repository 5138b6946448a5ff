// Growable arrays: the archive directory and the music segment table depend
// on refusing impossible sizes.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "support/array.h"

namespace {

TEST(GrowableArray, ImpossibleSizeFailsWithoutCorruption) {
  // Regression guard: element_size x capacity overflowing must fail the
  // allocation, not wrap to a small block that is then written past.
  void* array = array_reserve(nullptr, 16, 4, 4);
  ASSERT_NE(array, nullptr);
  array = array_reserve(array, 1 << 30, 1 << 30, 1 << 30);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array_capacity(array), 4);
  EXPECT_EQ(array_count(array), 4);
  EXPECT_EQ(array_reserve(nullptr, 1 << 30, 1 << 30, 1), nullptr);
  array_free(array);
}

}  // namespace
