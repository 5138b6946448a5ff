// The simulation's noise cues (the avatar's death, the projectile's hiss),
// scheduled as voices on the audio clock. Silent when sound is off.
#pragma once

// Two 60000-frame bursts of noise, keys 2 and 3, fading from now: one
// linearly, one with the swell curve.
void sound_cue_death(void);
// A 10000-frame hiss, key 6, fading linearly to silence.
void sound_cue_shot(void);
