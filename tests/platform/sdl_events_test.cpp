// The SDL backend's event translation, fed real SDL events on SDL's dummy
// video driver: system keys with Alt, releases with Alt unseen, controller
// buttons and the stick with its hysteresis, posted quits and closing.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <vector>

#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

namespace {

struct SdlEvents : ::testing::Test {
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(1, sdl_init());
  }
  void SetUp() override {
    PlatformEvent e;
    while (platform_poll_event(&e)) {
    }
  }
  std::vector<PlatformEvent> drain() {
    std::vector<PlatformEvent> events;
    PlatformEvent e;
    while (platform_poll_event(&e)) events.push_back(e);
    return events;
  }
};

void push_key(Uint32 type, SDL_Keycode key, Uint16 mod) {
  SDL_Event e = {};
  e.type = type;
  e.key.keysym.sym = key;
  e.key.keysym.mod = mod;
  SDL_PushEvent(&e);
}

void push_button(Uint32 type, int button) {
  SDL_Event e = {};
  e.type = type;
  e.cbutton.button = (Uint8)button;
  SDL_PushEvent(&e);
}

void push_axis(int axis, int value) {
  SDL_Event e = {};
  e.type = SDL_CONTROLLERAXISMOTION;
  e.caxis.axis = (Uint8)axis;
  e.caxis.value = (Sint16)value;
  SDL_PushEvent(&e);
}

TEST_F(SdlEvents, KeysBecomeVirtualKeysAndAltMakesSystemKeys) {
  push_key(SDL_KEYDOWN, SDLK_a, KMOD_NONE);
  push_key(SDL_KEYDOWN, SDLK_a, KMOD_LSHIFT);   // letters are upper case whatever the shift
  push_key(SDL_KEYDOWN, SDLK_LEFT, KMOD_LALT);
  push_key(SDL_KEYUP, SDLK_LEFT, KMOD_LALT);     // a release with Alt held is not seen
  push_key(SDL_KEYDOWN, SDLK_F4, KMOD_RALT);
  push_key(SDL_KEYUP, SDLK_PAUSE, KMOD_NONE);
  push_key(SDL_KEYDOWN, SDLK_CAPSLOCK, KMOD_NONE);  // no use to the game
  auto events = drain();
  ASSERT_EQ(5u, events.size());
  EXPECT_EQ(PLATFORM_EVENT_KEY_DOWN, events[0].type);
  EXPECT_EQ('A', events[0].key);
  EXPECT_EQ('A', events[1].key);
  EXPECT_EQ(PLATFORM_EVENT_SYSKEY_DOWN, events[2].type);
  EXPECT_EQ(PLATFORM_VK_LEFT, events[2].key);
  EXPECT_EQ(PLATFORM_EVENT_SYSKEY_DOWN, events[3].type);
  EXPECT_EQ(PLATFORM_VK_F4, events[3].key);
  EXPECT_EQ(PLATFORM_EVENT_KEY_UP, events[4].type);
  EXPECT_EQ(PLATFORM_VK_PAUSE, events[4].key);
  EXPECT_EQ(0x1B, sdl_virtual_key(SDLK_ESCAPE));
  EXPECT_EQ(' ', sdl_virtual_key(SDLK_SPACE));
  EXPECT_EQ('7', sdl_virtual_key(SDLK_7));
  EXPECT_EQ(0x7B, sdl_virtual_key(SDLK_F12));
}

TEST_F(SdlEvents, AltF4ClosesAndAQuitCarriesItsCode) {
  PlatformEvent alt_f4 = {};
  alt_f4.type = PLATFORM_EVENT_SYSKEY_DOWN;
  alt_f4.key = PLATFORM_VK_F4;
  platform_default_event(&alt_f4);
  PlatformEvent other = alt_f4;
  other.key = 'X';
  platform_default_event(&other);  // any other system key does nothing here
  platform_post_quit(7);
  auto events = drain();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ(PLATFORM_EVENT_CLOSED, events[0].type);
  EXPECT_EQ(PLATFORM_EVENT_QUIT, events[1].type);
  EXPECT_EQ(7, events[1].exit_code);
}

TEST_F(SdlEvents, ControllerButtonsAndStick) {
  push_button(SDL_CONTROLLERBUTTONDOWN, SDL_CONTROLLER_BUTTON_A);
  push_button(SDL_CONTROLLERBUTTONUP, SDL_CONTROLLER_BUTTON_A);
  push_button(SDL_CONTROLLERBUTTONDOWN, SDL_CONTROLLER_BUTTON_START);
  push_button(SDL_CONTROLLERBUTTONDOWN, SDL_CONTROLLER_BUTTON_BACK);
  push_button(SDL_CONTROLLERBUTTONDOWN, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  push_button(SDL_CONTROLLERBUTTONDOWN, SDL_CONTROLLER_BUTTON_Y);  // unmapped
  auto buttons = drain();
  ASSERT_EQ(5u, buttons.size());
  EXPECT_EQ(PLATFORM_VK_SPACE, buttons[0].key);
  EXPECT_EQ(PLATFORM_EVENT_KEY_UP, buttons[1].type);
  EXPECT_EQ(PLATFORM_VK_ESCAPE, buttons[2].key);
  EXPECT_EQ('P', buttons[3].key);
  EXPECT_EQ(PLATFORM_VK_RIGHT, buttons[4].key);

  push_axis(SDL_CONTROLLER_AXIS_LEFTX, -20000);  // press left
  push_axis(SDL_CONTROLLER_AXIS_LEFTX, -12000);  // still beyond the release point
  push_axis(SDL_CONTROLLER_AXIS_LEFTX, -5000);   // release left
  push_axis(SDL_CONTROLLER_AXIS_LEFTY, 30000);   // press down
  push_axis(SDL_CONTROLLER_AXIS_LEFTY, 0);       // release down
  push_axis(SDL_CONTROLLER_AXIS_RIGHTX, 30000);  // the right stick does nothing
  auto stick = drain();
  ASSERT_EQ(4u, stick.size());
  EXPECT_EQ(PLATFORM_EVENT_KEY_DOWN, stick[0].type);
  EXPECT_EQ(PLATFORM_VK_LEFT, stick[0].key);
  EXPECT_EQ(PLATFORM_EVENT_KEY_UP, stick[1].type);
  EXPECT_EQ(PLATFORM_VK_LEFT, stick[1].key);
  EXPECT_EQ(PLATFORM_EVENT_KEY_DOWN, stick[2].type);
  EXPECT_EQ(PLATFORM_VK_DOWN, stick[2].key);
  EXPECT_EQ(PLATFORM_EVENT_KEY_UP, stick[3].type);
}

TEST_F(SdlEvents, FocusIsActivationAndQuitIsClosing) {
  SDL_Event e = {};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&e);
  e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  SDL_PushEvent(&e);
  e = {};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
  auto events = drain();
  ASSERT_EQ(3u, events.size());
  EXPECT_EQ(PLATFORM_EVENT_ACTIVATE, events[0].type);
  EXPECT_EQ(0, events[0].active);
  EXPECT_EQ(1, events[1].active);
  EXPECT_EQ(PLATFORM_EVENT_CLOSED, events[2].type);
}

}  // namespace
