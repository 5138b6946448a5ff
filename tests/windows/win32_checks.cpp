// Checks of the Windows-only code that the Wine end-to-end run cannot see:
// where the save goes and which older saves are still found, the wide-name
// file open, thread start and stop, the SSE2 probe, and the executable's own
// path. Cross-compiled and run
// under Wine by win32_checks.sh; prints "N passed, N failed".
#include "platform/win32/win32_backend.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <wchar.h>

#include "audio/ring.h"
#include "platform/platform.h"
#include "support/file.h"
#include "support/thread.h"

// The process file's other callees, which these checks never reach.
Win32Backend g_win32;
void win32_display_close(void) {}
void platform_sound_close(void) {}

namespace {

int passed, failed;

#define CHECK(condition) \
  ((condition) ? (void)passed++ : (void)(failed++, printf("FAILED %s:%d: %s\n", __FILE__, __LINE__, #condition)))

const char TEST_KEY[] = "Software\\VantrelChecks\\qorvel";
const char TEST_VALUE[] = "save";

void delete_everywhere(void) {
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VantrelChecks");
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\VantrelChecks");
  HKEY software;
  const REGSAM views[2] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};
  for (REGSAM view : views) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS | view, &software) == ERROR_SUCCESS) {
      RegDeleteTreeA(software, "VantrelChecks");
      RegCloseKey(software);
    }
  }
}

int put_value(HKEY root, const char* path, REGSAM view, const void* data, int bytes) {
  HKEY key;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return 0;
  LONG set = RegSetValueExA(key, TEST_VALUE, 0, REG_BINARY, (const BYTE*)data, (DWORD)bytes);
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

void fill(unsigned char* data, int seed) {
  for (int i = 0; i < 24; i++) data[i] = (unsigned char)(seed * 31 + i);
}

void check_store(void) {
  unsigned char written[24], read[24], older[24];
  delete_everywhere();
  memset(read, 0xAB, sizeof read);
  CHECK(platform_store_read(TEST_KEY, TEST_VALUE, read, 24) == 0 && read[0] == 0xAB);  // nothing, untouched

  // A write lands in the current user's branch as 24 bytes of REG_BINARY.
  fill(written, 1);
  CHECK(platform_store_write(TEST_KEY, TEST_VALUE, written, 24) == 1);
  HKEY key;
  DWORD type = 0, size = sizeof read;
  CHECK(RegOpenKeyExA(HKEY_CURRENT_USER, TEST_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS);
  CHECK(RegQueryValueExA(key, TEST_VALUE, nullptr, &type, read, &size) == ERROR_SUCCESS);
  RegCloseKey(key);
  CHECK(type == REG_BINARY && size == 24 && memcmp(read, written, 24) == 0);
  memset(read, 0, sizeof read);
  CHECK(platform_store_read(TEST_KEY, TEST_VALUE, read, 24) == 24 && memcmp(read, written, 24) == 0);

  // Older saves: HKEY_LOCAL_MACHINE's 32-bit view, its 64-bit view, and the
  // VirtualStore copy a 32-bit program without rights there was given.
  const struct { HKEY root; const char* path; REGSAM view; } places[] = {
      {HKEY_LOCAL_MACHINE, TEST_KEY, KEY_WOW64_32KEY},
      {HKEY_LOCAL_MACHINE, TEST_KEY, KEY_WOW64_64KEY},
      {HKEY_CURRENT_USER, "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\VantrelChecks\\qorvel", 0},
  };
  for (int i = 0; i < 3; i++) {
    delete_everywhere();
    fill(older, 10 + i);
    CHECK(put_value(places[i].root, places[i].path, places[i].view, older, 24));
    memset(read, 0, sizeof read);
    CHECK(platform_store_read(TEST_KEY, TEST_VALUE, read, 24) == 24 && memcmp(read, older, 24) == 0);
    // The next save goes to the user's branch and wins from then on.
    fill(written, 20 + i);
    CHECK(platform_store_write(TEST_KEY, TEST_VALUE, written, 24) == 1);
    CHECK(platform_store_read(TEST_KEY, TEST_VALUE, read, 24) == 24 && memcmp(read, written, 24) == 0);
  }

  // A finished game writes zeros; the older save must not come back.
  delete_everywhere();
  fill(older, 30);
  CHECK(put_value(HKEY_LOCAL_MACHINE, TEST_KEY, KEY_WOW64_32KEY, older, 24));
  unsigned char zeros[24] = {};
  CHECK(platform_store_write(TEST_KEY, TEST_VALUE, zeros, 24) == 1);
  memset(read, 0xAB, sizeof read);
  CHECK(platform_store_read(TEST_KEY, TEST_VALUE, read, 24) == 24 && memcmp(read, zeros, 24) == 0);

  // A user value of the wrong length is no save, and not a reason to fall
  // back either; one too long is refused whole.
  CHECK(put_value(HKEY_CURRENT_USER, TEST_KEY, 0, written, 3));
  memset(read, 0xAB, sizeof read);
  CHECK(platform_store_read(TEST_KEY, TEST_VALUE, read, 24) == 0 && read[0] == 0xAB);
  unsigned char long_value[40] = {};
  CHECK(put_value(HKEY_CURRENT_USER, TEST_KEY, 0, long_value, 40));
  CHECK(platform_store_read(TEST_KEY, TEST_VALUE, read, 24) == 0 && read[0] == 0xAB);
  delete_everywhere();
}

void check_wide_file_names(void) {
  // "vantrel_ü€😀.txt": two-, three- and four-byte UTF-8 in one name.
  const char utf8_name[] = "vantrel_\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80.txt";
  const wchar_t wide_name[] = L"vantrel_\u00FC\u20AC\U0001F600.txt";
  FILE* file = _wfopen(wide_name, L"wb");
  if (!file) return CHECK(file != nullptr);
  fputs("wide name", file);
  fclose(file);
  int length = -1;
  uint8_t* data = read_whole_file(utf8_name, &length);
  CHECK(data != nullptr && length == 9 && memcmp(data, "wide name", 10) == 0);
  free(data);
  _wremove(wide_name);
  CHECK(read_whole_file(utf8_name, &length) == nullptr);
}

void check_threads(void) {
  Semaphore* done = semaphore_create(1, 0);
  int ran = 0, result = 0;
  Thread* thread = thread_start([](void* a) { return *(int*)a = 1, 7; }, &ran, &result, done);
  CHECK(done != nullptr && thread != nullptr);
  semaphore_wait(done);
  CHECK(ran == 1 && result == 7);  // the result is stored before the release
  thread_join(thread);
  semaphore_free(done);

  std::atomic<int> turns{0};
  thread = thread_start_simple([](void* a) {
    for (; !thread_stop_requested(); Sleep(1)) ((std::atomic<int>*)a)->fetch_add(1);
    return 0;
  }, &turns);
  CHECK(thread != nullptr);
  while (thread && turns.load() < 3) Sleep(1);
  thread_terminate(thread);  // returns only once the body has
  int after = turns.load();
  Sleep(20);
  CHECK(turns.load() == after);
}

// The path the game opens its own archive through: it must name this very
// file, and open with the narrow fopen the archive reader uses as well as
// through the UTF-8 whole-file read.
void check_executable_path(void) {
  char path[512];
  int n = platform_executable_path(path, sizeof path);
  CHECK(n > 0 && n == (int)strlen(path));
  // A folder name the code page cannot spell comes back in its short form.
  static wchar_t own[MAX_PATH], given[MAX_PATH], longer[MAX_PATH];
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  MultiByteToWideChar(CP_UTF8, 0, path, -1, given, MAX_PATH);
  CHECK(GetLongPathNameW(given, longer, MAX_PATH) > 0 && _wcsicmp(longer, own) == 0);
  FILE* narrow = fopen(path, "rb");
  CHECK(narrow != nullptr && fclose(narrow) == 0);
  uint8_t* whole = read_whole_file(path, nullptr);
  CHECK(whole != nullptr && whole[0] == 'M' && whole[1] == 'Z');
  free(whole);
  CHECK(platform_executable_path(path, 4) == 0);  // too small: nothing half-written
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--path-only") == 0) {
    check_executable_path();
  } else {
    check_store();
    check_wide_file_names();
    check_threads();
    CHECK(ring_vector_supported() == 1);  // every x86-64 has SSE2; the probe must see it
    check_executable_path();
  }
  printf("%d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}
