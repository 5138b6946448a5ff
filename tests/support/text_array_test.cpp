// Text splitting and growable arrays: the archive directory and the music
// segment table depend on the exact piece rules and on the header layout.
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

TEST(SplitText, EmptyAndDelimiterOnlyTexts) {
  for (const char* text : {"", "\r\n\n\r", "   "}) {
    int count = -1;
    char** block = split_text(text, "\r\n ", &count);
    ASSERT_NE(block, nullptr) << text;
    EXPECT_EQ(count, 0);
    EXPECT_EQ(block[0], nullptr);
    free(block);
  }
}

TEST(SplitText, PiecesLiveInsideOneBlockAndDelimitersAreForgotten) {
  const char* text = " 12 seg_a\t3400\n\n 7 seg_b 99 ";
  int count = 0;
  char** block = split_text(text, " \t\n", &count);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(pieces_of(block, count),
            (std::vector<std::string>{"12", "seg_a", "3400", "7", "seg_b", "99"}));
  // All piece bytes sit behind the pointer array, inside the promised size.
  char* first_byte = (char*)(block + count + 1);
  char* end = first_byte + strlen(text) + 1;
  for (int i = 0; i < count; i++) {
    EXPECT_GE(block[i], first_byte);
    EXPECT_LE(block[i] + strlen(block[i]) + 1, end);
  }
  free(block);
  // A later split with other delimiters must not see the old ones: the space
  // is no longer a delimiter.
  block = split_text("x y,z", ",", &count);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(pieces_of(block, count), (std::vector<std::string>{"x y", "z"}));
  free(block);
}

TEST(SplitText, HighBytesAreOrdinaryCharacters) {
  int count = 0;
  char** block = split_text("\xC3\xA9t\xC3\xA9|\xFF", "|", &count);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(pieces_of(block, count), (std::vector<std::string>{"\xC3\xA9t\xC3\xA9", "\xFF"}));
  free(block);
}

TEST(GrowableArray, AppendGrowthIsExactToFourThenDoubles) {
  int* array = nullptr;
  std::vector<int> capacities;
  for (int i = 0; i < 40; i++) {
    array = array_push(array);
    ASSERT_NE(array, nullptr);
    ASSERT_EQ(array_count(array), i + 1);
    array[i] = i * 3;
    if (capacities.empty() || capacities.back() != array_capacity(array))
      capacities.push_back(array_capacity(array));
  }
  EXPECT_EQ(capacities, (std::vector<int>{1, 2, 3, 4, 8, 16, 32, 64}));
  for (int i = 0; i < 40; i++) EXPECT_EQ(array[i], i * 3);  // realloc kept the data
  ArrayHeader* h = array_header(array);
  EXPECT_EQ(h->context_flag, 0);
  EXPECT_EQ(h->marker, 0x51BADA7Bu);
  EXPECT_EQ((void*)(h + 1), (void*)array);
  array_free(array);
}

TEST(GrowableArray, NullArrayCases) {
  void* array = array_add(nullptr, 20, 1);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array_count(array), 1);
  EXPECT_EQ(array_capacity(array), 1);
  array_free(array);
  EXPECT_EQ(array_reserve(nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(array_count(nullptr), 0);
  EXPECT_EQ(array_capacity(nullptr), 0);
}

TEST(GrowableArray, ReserveGrowthRules) {
  void* a4 = array_reserve(nullptr, 8, 4, 4);
  a4 = array_reserve(a4, 8, 5, 5);
  EXPECT_EQ(array_capacity(a4), 8);
  EXPECT_EQ(array_count(a4), 5);
  void* a3 = array_reserve(nullptr, 8, 3, 3);
  a3 = array_reserve(a3, 8, 4, 4);
  EXPECT_EQ(array_capacity(a3), 4);
  // A request beyond double is taken as it is.
  a4 = array_reserve(a4, 8, 100, 2);
  EXPECT_EQ(array_capacity(a4), 100);
  EXPECT_EQ(array_count(a4), 2);
  // Shrinking the count keeps the capacity.
  a4 = array_set_count(a4, 8, 0);
  EXPECT_EQ(array_count(a4), 0);
  EXPECT_EQ(array_capacity(a4), 100);
  array_free(a4);
  array_free(a3);
}

TEST(GrowableArray, CountNeverExceedsCapacity) {
  // A count above the requested capacity is clamped (the header must never
  // claim elements that were not allocated).
  void* array = array_reserve(nullptr, 4, 2, 10);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array_capacity(array), 2);
  EXPECT_EQ(array_count(array), 2);
  array_free(array);
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
