// UTF-8 names and whole-file reads: the conversion must match the rules the
// Windows open relies on, and a read either delivers every byte or nothing.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/file.h"

namespace {

std::string temp_dir() {
  const char* dir = getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

std::string write_temp(const std::string& leaf, const std::string& content) {
  std::string path = temp_dir() + "/vantrel_file_test_" + std::to_string(getpid()) + "_" + leaf;
  FILE* f = fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr);
  if (f) {
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
  }
  return path;
}

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

TEST(Utf8ToWide, FourByteFormBelowPlaneOneDisappears) {
  bool ok;
  auto w = wide("a\xF0\x80\x81\x81" "b", 8, &ok);  // encodes U+0041 overlong
  ASSERT_TRUE(ok);
  EXPECT_EQ(w[0], 'a');
  EXPECT_EQ(w[1], 'b');
  EXPECT_EQ(w[2], 0);
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

TEST(Utf8ToWide, AcceptsOverlongAndSurrogateThreeByteForms) {
  bool ok;
  auto w = wide("\xC0\xAF\xED\xA0\x80", 8, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(w[0], 0x2F);
  EXPECT_EQ(w[1], 0xD800);
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

TEST(ReadWholeFile, ContentLengthAndTrailingNul) {
  std::string content;
  for (int i = 0; i < 70000; i++) content.push_back((char)(i * 31 + (i >> 8)));
  std::string path = write_temp("data.bin", content);
  int length = -1;
  uint8_t* data = read_whole_file(path.c_str(), &length);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(length, (int)content.size());
  EXPECT_EQ(memcmp(data, content.data(), content.size()), 0);
  EXPECT_EQ(data[length], 0);
  free(data);
  // The length pointer may be null.
  data = read_whole_file(path.c_str(), nullptr);
  ASSERT_NE(data, nullptr);
  free(data);
  remove(path.c_str());
}

TEST(ReadWholeFile, EmptyFileGivesOneNul) {
  std::string path = write_temp("empty.txt", "");
  int length = -1;
  uint8_t* data = read_whole_file(path.c_str(), &length);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(data[0], 0);
  free(data);
  remove(path.c_str());
}

TEST(ReadWholeFile, MissingFileAndDirectoryGiveNull) {
  int length = -7;
  EXPECT_EQ(read_whole_file("/nonexistent/vantrel/none.dat", &length), nullptr);
  EXPECT_EQ(length, -7);
  // A directory opens on some systems but has no readable length or bytes.
  EXPECT_EQ(read_whole_file(temp_dir().c_str(), &length), nullptr);
  EXPECT_EQ(length, -7);
}

TEST(ReadWholeFile, Utf8NameOpens) {
  std::string path = write_temp("n\xC3\xA4me_\xF0\x9F\x98\x80.txt", "hello");
  int length = 0;
  uint8_t* data = read_whole_file(path.c_str(), &length);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string((char*)data), "hello");
  free(data);
  remove(path.c_str());
}

TEST(FileLength, KeepsThePosition) {
  std::string path = write_temp("pos.bin", "0123456789");
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  fseek(f, 3, SEEK_SET);
  EXPECT_EQ(file_length(f), 10);
  EXPECT_EQ(fgetc(f), '3');
  fclose(f);
  remove(path.c_str());
}

}  // namespace
