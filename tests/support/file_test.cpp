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

TEST(Utf8ToWide, FormsRefusalsAndCapacity) {
  bool ok;
  auto w = wide("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z", 16, &ok);
  ASSERT_TRUE(ok);
  std::vector<uint16_t> expected = {'a', 0xE9, 0x20AC, 0xD83D, 0xDE00, 'z', 0};
  EXPECT_EQ(std::vector<uint16_t>(w.begin(), w.begin() + 7), expected);
  const struct {
    const char* text;
    int capacity;
    bool ok;
  } cases[] = {
      {"\x80" "abc", 8, false},                // stray continuation byte
      {"a\xC3(", 8, false},                   // lead without continuation
      {"a\xE2\x82", 8, false},                // truncated three-byte form at the end
      {"\xF8\x88\x80\x80\x80", 8, false},      // five-byte lead
      {"\xF0\x8D\xA0\x80", 8, false},         // four-byte form of the surrogate D800
      {"abc", 4, true},                        // three units and the terminator fit exactly
      {"abcd", 4, false},
      {"ab\xF0\x9F\x98\x80", 4, false},       // a surrogate pair needs two units
      {"a\xF0\x9F\x98\x80", 4, true},
  };
  for (const auto& c : cases) {
    wide(c.text, c.capacity, &ok);
    EXPECT_EQ(ok, c.ok) << c.text;
  }
  // Nothing is written past the capacity even on failure.
  w = wide("abcdefgh", 4, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(w[4], 0xEEEE);
}

}  // namespace
