// A stick presses a direction past one threshold and releases it only below a
// lower one, so a stick resting near the edge does not chatter: the same
// numbers as the SDL build's.
#include "platform/web/pad.h"

namespace {

const int STICK_PRESS = 16000;
const int STICK_RELEASE = 10000;

struct PadButton {
  int bit;
  int key;
};

const PadButton PAD_BUTTONS[] = {
    {WEB_PAD_UP, PLATFORM_VK_UP},     {WEB_PAD_DOWN, PLATFORM_VK_DOWN},
    {WEB_PAD_LEFT, PLATFORM_VK_LEFT}, {WEB_PAD_RIGHT, PLATFORM_VK_RIGHT},
    {WEB_PAD_A, PLATFORM_VK_SPACE},   {WEB_PAD_START, PLATFORM_VK_ESCAPE},
    {WEB_PAD_BACK, 'P'},
};

const int STICK_KEYS[4] = {PLATFORM_VK_LEFT, PLATFORM_VK_RIGHT, PLATFORM_VK_UP, PLATFORM_VK_DOWN};

PlatformEvent key_event(int down, int key) {
  PlatformEvent event = {};
  event.type = down ? PLATFORM_EVENT_KEY_DOWN : PLATFORM_EVENT_KEY_UP;
  event.key = key;
  return event;
}

}  // namespace

int web_pad_sample(WebPad* pad, int buttons, int stick_x, int stick_y, PlatformEvent* events_out) {
  int count = 0;
  for (const PadButton& b : PAD_BUTTONS) {
    int now = (buttons & b.bit) != 0, before = (pad->buttons & b.bit) != 0;
    if (now != before) events_out[count++] = key_event(now, b.key);
  }
  pad->buttons = buttons;
  const int toward[4] = {-stick_x, stick_x, -stick_y, stick_y};
  for (int d = 0; d < 4; d++) {
    if (!pad->stick[d] && toward[d] >= STICK_PRESS) {
      pad->stick[d] = 1;
      events_out[count++] = key_event(1, STICK_KEYS[d]);
    } else if (pad->stick[d] && toward[d] < STICK_RELEASE) {
      pad->stick[d] = 0;
      events_out[count++] = key_event(0, STICK_KEYS[d]);
    }
  }
  return count;
}
