// The real playback path: the SDL game on the generated archive, windowed
// under a virtual X display, with SDL's disk audio driver recording what the
// device was fed (16-bit stereo at 44100 Hz, the format the backend asks for
// and accepts no change to). A few seconds of title screen, then Esc: the
// process exits with 0 and the recording is the title piece without a gap or
// a stale block until Esc's short fade, then silence.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_run.h"
#include "e2e_support.h"
#include "pack/archive_write.h"

namespace {

const int PLAY_SECONDS = 4;
const long ESC_FADE_FRAMES = 3000;  // the quit fade (the long one is for the game end)

long longest_zero_run(const std::vector<int16_t>& stereo, long from, long to) {
  long best = 0, run = 0;
  for (long t = from; t < to; t++) {
    run = stereo[2 * t] == 0 && stereo[2 * t + 1] == 0 ? run + 1 : 0;
    if (run > best) best = run;
  }
  return best;
}

TEST(SdlPlayback, TitlePieceReachesTheDeviceWithoutDropoutsAndEscExitsWithZero) {
  std::string dir = test_temp_dir("vantrel_audio_e2e_");
  ASSERT_FALSE(dir.empty());
  ASSERT_EQ(0, test_run("ln -s '" PACKED_DAT "' '" + dir + "/packed.dat'"));
  int rc = test_run("sh '" SDL_DISK_RUN "' '" SDL_GAME "' '" + dir + "' " +
                   std::to_string(PLAY_SECONDS) + " >'" + dir + "/run.txt' 2>&1");
  std::vector<uint8_t> log = test_read_bytes(dir + "/run.txt");
  std::string run_log(log.begin(), log.end());
  if (rc == 77) {
    test_remove_dir(dir);
    GTEST_SKIP() << "no virtual X display (xvfb-run and xdotool are needed)";
  }
  ASSERT_EQ(0, rc) << run_log;
  ASSERT_NE(std::string::npos, run_log.find("status 0\n")) << "exit after Esc: " << run_log;

  std::vector<ArchiveFile> files;
  ASSERT_TRUE(archive_read_bytes(test_read_bytes(PACKED_DAT), &files));
  Pcm title;
  for (const ArchiveFile& f : files) {
    if (f.name == "qorvel_title_3.ogg") {
      ASSERT_TRUE(e2e_decode_ogg(f.data, &title));
    }
  }
  ASSERT_GT(title.frames(), 44100 * PLAY_SECONDS) << "the title piece outlasts the run";

  Pcm capture = e2e_raw_stereo(test_read_bytes(dir + "/out.raw"));
  long n = capture.frames();
  ASSERT_GT(n, 44100 * (PLAY_SECONDS - 1)) << "SDL's disk driver recorded too little";

  // Where the title plays: a window half a second into it, found anywhere.
  const long probe = 22050;
  long found = e2e_locate(capture, {}, title, probe, 4096, E2E_TITLE_VOLUME, 0, n);
  ASSERT_GE(found, probe) << "the title piece is not in the recording";
  long origin = found - probe;  // capture frame of the title's first frame
  std::vector<int16_t> expected =
      e2e_mix({{&title, 0, title.frames(), origin, E2E_TITLE_VOLUME}}, n);
  long onset = 0;
  while (onset < n && capture.left(onset) == 0 && capture.right(onset) == 0) onset++;

  // The clock stands still until the first frame, so start-up time after
  // the device opened comes out of the title's head start: the device plays
  // its initial silence until the first write lands, and the title may begin
  // a little way in. From there on, sample for sample the title until Esc.
  long missed = onset - origin;
  EXPECT_LT(missed, 2L * 44100) << "start-up after the device opened took too long";
  long fade = e2e_first_mismatch(capture, expected, onset, n, 1);
  if (fade < 0) fade = n;
  printf("SDL disk capture: %ld frames; title at %ld, first sound at %ld, unchanged for %ld frames\n",
         n, origin, onset, fade - onset);
  EXPECT_GE(fade - onset, 44100L * (PLAY_SECONDS - 2))
      << "capture frame " << fade << " is " << capture.left(fade) << "/" << capture.right(fade)
      << ", expected " << expected[2 * fade] << "/" << expected[2 * fade + 1];
  EXPECT_LE(longest_zero_run(capture.samples, onset, fade), longest_zero_run(expected, onset, fade))
      << "exact silence inside the music is a dropout";

  // Then Esc's fade, which must be heard to its end before the device closes
  // (a cut at full level is a click), only ever attenuating, then silence.
  ASSERT_LT(fade, n) << "the recording ends at full level: the fade after Esc was never played";
  long silent_from = n;
  while (silent_from > fade && capture.left(silent_from - 1) == 0 && capture.right(silent_from - 1) == 0)
    silent_from--;
  EXPECT_LE(silent_from - fade, ESC_FADE_FRAMES) << "the fade is longer than the quit fade";
  EXPECT_GT(n - silent_from, 0) << "the device closed before the fade had ended";
  for (long t = fade; t < silent_from; t++) {
    if (abs(capture.left(t)) > abs(expected[2 * t]) + 1 ||
        abs(capture.right(t)) > abs(expected[2 * t + 1]) + 1) {
      ADD_FAILURE() << "after Esc, capture frame " << t << " (" << t - fade
                    << " into the fade) is " << capture.left(t) << "/" << capture.right(t)
                    << ", louder than the title there " << expected[2 * t] << "/"
                    << expected[2 * t + 1];
      break;
    }
  }
  if (!HasFailure()) test_remove_dir(dir);
}

}  // namespace
