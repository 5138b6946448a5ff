// UTF-8 names: the conversion must match the rules the Windows open relies on.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "support/file.h"

namespace {

std::vector<uint16_t> wide(const char* text, int capacity, bool* ok) {
  std::vector<uint16_t> out(capacity + 4, 0xEEEE);
  *ok = utf8_to_wide(out.data(), text, capacity) != nullptr;
  return out;
}

TEST(Utf8ToWide, OneTwoThreeAndFourByteForms) {
  bool ok;
  auto w = wide("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z", 16, &ok);
  ASSERT_TRUE(ok);
  std::vector<uint16_t> expected = {'a', 0xE9, 0x20AC, 0xD83D, 0xDE00, 'z', 0};
  EXPECT_EQ(std::vector<uint16_t>(w.begin(), w.begin() + 7), expected);
}

TEST(Utf8ToWide, RejectsBadSequences) {
  bool ok;
  wide("\x80" "abc", 8, &ok);  // stray continuation byte
  EXPECT_FALSE(ok);
  wide("a\xC3(", 8, &ok);  // lead without continuation
  EXPECT_FALSE(ok);
  wide("a\xE2\x82", 8, &ok);  // truncated three-byte form at the end
  EXPECT_FALSE(ok);
  wide("\xF8\x88\x80\x80\x80", 8, &ok);  // five-byte lead
  EXPECT_FALSE(ok);
  wide("\xF0\x8D\xA0\x80", 8, &ok);  // four-byte form of the surrogate D800
  EXPECT_FALSE(ok);
}

TEST(Utf8ToWide, CapacityLimits) {
  bool ok;
  auto w = wide("abc", 4, &ok);  // three units and the terminator fit exactly
  EXPECT_TRUE(ok);
  EXPECT_EQ(w[3], 0);
  wide("abcd", 4, &ok);
  EXPECT_FALSE(ok);
  // A surrogate pair needs two units before the terminator.
  wide("ab\xF0\x9F\x98\x80", 4, &ok);
  EXPECT_FALSE(ok);
  w = wide("a\xF0\x9F\x98\x80", 4, &ok);
  EXPECT_TRUE(ok);
  // Nothing is written past the capacity even on failure.
  w = wide("abcdefgh", 4, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(w[4], 0xEEEE);

  std::string name4095(4095, 'n'), name4096(4096, 'n');
  WidePath path;
  EXPECT_EQ(path_to_wide(name4095.c_str(), &path), path.units);
  EXPECT_EQ(path_to_wide(name4096.c_str(), &path), nullptr);
  int length = -7;
  EXPECT_EQ(read_whole_file(name4096.c_str(), &length), nullptr);
  EXPECT_EQ(length, -7);
}

}  // namespace
