// The headless runner's command line and input script: every key form, and
// that each kind of bad line is refused with its line number.
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

TEST(HeadlessScript, BadLinesNameTheirLineNumber) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"1 down A\n2 press A\n", "line 2: expected down or up"},
      {"1 down A\n\n# c\n4 down FOO\n", "line 4: unknown key \"FOO\""},
      {"x down A\n", "line 1: bad frame number \"x\""},
      {"-1 down A\n", "line 1: bad frame number \"-1\""},
      {"1 down a\n", "line 1: unknown key \"a\""},          // letters are upper case
      {"1 down AB\n", "line 1: unknown key \"AB\""},
      {"1 down 0x\n", "line 1: unknown key \"0x\""},
      {"1 down 0x00\n", "line 1: unknown key \"0x00\""},
      {"1 down 0x100\n", "line 1: unknown key \"0x100\""},
      {"1 down 0x4G\n", "line 1: unknown key \"0x4G\""},
      {"1 down left\n", "line 1: unknown key \"left\""},
      {"1 down\n", "line 1: expected \"FRAME down|up KEY\", got 2 fields"},
      {"1 down A extra\n", "line 1: expected \"FRAME down|up KEY\", got 4 fields"},
      {"1 2 3\n5 down A # trailing words\n", "line 1: expected down or up"},
      {"99999999999 down A\n", "line 1: bad frame number"},
  };
  for (const Case& c : cases) {
    std::vector<ScriptEvent> events;
    std::string error;
    EXPECT_EQ(0, parse(c.text, &events, &error)) << c.text;
    EXPECT_EQ(0u, error.find(c.expected)) << c.text << " -> " << error;
  }
}

int parse_args(std::vector<const char*> args, HeadlessOptions* options, std::string* error) {
  args.insert(args.begin(), "vantrel-headless");
  char buffer[256] = {};
  int ok = headless_parse_args((int)args.size(), (char**)args.data(), options, buffer, sizeof buffer);
  *error = buffer;
  return ok;
}

TEST(HeadlessArgs, OwnOptionsAndTheGameLine) {
  HeadlessOptions o;
  std::string error;
  ASSERT_EQ(1, parse_args({"+cheat", "--frames", "120", "--dt=0.02", "-sound", "--script", "s.txt",
                           "--capture", "out", "--capture-frames", "0,5,17", "--wav=a.wav",
                           "--save-dir", "sd", "--trace", "t.csv", "--stats", "+25"},
                          &o, &error))
      << error;
  EXPECT_EQ(120, o.frames);
  EXPECT_DOUBLE_EQ(0.02, o.dt);
  EXPECT_STREQ("s.txt", o.script_path);
  EXPECT_STREQ("out", o.capture_dir);
  EXPECT_EQ((std::vector<long>{0, 5, 17}), o.capture_frames);
  EXPECT_STREQ("a.wav", o.wav_path);
  EXPECT_STREQ("sd", o.save_dir);
  EXPECT_STREQ("t.csv", o.trace_path);
  EXPECT_EQ(1, o.stats);
  EXPECT_STREQ("+cheat -sound +25", o.game_line);

  HeadlessOptions d;
  ASSERT_EQ(1, parse_args({}, &d, &error));
  EXPECT_EQ(-1, d.frames);
  EXPECT_DOUBLE_EQ(1.0 / 60, d.dt);
  EXPECT_STREQ("", d.game_line);

  HeadlessOptions rest;
  ASSERT_EQ(1, parse_args({"--capture", "c", "--capture-every", "4", "--", "--frames"}, &rest, &error));
  EXPECT_EQ(4, rest.capture_every);
  EXPECT_STREQ("--frames", rest.game_line);
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
