// A platform for the core tests: everything in memory and observable. The
// persistent store is a map, presents and message boxes are counted, and
// platform_exit throws FakeExit so a test can see the exit code and the
// state the game left behind.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

struct FakeExit {
  int code;
};

struct FakePlatform {
  std::map<std::string, std::vector<uint8_t>> store;  // "key\\value" -> bytes
  std::vector<std::string> messages;                  // "caption: text"
  int quit_posted = 0;
  int quit_code = -1;
  int presents = 0;
  int fullscreen_presents = 0;
  int fail_fullscreen_present = 0;
  uint32_t last_present_first_pixel = 0;
};

extern FakePlatform g_fake;

void fake_platform_reset(void);
std::string fake_store_name(const char* key_path, const char* value_name);
