// The persistent value as a REG_BINARY registry value. It is written under
// HKEY_CURRENT_USER, which every user may write; older saves were written
// under HKEY_LOCAL_MACHINE (or, for a 32-bit program without the right to
// write there, into the user's VirtualStore copy of it) and are still found.
#include "platform/platform.h"
#include "platform/win32/win32_backend.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum { STORE_PATH_BYTES = 512 };

// Where an older save may lie, in the order it is looked for once the current
// user has no value of their own. A 32-bit program's HKEY_LOCAL_MACHINE is the
// 32-bit view on 64-bit Windows.
struct OlderPlace {
  HKEY root;
  const char* prefix;   // put before the key path
  REGSAM view;
};

const OlderPlace OLDER_PLACES[] = {
    {HKEY_CURRENT_USER, "Software\\Classes\\VirtualStore\\MACHINE\\", 0},
    {HKEY_LOCAL_MACHINE, "", KEY_WOW64_32KEY},
    {HKEY_LOCAL_MACHINE, "", KEY_WOW64_64KEY},
};

// 1: the value was read whole; 0: it is there but not usable; -1: there is
// no such key or value.
int read_value(HKEY root, const char* key_path, REGSAM view, const char* value_name,
               void* data_out, int bytes) {
  HKEY key;
  LONG opened = RegOpenKeyExA(root, key_path, 0, KEY_READ | view, &key);
  if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_PATH_NOT_FOUND) return -1;
  if (opened != ERROR_SUCCESS) return 0;
  unsigned char* data = (unsigned char*)malloc((size_t)bytes);
  DWORD size = (DWORD)bytes;
  LONG queried = data ? RegQueryValueExA(key, value_name, nullptr, nullptr, data, &size)
                      : ERROR_OUTOFMEMORY;
  RegCloseKey(key);
  int result = 0;
  if (queried == ERROR_FILE_NOT_FOUND) {
    result = -1;
  } else if (queried == ERROR_SUCCESS && size == (DWORD)bytes) {
    memcpy(data_out, data, (size_t)bytes);
    result = 1;
  }
  free(data);
  return result;
}

}  // namespace

int platform_store_read(const char* key_path, const char* value_name, void* data_out, int bytes) {
  if (!key_path || !value_name || bytes <= 0) return 0;
  // The user's own value decides whenever it exists, even when it is unusable
  // or the zero record of a finished game: an older save must not come back.
  int found = read_value(HKEY_CURRENT_USER, key_path, 0, value_name, data_out, bytes);
  for (const OlderPlace& place : OLDER_PLACES) {
    if (found >= 0) break;
    char path[STORE_PATH_BYTES];
    const char* relative = key_path;
    if (place.prefix[0]) {
      // VirtualStore keeps SOFTWARE's 32-bit branch under its own name.
      if (_strnicmp(relative, "Software\\", 9) != 0) continue;
      relative += 9;
      if (snprintf(path, sizeof path, "%sSOFTWARE\\WOW6432Node\\%s", place.prefix, relative) >=
          (int)sizeof path)
        continue;
    } else if (snprintf(path, sizeof path, "%s", key_path) >= (int)sizeof path) {
      continue;
    }
    found = read_value(place.root, path, place.view, value_name, data_out, bytes);
  }
  return found == 1 ? bytes : 0;
}

int platform_store_write(const char* key_path, const char* value_name, const void* data, int bytes) {
  if (!key_path || !value_name || bytes < 0) return 0;
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key_path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 0;
  LONG set = RegSetValueExA(key, value_name, 0, REG_BINARY, (const BYTE*)data, (DWORD)bytes);
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}
