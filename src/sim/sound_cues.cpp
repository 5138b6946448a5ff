// Sound cues of the simulation. Both play the shared noise buffer made at
// start-up; the release right after scheduling shapes them into fades, so
// no cue needs state of its own here.
#include "sim/sound_cues.h"

#include "audio/audio.h"
#include "audio/voice.h"
#include "core/game_state.h"

namespace {

const int NOISE_FRAMES = 60000;  // length of g_game.noise_sound (stereo frames)
const int KEY_DEATH_LINEAR = 2;
const int KEY_DEATH_SWELL = 3;
const int KEY_SHOT = 6;
const uint8_t CURVE_LINEAR = 1;
const uint8_t CURVE_SWELL = 4;

int cues_audible(void) { return g_game.sound_enabled && g_game.noise_sound; }

}  // namespace

void sound_cue_death(void) {
  if (!cues_audible()) return;
  uint32_t t = audio_clock();
  voice_schedule(g_game.noise_sound, NOISE_FRAMES, 1, 2, 0.0f, t, NOISE_FRAMES, 1.0f, 0, 0, 0,
                 0.25f, 0.0f, KEY_DEATH_LINEAR);
  voice_schedule(g_game.noise_sound, NOISE_FRAMES, 1, 2, 0.0f, t, NOISE_FRAMES, 1.0f, 0, 0, 0,
                 0.45f, 0.0f, KEY_DEATH_SWELL);
  voice_release(KEY_DEATH_LINEAR, CURVE_LINEAR, 0, NOISE_FRAMES);
  voice_release(KEY_DEATH_SWELL, CURVE_SWELL, 0, NOISE_FRAMES);
}

void sound_cue_shot(void) {
  if (!cues_audible()) return;
  const uint32_t duration = 10000;
  uint32_t t = audio_clock();
  voice_schedule(g_game.noise_sound, NOISE_FRAMES, 1, 2, 0.0f, t, duration, 1.0f, 0, 0, 0, 0.2f,
                 0.0f, KEY_SHOT);
  voice_release(KEY_SHOT, CURVE_LINEAR, 0, duration);
}
