// Game pads as the keyboard, mapped as the SDL build maps a game controller:
// the d-pad and the left stick are the arrows, A is Space, Start is Esc and
// Back is P. The page samples the pads once a frame; this turns the changes
// between two samples into key events.
#pragma once

#include "platform/platform.h"

enum {
  WEB_PAD_UP = 1 << 0,
  WEB_PAD_DOWN = 1 << 1,
  WEB_PAD_LEFT = 1 << 2,
  WEB_PAD_RIGHT = 1 << 3,
  WEB_PAD_A = 1 << 4,
  WEB_PAD_START = 1 << 5,
  WEB_PAD_BACK = 1 << 6,
  WEB_PAD_AXIS_MAX = 32767,  // a stick's full travel
  WEB_PAD_MAX_EVENTS = 12,   // 7 buttons and 4 stick directions at once, at most
};

struct WebPad {
  int buttons;    // WEB_PAD_* held at the last sample
  int stick[4];   // left, right, up, down pressed by the stick
};

// Compares a sample (buttons, stick x and y in -32767..32767, y downward)
// with the last one and writes the key events of what changed; returns their
// count (at most WEB_PAD_MAX_EVENTS).
int web_pad_sample(WebPad* pad, int buttons, int stick_x, int stick_y, PlatformEvent* events_out);
