// The score reader: note names, the pattern and melody shorthands expanding
// to the right times and lengths, blocks, playlist pieces, and errors that
// name the file and line instead of producing wrong music.
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

TEST(ScoreNotes, NamesToMidi) {
  EXPECT_EQ(score_note_midi("C4"), 60);
  EXPECT_EQ(score_note_midi("A4"), 69);
  EXPECT_EQ(score_note_midi("F#2"), 42);
  EXPECT_EQ(score_note_midi("Bb3"), 58);
  EXPECT_EQ(score_note_midi("B0"), 23);
  EXPECT_EQ(score_note_midi("Cb4"), 59);
  for (const char* bad : {"H2", "C", "C#", "c4", "C#x", "C44", "", "4"})
    EXPECT_EQ(score_note_midi(bad), -1) << bad;
}

TEST(ScoreParse, ArpLineAndHoldExpandToTimesLengthsAndVelocities) {
  Score s;
  std::string err;
  ASSERT_TRUE(parse("segment 5 lead=10 length=9000 advance=5000 key=D:minor\n"
                    "  hold q 0 5 D3 A3 vel=0.5\n"
                    "  arp p 1 1/2 0-.1x*X D4 F4 A4\n"
                    "  line p 2 1/4 A4 - - . G4 . F4 gate=0.5\n"
                    "end\n",
                    &s, &err))
      << err;
  ASSERT_EQ(s.segments.size(), 1u);
  const Segment& seg = s.segments[0];
  EXPECT_EQ(seg.id, 5);
  EXPECT_EQ(seg.tonic, 2);
  EXPECT_EQ(seg.mode, MODE_MINOR);
  EXPECT_DOUBLE_EQ(s.unit, 1000.0);
  const std::vector<NoteEvent>& n = seg.notes;
  // hold: 2 notes; arp: 0(held 2 steps), 1, x, * (3 notes), X = 7; line: 3.
  ASSERT_EQ(n.size(), 12u);
  EXPECT_EQ(n[0].midi, 50);
  EXPECT_FLOAT_EQ(n[0].vel, 0.5f);
  EXPECT_DOUBLE_EQ(n[0].length, 5.0);
  EXPECT_DOUBLE_EQ(n[2].at, 1.0);       // D4 at step 0
  EXPECT_DOUBLE_EQ(n[2].length, 1.0);   // held over the '-'
  EXPECT_EQ(n[3].midi, 65);             // F4 at step 3
  EXPECT_DOUBLE_EQ(n[3].at, 2.5);
  EXPECT_EQ(n[4].midi, 62);             // x: the first note, softly
  EXPECT_LT(n[4].vel, n[3].vel);
  EXPECT_DOUBLE_EQ(n[5].at, 3.5);       // '*' plays the whole chord
  EXPECT_EQ(n[5].midi, 62);
  EXPECT_EQ(n[7].midi, 69);
  EXPECT_DOUBLE_EQ(n[8].at, 4.0);       // X
  EXPECT_FLOAT_EQ(n[8].vel, 0.8f);
  EXPECT_DOUBLE_EQ(n[9].at, 2.0);       // line: A4 held three steps, half-gated last step
  EXPECT_DOUBLE_EQ(n[9].length, 0.625);
  EXPECT_DOUBLE_EQ(n[10].at, 3.0);      // G4 after the rest
  EXPECT_DOUBLE_EQ(n[11].at, 3.5);
  EXPECT_NEAR(n[9].freq, 440.0f, 0.01f);
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

TEST(ScoreParse, BlocksTransposeAndShift) {
  Score s;
  std::string err;
  ASSERT_TRUE(parse("block riff\n  arp p 0 1 01 B1 B2\nend\n"
                    "segment 2 lead=0 length=9000 advance=5000 key=B:minor\n"
                    "  use riff\n  use riff at=2 transpose=-4\nend\n",
                    &s, &err))
      << err;
  const std::vector<NoteEvent>& n = s.segments[0].notes;
  ASSERT_EQ(n.size(), 4u);
  EXPECT_EQ(n[2].midi, score_note_midi("G1"));
  EXPECT_DOUBLE_EQ(n[3].at, 3.0);
  EXPECT_NEAR(n[2].freq, 48.999f, 0.01f);
}

TEST(ScoreParse, PlaylistPiecesAndKeyChecks) {
  Score s;
  std::string err;
  ASSERT_TRUE(parse("playlist d loop=1 1 2 3 4\nplaylist t @d @d:1 @d:1:2 9\n", &s, &err)) << err;
  const Playlist* t = score_find_playlist(s, "t");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->ids, (std::vector<int>{1, 2, 3, 4, 2, 3, 4, 2, 3, 9}));
  EXPECT_EQ(score_find_playlist(s, "d")->loop, 1);

  Segment seg;
  seg.tonic = 6;  // F#
  seg.mode = MODE_PHRYGIAN;
  EXPECT_TRUE(score_note_in_key(seg, score_note_midi("G4")));
  EXPECT_FALSE(score_note_in_key(seg, score_note_midi("G#4")));
  EXPECT_TRUE(score_note_in_key(seg, score_note_midi("F#1")));
}

TEST(ScoreParse, MistakesAreReportedWithTheirLine) {
  struct Case {
    const char* body;
    const char* message;
    int line;
  };
  const Case cases[] = {
      {"segment 1 lead=0 length=900 advance=500 key=D:minor\n  hold z 0 1 D4\nend\n", "unknown instrument", 5},
      {"segment 1 lead=0 length=900 advance=500 key=D:minor\n  arp p 0 1 012 D4 F4\nend\n", "beyond", 5},
      {"segment 1 lead=0 length=900 advance=500 key=D:minor\n  hold p 0 1 H4\nend\n", "bad note", 5},
      {"segment 1 lead=0 length=900 advance=500 key=D:minor\n  hold p 0 1 D4\n", "ends inside", 6},
      {"segment 1 lead=0 length=900 advance=500\nend\n", "key", 4},
      {"segment 1 lead=0 length=900 key=D:minor\nend\n", "advance", 4},
      {"segment 1 lead=0 length=900 advance=500 key=D:minor\nend\n"
       "segment 1 lead=0 length=900 advance=500 key=D:minor\nend\n", "twice", 6},
      {"instrument p bell\n", "twice", 4},
      {"instrument r bell ratio\n", "pairs", 4},
      {"instrument r bell colour 3\n", "unknown instrument parameter", 4},
      {"playlist x loop=9 1 2\n", "loop", 4},
      {"end\n", "without", 4},
      {"use nothing\n", "outside", 4},
      {"ceiling 3\n", "range", 4},
  };
  for (const Case& c : cases) {
    Score s;
    std::string err;
    EXPECT_FALSE(parse(c.body, &s, &err)) << c.body;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_NE(err.find("test.score:" + std::to_string(c.line) + ":"), std::string::npos) << err;
  }
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
