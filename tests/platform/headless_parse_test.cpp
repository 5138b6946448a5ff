// The headless runner's command line and input script: every key form, and
// the refusals.
#include <gtest/gtest.h>

#include <string>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

int parse(const char* text, std::vector<ScriptEvent>* events, std::string* error) {
  char buffer[256] = {};
  int ok = script_parse(text, events, buffer, sizeof buffer);
  *error = buffer;
  return ok;
}

TEST(HeadlessScript, EveryKeyFormCommentsAndOrder) {
  std::vector<ScriptEvent> events;
  std::string error;
  ASSERT_EQ(1, parse("# a comment\n"
                     "\n"
                     "5 down LEFT\r\n"
                     "  3\tup   0x41  \n"
                     "5 up LEFT\n"
                     "0 down Z\n"
                     "   # indented comment\n"
                     "7 down ESCAPE\n"
                     "7 down PAUSE\n"
                     "7 down SPACE\n"
                     "7 down RIGHT\n"
                     "7 down UP\n"
                     "7 down DOWN\n"
                     "9 down 0xff",
                     &events, &error))
      << error;
  ASSERT_EQ(11u, events.size());
  // Ordered by frame, and within a frame in file order.
  EXPECT_EQ(0, events[0].frame);
  EXPECT_EQ('Z', events[0].key);
  EXPECT_EQ(3, events[1].frame);
  EXPECT_EQ(PLATFORM_EVENT_KEY_UP, events[1].type);
  EXPECT_EQ(0x41, events[1].key);
  EXPECT_EQ(PLATFORM_EVENT_KEY_DOWN, events[2].type);
  EXPECT_EQ(PLATFORM_VK_LEFT, events[2].key);
  EXPECT_EQ(PLATFORM_EVENT_KEY_UP, events[3].type);
  EXPECT_EQ(PLATFORM_VK_ESCAPE, events[4].key);
  EXPECT_EQ(PLATFORM_VK_PAUSE, events[5].key);
  EXPECT_EQ(PLATFORM_VK_SPACE, events[6].key);
  EXPECT_EQ(PLATFORM_VK_RIGHT, events[7].key);
  EXPECT_EQ(PLATFORM_VK_UP, events[8].key);
  EXPECT_EQ(PLATFORM_VK_DOWN, events[9].key);
  EXPECT_EQ(0xFF, events[10].key);
  ASSERT_EQ(1, parse("", &events, &error));
  EXPECT_TRUE(events.empty());
}

// A NUL byte used to end the script there: the runner read the whole file
// but the lines after the NUL were dropped without a word.
TEST(HeadlessScript, NulByteIsABadLineNotTheEnd) {
  std::vector<ScriptEvent> events;
  char buffer[256] = {};
  const std::string text("1 down A\n2 up A\n\0003 down LEFTT\n4 down B\n", 39);
  EXPECT_EQ(0, script_parse_bytes(text.data(), (int)text.size(), &events, buffer, sizeof buffer));
  EXPECT_STREQ("line 3: NUL byte", buffer);
  EXPECT_TRUE(events.empty());
  const std::string clean("1 down A\n2 up A\n");
  ASSERT_EQ(1, script_parse_bytes(clean.data(), (int)clean.size(), &events, buffer, sizeof buffer));
  EXPECT_EQ(2u, events.size());
}

int parse_args(std::vector<const char*> args, HeadlessOptions* options, std::string* error) {
  args.insert(args.begin(), "vantrel-headless");
  char buffer[256] = {};
  int ok = headless_parse_args((int)args.size(), (char**)args.data(), options, buffer, sizeof buffer);
  *error = buffer;
  return ok;
}

TEST(HeadlessArgs, Refusals) {
  const std::vector<std::vector<const char*>> bad = {
      {"--frames"},
      {"--frames", "-1"},
      {"--frames", "ten"},
      {"--frame", "10"},          // a typo is not passed to the game
      {"--dt", "0"},
      {"--dt", "nan"},
      {"--dt", "2"},
      {"--dt=0.1x"},
      {"--capture", "dir"},       // needs a choice of frames
      {"--capture-every", "2"},   // needs a folder
      {"--capture", "d", "--capture-every", "0"},
      {"--capture", "d", "--capture-frames", "1,,2"},
      {"--capture", "d", "--capture-frames", "1,-2"},
      {"--wav="},
  };
  for (const auto& args : bad) {
    HeadlessOptions o;
    std::string error;
    EXPECT_EQ(0, parse_args(args, &o, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
