// The input script of the headless runner. Strict on purpose: a typo in a
// script would otherwise silently drop a key press and make a replay test
// pass or fail for the wrong reason, so any bad line stops the run.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

struct KeyName {
  const char* name;
  int code;
};

const KeyName KEY_NAMES[] = {
    {"LEFT", PLATFORM_VK_LEFT},   {"RIGHT", PLATFORM_VK_RIGHT},   {"UP", PLATFORM_VK_UP},
    {"DOWN", PLATFORM_VK_DOWN},   {"SPACE", PLATFORM_VK_SPACE},   {"ESCAPE", PLATFORM_VK_ESCAPE},
    {"PAUSE", PLATFORM_VK_PAUSE},
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int script_key_code(const char* name) {
  for (const KeyName& key : KEY_NAMES)
    if (strcmp(name, key.name) == 0) return key.code;
  if (name[0] >= 'A' && name[0] <= 'Z' && name[1] == 0) return name[0];
  if (name[0] == '0' && name[1] == 'x' && name[2]) {
    int value = 0;
    for (const char* c = name + 2; *c; c++) {
      int digit = hex_digit(*c);
      if (digit < 0 || value > 0xFF) return 0;
      value = value * 16 + digit;
    }
    return value >= 1 && value <= 0xFF ? value : 0;
  }
  return 0;
}

const char* script_key_name(int code) {
  for (const KeyName& key : KEY_NAMES)
    if (key.code == code) return key.name;
  return nullptr;
}

int script_parse(const char* text, std::vector<ScriptEvent>* events, char* error, int error_bytes) {
  events->clear();
  int line_number = 0;
  const char* line = text;
  while (*line) {
    line_number++;
    const char* end = strchr(line, '\n');
    if (!end) end = line + strlen(line);
    std::string content(line, end);
    line = *end ? end + 1 : end;

    std::vector<std::string> fields;
    size_t i = 0;
    while (i < content.size()) {
      while (i < content.size() && strchr(" \t\r", content[i])) i++;
      size_t start = i;
      while (i < content.size() && !strchr(" \t\r", content[i])) i++;
      if (i > start) fields.push_back(content.substr(start, i - start));
    }
    if (fields.empty() || fields[0][0] == '#') continue;
    if (fields.size() != 3) {
      snprintf(error, error_bytes, "line %d: expected \"FRAME down|up KEY\", got %d field%s",
               line_number, (int)fields.size(), fields.size() == 1 ? "" : "s");
      return 0;
    }
    const std::string& frame_text = fields[0];
    if (frame_text.size() > 9 || frame_text.find_first_not_of("0123456789") != std::string::npos) {
      snprintf(error, error_bytes, "line %d: bad frame number \"%s\"", line_number,
               frame_text.c_str());
      return 0;
    }
    ScriptEvent event;
    event.frame = atoi(frame_text.c_str());
    if (fields[1] == "down") {
      event.type = PLATFORM_EVENT_KEY_DOWN;
    } else if (fields[1] == "up") {
      event.type = PLATFORM_EVENT_KEY_UP;
    } else {
      snprintf(error, error_bytes, "line %d: expected down or up, got \"%s\"", line_number,
               fields[1].c_str());
      return 0;
    }
    event.key = script_key_code(fields[2].c_str());
    if (!event.key) {
      snprintf(error, error_bytes,
               "line %d: unknown key \"%s\" (LEFT RIGHT UP DOWN SPACE ESCAPE PAUSE, A-Z or 0x01-0xFF)",
               line_number, fields[2].c_str());
      return 0;
    }
    events->push_back(event);
  }
  std::stable_sort(events->begin(), events->end(),
                   [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
  return 1;
}

int script_parse_bytes(const char* bytes, int length, std::vector<ScriptEvent>* events,
                       char* error, int error_bytes) {
  const char* nul = (const char*)memchr(bytes, 0, (size_t)length);
  if (nul) {
    events->clear();
    int line_number = 1;
    for (const char* c = bytes; c < nul; c++) line_number += *c == '\n';
    snprintf(error, error_bytes, "line %d: NUL byte", line_number);
    return 0;
  }
  return script_parse(std::string(bytes, (size_t)length).c_str(), events, error, error_bytes);
}
