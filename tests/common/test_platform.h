// The headless backend as the in-process tests of the game use it: a fresh
// machine per test, message boxes recorded, platform_exit thrown as TestExit
// (so a test sees the exit code and the state the game left behind) and the
// persistent store in a scratch folder of its own, empty at every reset.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

struct TestExit {
  int code;
};

struct TestPlatform {
  std::vector<std::string> messages;  // "caption: text"
  std::string store_dir;
};

extern TestPlatform g_test_platform;

HeadlessMachine& test_platform_reset(void);
// A stored value's bytes, whatever their length; empty when there is none.
std::vector<uint8_t> test_stored(const char* key_path, const char* value_name);
