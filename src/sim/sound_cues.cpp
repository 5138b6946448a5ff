// Sound cues of the simulation. Both play the shared noise buffer made at
// start-up; the release right after scheduling shapes them into fades, so
// no cue needs state of its own here.
#include "sim/sound_cues.h"

#include "audio/audio.h"
#include "audio/voice.h"
#include "core/game_state.h"

namespace {

const int NOISE_FRAMES = 60000;  // length of g_game.noise_sound (stereo frames)

int cues_audible(void) { return g_game.sound_enabled && g_game.noise_sound; }

}  // namespace

void sound_cue_death(void) {
  if (!cues_audible()) return;
  uint32_t t = audio_clock();
  voice_schedule({.data = g_game.noise_sound, .data_frames = NOISE_FRAMES, .data_persistent = 1,
                  .start_time = t, .duration = NOISE_FRAMES, .volume = 0.25f,
                  .key = VOICE_KEY_DEATH_LINEAR});
  voice_schedule({.data = g_game.noise_sound, .data_frames = NOISE_FRAMES, .data_persistent = 1,
                  .start_time = t, .duration = NOISE_FRAMES, .volume = 0.45f,
                  .key = VOICE_KEY_DEATH_SWELL});
  voice_release(VOICE_KEY_DEATH_LINEAR, CURVE_LINEAR, 0, NOISE_FRAMES);
  voice_release(VOICE_KEY_DEATH_SWELL, CURVE_SWELL, 0, NOISE_FRAMES);
}

void sound_cue_shot(void) {
  if (!cues_audible()) return;
  const uint32_t duration = 10000;
  uint32_t t = audio_clock();
  voice_schedule({.data = g_game.noise_sound, .data_frames = NOISE_FRAMES, .data_persistent = 1,
                  .start_time = t, .duration = duration, .volume = 0.2f, .key = VOICE_KEY_SHOT});
  voice_release(VOICE_KEY_SHOT, CURVE_LINEAR, 0, duration);
}
