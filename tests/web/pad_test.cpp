// Pads as keys: each button and stick direction presses and releases its key
// once, and the stick's gap between pressing and releasing holds.
#include <gtest/gtest.h>

#include "platform/web/pad.h"

namespace {

struct Step {
  int buttons, x, y;
  std::vector<std::pair<int, int>> events;  // (type, key)
};

TEST(WebPad, SamplesBecomeKeyEvents) {
  const int D = PLATFORM_EVENT_KEY_DOWN, U = PLATFORM_EVENT_KEY_UP;
  const Step steps[] = {
      {0, 0, 0, {}},
      {WEB_PAD_A | WEB_PAD_BACK, 0, 0, {{D, PLATFORM_VK_SPACE}, {D, 'P'}}},
      {WEB_PAD_A, 0, 0, {{U, 'P'}}},
      {WEB_PAD_START | WEB_PAD_UP, 0, 0, {{D, PLATFORM_VK_UP}, {U, PLATFORM_VK_SPACE}, {D, PLATFORM_VK_ESCAPE}}},
      {0, 16000, -15999, {{U, PLATFORM_VK_UP}, {U, PLATFORM_VK_ESCAPE}, {D, PLATFORM_VK_RIGHT}}},
      {0, 10000, -16000, {{D, PLATFORM_VK_UP}}},   // 10000 still holds Right
      {0, 9999, 0, {{U, PLATFORM_VK_RIGHT}, {U, PLATFORM_VK_UP}}},
      {WEB_PAD_DOWN, -32767, 32767, {{D, PLATFORM_VK_DOWN}, {D, PLATFORM_VK_LEFT}, {D, PLATFORM_VK_DOWN}}},
  };
  WebPad pad = {};
  for (const Step& s : steps) {
    PlatformEvent events[WEB_PAD_MAX_EVENTS];
    int n = web_pad_sample(&pad, s.buttons, s.x, s.y, events);
    std::vector<std::pair<int, int>> got;
    for (int i = 0; i < n; i++) got.push_back({events[i].type, events[i].key});
    EXPECT_EQ(s.events, got) << "buttons " << s.buttons << " stick " << s.x << "," << s.y;
  }
}

}  // namespace
