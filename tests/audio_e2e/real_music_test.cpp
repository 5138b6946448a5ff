// The shipped music through the real vantrel-headless: a minute of the title
// screen must be the title piece at its offset followed by the title playlist
// on its beat grid, sample for sample as the mix of the decoded files (so
// nothing stalled, dropped or doubled).
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_run.h"
#include "e2e_support.h"
#include "pack/archive_write.h"

namespace {

const int MINUTE_FRAMES = 3600;  // 60 s at 1/60 s

// Decodes the shipped music once and runs the minute once for all cases.
struct Minute {
  std::string dir;
  OutputOffsets offsets;
  Pcm title, stream, capture;
  std::vector<Segment> table;
  std::string error;
};

Minute* minute;

std::vector<uint8_t> entry(const std::vector<ArchiveFile>& files, const char* name) {
  for (const ArchiveFile& f : files)
    if (f.name == name) return f.data;
  return {};
}

// Runs the title screen in a fresh folder holding a link to the generated
// archive; the WAV path is relative to that folder.
int run_title_screen(const std::string& dir, const char* wav, Pcm* capture_out) {
  std::string command = "cd '" + dir + "' && '" REAL_RUNNER "' --save-dir save --frames " +
                        std::to_string(MINUTE_FRAMES) + " --wav " + wav +
                        " >stdout.txt 2>stderr.txt";
  if (test_run(command) != 3) return 0;  // 3: stopped at the frame limit
  return e2e_read_wav(dir + "/" + wav, capture_out);
}

class RealMusic : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    minute = new Minute;
    Minute& m = *minute;
    m.offsets = e2e_output_offsets();
    std::vector<ArchiveFile> files;
    if (!archive_read_bytes(test_read_bytes(PACKED_DAT), &files)) {
      m.error = "cannot read " PACKED_DAT;
      return;
    }
    std::vector<uint8_t> table_text = entry(files, "merged_data.txt");
    m.table = e2e_parse_table(table_text);
    if (!e2e_decode_ogg(entry(files, "qorvel_title_3.ogg"), &m.title) ||
        !e2e_decode_ogg(entry(files, "merged.ogg"), &m.stream) || m.table.empty()) {
      m.error = "packed.dat lacks a decodable qorvel_title_3.ogg, merged.ogg or merged_data.txt";
      return;
    }
    m.dir = test_temp_dir("vantrel_audio_e2e_");
    if (test_run("ln -s '" PACKED_DAT "' '" + m.dir + "/packed.dat'") != 0 ||
        !run_title_screen(m.dir, "a.wav", &m.capture))
      m.error = "the headless run failed (see " + m.dir + "/stderr.txt)";
  }
  static void TearDownTestSuite() {
    if (minute->error.empty()) test_remove_dir(minute->dir);
    delete minute;
  }
  void SetUp() override { ASSERT_EQ("", minute->error); }

  long at(long audio_time) const {
    return audio_time + minute->offsets.device_lead + minute->offsets.latency;
  }
};

TEST_F(RealMusic, TitleScreenMinuteIsTheTitlePieceThenTheTitlePlaylistOnItsBeats) {
  const Minute& m = *minute;
  ASSERT_EQ((long)MINUTE_FRAMES * E2E_FRAMES_PER_VIDEO_FRAME, m.capture.frames());
  long n = m.capture.frames();

  long title_at = at(E2E_TITLE_HEAD_START);
  long title_found = e2e_locate(m.capture, {}, m.title, 0, 4096, E2E_TITLE_VOLUME, 0, 44100);
  EXPECT_EQ(title_at, title_found);

  long first_beat = at(E2E_TITLE_HEAD_START + m.title.frames() + E2E_TITLE_GAP);
  std::vector<Scheduled> plan = e2e_title_schedule(m.table, first_beat, n + 2000);
  ASSERT_GE(plan.size(), 5u) << "a minute reaches well into the title playlist";
  std::vector<Placement> voices = {{&m.title, 0, m.title.frames(), title_at, E2E_TITLE_VOLUME}};
  for (const Scheduled& s : plan)
    voices.push_back(
        {&m.stream, s.segment.start, s.segment.length, s.beat - s.segment.lead, 1.0f});

  // Each segment where its beat puts it: the capture less every other voice
  // must be this segment's opening at exactly that lag.
  for (size_t k = 1; k < voices.size(); k++) {
    std::vector<Placement> others = voices;
    others.erase(others.begin() + (long)k);
    std::vector<int16_t> background = e2e_mix(others, n);
    const Placement& v = voices[k];
    long window = v.at + 4096 <= n ? 4096 : n - v.at;
    if (window < 512) break;
    long found = e2e_locate(m.capture, background, m.stream, v.first, window, 1.0f, v.at - 2000,
                            v.at + 2000);
    EXPECT_EQ(v.at, found) << "segment " << k - 1 << " (id " << plan[k - 1].segment.id << ")";
  }

  // And nothing else: the whole minute is that mix, so no segment was
  // stalled, dropped or doubled.
  std::vector<int16_t> expected = e2e_mix(voices, n);
  long bad = e2e_first_mismatch(m.capture, expected, 0, n, 1);
  EXPECT_EQ(-1, bad) << "capture frame " << bad << " is " << m.capture.left(bad) << "/"
                     << m.capture.right(bad) << ", expected " << expected[2 * bad] << "/"
                     << expected[2 * bad + 1];
}

}  // namespace
