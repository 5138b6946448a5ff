// The headless runner's --script parser on arbitrary text. Whatever it reads
// must either be refused with "line N: ..." or give events a replay can trust:
// ordered by frame, a real key, down or up, a frame the format can write.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The runner hands the parser the whole file as read.
  std::string text((const char*)data, size);
  std::vector<ScriptEvent> events;
  char error[160];
  error[0] = 0;
  if (!script_parse_bytes((const char*)data, (int)size, &events, error, sizeof error)) {
    if (strncmp(error, "line ", 5) != 0) abort();
    return 0;
  }
  int lines = 1;
  for (char c : text) lines += c == '\n';
  if (events.size() > (size_t)lines) abort();
  for (size_t i = 0; i < events.size(); i++) {
    const ScriptEvent& e = events[i];
    if (e.frame < 0 || e.frame > 999999999) abort();
    if (i && events[i - 1].frame > e.frame) abort();
    if (e.type != PLATFORM_EVENT_KEY_DOWN && e.type != PLATFORM_EVENT_KEY_UP) abort();
    if (e.key < 1 || e.key > 0xFF) abort();
  }
  return 0;
}
