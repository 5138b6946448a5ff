// See test_platform.h.
#include "common/test_platform.h"

#include <stdlib.h>

#include <filesystem>

#include "common/test_files.h"
#include "platform/platform.h"
#include "platform/posix/store.h"

TestPlatform g_test_platform;

namespace {

void record_message(const char* caption, const char* text) {
  g_test_platform.messages.push_back(std::string(caption) + ": " + text);
}

void throw_exit(int exit_code) { throw TestExit{exit_code}; }

void remove_store(void) { std::filesystem::remove_all(g_test_platform.store_dir); }

}  // namespace

HeadlessMachine& test_platform_reset(void) {
  if (g_test_platform.store_dir.empty()) {
    g_test_platform.store_dir = test_temp_dir("vantrel_store_");
    if (g_test_platform.store_dir.empty()) abort();
    atexit(remove_store);
  }
  std::filesystem::remove_all(g_test_platform.store_dir);
  std::filesystem::create_directory(g_test_platform.store_dir);
  store_set_base_dir(g_test_platform.store_dir.c_str());
  g_test_platform.messages.clear();
  headless_reset();
  HeadlessMachine& machine = *headless_machine();
  machine.on_message = record_message;
  machine.on_exit = throw_exit;
  return machine;
}

std::vector<uint8_t> test_stored(const char* key_path, const char* value_name) {
  char path[4096];
  if (!store_value_path(key_path, value_name, path, sizeof path)) return {};
  return test_read_bytes(path);
}
