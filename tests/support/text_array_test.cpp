// Text splitting and growable arrays: the archive directory and the music
// segment table depend on the piece rules and on refusing impossible sizes.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "support/array.h"
#include "support/text.h"

namespace {

std::vector<std::string> pieces_of(char** block, int count) {
  std::vector<std::string> out;
  for (int i = 0; i < count; i++) out.push_back(block[i]);
  EXPECT_EQ(block[count], nullptr);
  return out;
}

TEST(SplitText, CrLfRunsGiveNoEmptyPieces) {
  int count = -1;
  char** block = split_text("a\r\n\r\nb\r\n", "\r\n", &count);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(pieces_of(block, count), (std::vector<std::string>{"a", "b"}));
  free(block);
}

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
