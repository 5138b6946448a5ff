// The music through the real vantrel-headless on a small archive whose title
// piece and segment stream are encoded here as plain tones: the title piece
// must start 4000 frames past the clock at load and the first segment on its
// beat half a second after the title ends, and nothing else may sound.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "audio/ogg_encode.h"
#include "common/test_files.h"
#include "common/test_run.h"
#include "e2e_support.h"
#include "pack/archive_write.h"

namespace {

// A steady two-tone chord with a hard onset, different on each side, so a
// window of it matches at one lag only.
std::vector<int16_t> tone(int frames, double left_hz, double right_hz, double amplitude) {
  std::vector<int16_t> pcm((size_t)frames * 2);
  for (int i = 0; i < frames; i++) {
    double t = i / 44100.0;
    double fade = i < frames - 400 ? 1.0 : (frames - i) / 400.0;  // no click at the end
    pcm[2 * i] = (int16_t)(amplitude * fade * sin(2 * M_PI * left_hz * t));
    pcm[2 * i + 1] = (int16_t)(amplitude * fade * sin(2 * M_PI * right_hz * t + 1.0));
  }
  return pcm;
}

const int TITLE_FRAMES = 20000;
const int SEGMENT_FRAMES = 12000;
const int STREAM_HEAD = 96;  // the segments lie from frame 96 with 192 between them
const int STREAM_GAP = 192;

// Segment 1 and 2 are the only ids of the table, so the title playlist plays
// 1, 1, 2, then skips ids it cannot find without moving the grid.
std::string table_text(void) {
  char text[200];
  snprintf(text, sizeof text, "1 %d %d 300 27000\r\n2 %d %d 700 29000\r\n", STREAM_HEAD,
           SEGMENT_FRAMES, STREAM_HEAD + SEGMENT_FRAMES + STREAM_GAP, SEGMENT_FRAMES);
  return text;
}

std::vector<int16_t> stream_pcm(void) {
  std::vector<int16_t> pcm((size_t)STREAM_HEAD * 2, 0);
  std::vector<int16_t> a = tone(SEGMENT_FRAMES, 880, 1320, 7000);
  std::vector<int16_t> b = tone(SEGMENT_FRAMES, 370, 555, 9000);
  pcm.insert(pcm.end(), a.begin(), a.end());
  pcm.insert(pcm.end(), (size_t)STREAM_GAP * 2, 0);
  pcm.insert(pcm.end(), b.begin(), b.end());
  pcm.insert(pcm.end(), 4096 * 2, 0);
  return pcm;
}

struct SyntheticRun : ::testing::Test {
  std::string dir;
  OutputOffsets offsets;
  std::vector<uint8_t> title_ogg, stream_ogg;
  Pcm title, stream, capture;

  void SetUp() override {
    dir = test_temp_dir("vantrel_audio_e2e_");
    ASSERT_FALSE(dir.empty());
    offsets = e2e_output_offsets();
    ASSERT_GT(offsets.device_lead, 0);
    ASSERT_GT(offsets.latency, 0);
    title_ogg = ogg_encode(tone(TITLE_FRAMES, 523.25, 659.25, 8000), 2);
    stream_ogg = ogg_encode(stream_pcm(), 2);
    ASSERT_TRUE(e2e_decode_ogg(title_ogg, &title));
    ASSERT_TRUE(e2e_decode_ogg(stream_ogg, &stream));
    ASSERT_EQ(TITLE_FRAMES, title.frames());
  }
  void TearDown() override { test_remove_dir(dir); }

  // The platform tests' image archive plus the music entries, as packed.dat.
  void make_archive(bool with_title) {
    std::string images = dir + "/images.dat";
    ASSERT_EQ(0, test_run("'" ARCHIVE_MAKER "' '" + images + "'"));
    std::vector<ArchiveFile> files;
    ASSERT_TRUE(archive_read_bytes(test_read_bytes(images), &files));
    if (with_title) files.push_back({"qorvel_title_3.ogg", title_ogg});
    files.push_back({"merged.ogg", stream_ogg});
    std::string table = table_text();
    files.push_back({"merged_data.txt", std::vector<uint8_t>(table.begin(), table.end())});
    ASSERT_TRUE(archive_write_file((dir + "/packed.dat").c_str(), files));
  }

  void run_title_screen(int frames) {
    std::string command = "cd '" + dir + "' && '" REAL_RUNNER "' --save-dir save --frames " +
                          std::to_string(frames) + " --wav out.wav >stdout.txt 2>stderr.txt";
    ASSERT_EQ(3, test_run(command)) << "the runner should stop at the frame limit";
    ASSERT_TRUE(e2e_read_wav(dir + "/out.wav", &capture));
    ASSERT_EQ((long)frames * E2E_FRAMES_PER_VIDEO_FRAME, capture.frames());
  }

  // Capture frame of audio time t: what the game writes for its clock goes
  // latency frames past the write cursor, which leads the play cursor.
  long at(long audio_time) const { return audio_time + offsets.device_lead + offsets.latency; }

  long locate_segment(const Segment& s, long expected_start) const {
    return e2e_locate(capture, {}, stream, s.start, 4096, 1.0f, expected_start - 3000,
                      expected_start + 3000);
  }
};

TEST_F(SyntheticRun, TitleAtClockPlus4000ThenSegmentsOnTheirBeats) {
  make_archive(true);
  const int frames = 300;
  run_title_screen(frames);
  std::string text = table_text();
  std::vector<Segment> table = e2e_parse_table(std::vector<uint8_t>(text.begin(), text.end()));
  ASSERT_EQ(2u, table.size());

  // The clock has not moved before the first update, so load time is 0.
  long title_at = at(E2E_TITLE_HEAD_START);
  long title_found = e2e_locate(capture, {}, title, 0, 4096, E2E_TITLE_VOLUME, 0, title_at + 8000);
  printf("title piece: expected at capture frame %ld (lead %d + latency %d + %d), found at %ld\n",
         title_at, offsets.device_lead, offsets.latency, E2E_TITLE_HEAD_START, title_found);
  EXPECT_EQ(title_at, title_found);

  long first_beat = at(E2E_TITLE_HEAD_START + TITLE_FRAMES + E2E_TITLE_GAP);
  std::vector<Scheduled> plan = e2e_title_schedule(table, first_beat, capture.frames() + 2000);
  ASSERT_GE(plan.size(), 4u);
  const int expected_ids[] = {1, 1, 2, 2};  // playlist_title opens 1, 1, 2, 27, 5, 30, 2
  for (int k = 0; k < 4; k++) {
    const Scheduled& s = plan[k];
    EXPECT_EQ(expected_ids[k], s.segment.id) << "segment " << k;
    long start = s.beat - s.segment.lead;
    long found = locate_segment(s.segment, start);
    printf("segment %d (id %d): beat expected at capture frame %ld, voice found starting at %ld "
           "(beat %ld)\n",
           k, s.segment.id, s.beat, found, found + s.segment.lead);
    EXPECT_EQ(start, found) << "segment " << k << " is off its beat by " << found - start;
  }

  // Nothing but these voices sounds, and nothing of them is lost.
  std::vector<Placement> voices = {{&title, 0, title.frames(), title_at, E2E_TITLE_VOLUME}};
  for (const Scheduled& s : plan)
    voices.push_back({&stream, s.segment.start, s.segment.length, s.beat - s.segment.lead, 1.0f});
  std::vector<int16_t> expected = e2e_mix(voices, capture.frames());
  long bad = e2e_first_mismatch(capture, expected, 0, capture.frames(), 1);
  EXPECT_EQ(-1, bad) << "capture frame " << bad << " is " << capture.left(bad) << "/"
                     << capture.right(bad) << ", expected " << expected[2 * bad] << "/"
                     << expected[2 * bad + 1];
}

TEST_F(SyntheticRun, WithoutTitlePieceTheFirstBeatComesHalfASecondAfterLoad) {
  make_archive(false);
  run_title_screen(120);
  std::string text = table_text();
  std::vector<Segment> table = e2e_parse_table(std::vector<uint8_t>(text.begin(), text.end()));
  long first_beat = at(E2E_TITLE_HEAD_START + E2E_TITLE_GAP);
  long start = first_beat - table[0].lead;
  long found = locate_segment(table[0], start);
  printf("no title: first beat expected at capture frame %ld, found at %ld\n", first_beat,
         found + table[0].lead);
  EXPECT_EQ(start, found);
  long quiet_start = 0;
  EXPECT_EQ(start, e2e_longest_quiet_run(capture, 0, start + 100, 0, &quiet_start))
      << "silence before the first segment";
}

}  // namespace
