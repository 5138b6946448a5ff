// The score reader: a sharp is not a comment, and inputs the fuzzer found stop
// with their file and line instead of producing wrong music.
#include <gtest/gtest.h>

#include <string>

#include "music/score.h"

namespace {

const char* HEADER =
    "unit 1000\n"
    "instrument p pluck decay 1\n"
    "instrument q pad voices 2\n";

int parse(const std::string& body, Score* score, std::string* error) {
  return score_parse_text(std::string(HEADER) + body, "test.score", ".", score, error);
}

TEST(ScoreParse, SharpInANoteIsNotACommentButAHashWordIs) {
  // Regression: "C#4" was cut at '#' and read as the note "C".
  Score s;
  std::string err;
  ASSERT_TRUE(parse("segment 1 lead=0 length=9000 advance=5000 key=C#:minor # a comment\n"
                    "  hold q 0 1 C#4 # the rest is ignored C5\n"
                    "end\n",
                    &s, &err))
      << err;
  ASSERT_EQ(s.segments[0].notes.size(), 1u);
  EXPECT_EQ(s.segments[0].notes[0].midi, 61);
  EXPECT_EQ(s.segments[0].tonic, 1);
}

// Inputs found by score_fuzz. Each used to crash (undefined float-to-int
// conversions), run away (geometric growth) or lose its file and line.
TEST(ScoreParse, FuzzFindingsStopWithFileAndLine) {
  std::string nested_playlists = "playlist p0 1 2\n";
  std::string nested_blocks = "block b0\n  hold p 0 1 C4 C4 C4 C4\nend\n";
  for (int i = 1; i < 40; i++) {
    std::string prev = std::to_string(i - 1), name = std::to_string(i);
    nested_playlists += "playlist p" + name + " @p" + prev + " @p" + prev + " @p" + prev + "\n";
    nested_blocks += "block b" + name + "\n  use b" + prev + "\n  use b" + prev + "\nend\n";
  }
  struct Case {
    std::string body;
    const char* message;
  };
  const Case cases[] = {
      {"playlist c loop=8888888888888888888888 1 2\n", "bad number"},
      {"segment 1 lead=0 length=inf/1 advance=500 key=D:minor\nend\n", "bad number"},
      {"segment 1 lead=0 length=900 advance=nan/2 key=D:minor\nend\n", "bad number"},
      {"unit inf/1\n", "takes a number"},
      {"block r\n  hold p 0 1 C4\nend\nsegment 1 lead=0 length=900 advance=500 key=D:minor\n"
       "  use r transpose=1e300\nend\n", "bad number"},
      {"block r\n  hold p 0 1 C4\nend\nsegment 1 lead=0 length=900 advance=500 key=D:minor\n"
       "  use r transpose=-70\nend\n", "out of range"},
      {"playlist c 1 4294967297\n", "bad id"},
      {nested_playlists, "playlist too long"},
      {nested_blocks, "too many notes"},
      {std::string("include drive.score\0\0 \n", 23), "bad file name"},
  };
  for (const Case& c : cases) {
    Score s;
    std::string err;
    EXPECT_FALSE(parse(c.body, &s, &err)) << c.body;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_EQ(err.rfind("test.score:", 0), 0u) << err;
    EXPECT_EQ(err.find('\0'), std::string::npos) << "the message is cut at a NUL";
  }
}

}  // namespace
