// The headless runner's command line and input script: every key form, and
// the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

TEST(HeadlessScript, EveryKeyFormCommentsAndOrder) {
  std::vector<ScriptEvent> events;
  char error[256] = {};
  ASSERT_EQ(1, script_parse("# a comment\n\n5 down LEFT\r\n  3\tup   0x41  \n5 up LEFT\n0 down Z\n"
                            "   # indented comment\n7 down ESCAPE\n7 down PAUSE\n7 down SPACE\n"
                            "7 down RIGHT\n7 down UP\n7 down DOWN\n9 down 0xff",
                            &events, error, sizeof error))
      << error;
  // Ordered by frame, and within a frame in file order.
  const int D = PLATFORM_EVENT_KEY_DOWN, U = PLATFORM_EVENT_KEY_UP;
  const std::vector<std::vector<int>> want = {
      {0, D, 'Z'}, {3, U, 0x41}, {5, D, PLATFORM_VK_LEFT}, {5, U, PLATFORM_VK_LEFT},
      {7, D, PLATFORM_VK_ESCAPE}, {7, D, PLATFORM_VK_PAUSE}, {7, D, PLATFORM_VK_SPACE},
      {7, D, PLATFORM_VK_RIGHT}, {7, D, PLATFORM_VK_UP}, {7, D, PLATFORM_VK_DOWN}, {9, D, 0xFF}};
  std::vector<std::vector<int>> got;
  for (const ScriptEvent& e : events) got.push_back({e.frame, e.type, e.key});
  EXPECT_EQ(want, got);
  ASSERT_EQ(1, script_parse("", &events, error, sizeof error));
  EXPECT_TRUE(events.empty());
}

// Regression: a NUL byte used to end the script there: the runner read the
// whole file but the lines after the NUL were dropped without a word.
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

TEST(HeadlessArgs, Refusals) {
  const std::vector<std::vector<const char*>> bad = {
      {"--frames"}, {"--frames", "-1"}, {"--frames", "ten"},
      {"--frame", "10"},  // a typo is not passed to the game
      {"--dt", "0"}, {"--dt", "nan"}, {"--dt", "2"}, {"--dt=0.1x"},
      {"--capture", "dir"},      // needs a choice of frames
      {"--capture-every", "2"},  // needs a folder
      {"--capture", "d", "--capture-every", "0"},
      {"--capture", "d", "--capture-frames", "1,,2"},
      {"--capture", "d", "--capture-frames", "1,-2"},
      {"--wav="},
  };
  for (auto args : bad) {
    args.insert(args.begin(), "vantrel-headless");
    HeadlessOptions o;
    char error[256] = {};
    EXPECT_EQ(0, headless_parse_args((int)args.size(), (char**)args.data(), &o, error, sizeof error))
        << args[1];
    EXPECT_NE(0, error[0]) << args[1];
  }
}

}  // namespace
