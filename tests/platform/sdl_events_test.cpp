// The SDL backend's event translation, fed real SDL events on SDL's dummy
// video driver: system keys with Alt, releases with Alt unseen, Alt+F4 and
// posted quits.
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
  void SetUp() override { drain(); }
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

TEST_F(SdlEvents, KeysBecomeVirtualKeysAndAltMakesSystemKeys) {
  push_key(SDL_KEYDOWN, SDLK_a, KMOD_NONE);
  push_key(SDL_KEYDOWN, SDLK_a, KMOD_LSHIFT);   // letters are upper case whatever the shift
  push_key(SDL_KEYDOWN, SDLK_LEFT, KMOD_LALT);
  push_key(SDL_KEYUP, SDLK_LEFT, KMOD_LALT);     // a release with Alt held is not seen
  push_key(SDL_KEYDOWN, SDLK_F4, KMOD_RALT);
  push_key(SDL_KEYUP, SDLK_PAUSE, KMOD_NONE);
  push_key(SDL_KEYDOWN, SDLK_CAPSLOCK, KMOD_NONE);  // no use to the game
  const int D = PLATFORM_EVENT_KEY_DOWN, S = PLATFORM_EVENT_SYSKEY_DOWN, U = PLATFORM_EVENT_KEY_UP;
  const std::vector<std::pair<int, int>> want = {
      {D, 'A'}, {D, 'A'}, {S, PLATFORM_VK_LEFT}, {S, PLATFORM_VK_F4}, {U, PLATFORM_VK_PAUSE}};
  std::vector<std::pair<int, int>> got;
  for (const PlatformEvent& e : drain()) got.push_back({e.type, e.key});
  EXPECT_EQ(want, got);
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

}  // namespace
