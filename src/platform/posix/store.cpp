// The persistent value as a file. A write goes to "<value>.tmp" in the same
// folder, is flushed to the disk, and then renamed over the value, so readers
// see either the whole old value or the whole new one. A missing or short
// file is no value at all.
#include "platform/posix/store.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

enum { STORE_PATH_BYTES = 4096 };

void (*store_before_rename_hook)(void);

static char store_base[STORE_PATH_BYTES];

void store_set_base_dir(const char* dir) {
  if (!dir) dir = "";
  snprintf(store_base, sizeof store_base, "%s", dir);
}

static int store_default_base(char* buffer, int bytes) {
  const char* xdg = getenv("XDG_DATA_HOME");
  // A relative XDG_DATA_HOME is invalid and must be ignored.
  if (xdg && xdg[0] == '/') return snprintf(buffer, bytes, "%s", xdg) < bytes;
  const char* home = getenv("HOME");
  if (!home || !home[0]) return 0;
  return snprintf(buffer, bytes, "%s/.local/share", home) < bytes;
}

static int store_append(char* buffer, int bytes, int* used, const char* part, int part_len) {
  if (part_len == 0) return 1;
  if ((part_len == 1 && part[0] == '.') || (part_len == 2 && part[0] == '.' && part[1] == '.')) return 0;
  if (*used + 1 + part_len >= bytes) return 0;
  buffer[(*used)++] = '/';
  memcpy(buffer + *used, part, part_len);
  *used += part_len;
  buffer[*used] = 0;
  return 1;
}

int store_value_path(const char* key_path, const char* value_name, char* buffer, int bytes) {
  if (!key_path || !value_name || !value_name[0] || bytes <= 0) return 0;
  if (strchr(value_name, '/') || strchr(value_name, '\\')) return 0;
  if (store_base[0]) {
    if (snprintf(buffer, bytes, "%s", store_base) >= bytes) return 0;
  } else if (!store_default_base(buffer, bytes)) {
    return 0;
  }
  int used = (int)strlen(buffer);
  while (used > 1 && buffer[used - 1] == '/') buffer[--used] = 0;
  const char* key = key_path;
  if (strncmp(key, "Software\\", 9) == 0) key += 9;
  while (*key) {
    const char* end = key;
    while (*end && *end != '\\' && *end != '/') end++;
    if (!store_append(buffer, bytes, &used, key, (int)(end - key))) return 0;
    key = *end ? end + 1 : end;
  }
  return store_append(buffer, bytes, &used, value_name, (int)strlen(value_name));
}

int platform_store_read(const char* key_path, const char* value_name, void* data_out, int bytes) {
  char path[STORE_PATH_BYTES];
  if (bytes <= 0 || !store_value_path(key_path, value_name, path, sizeof path)) return 0;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  unsigned char* data = (unsigned char*)malloc(bytes);
  int got = 0;
  while (data && got < bytes) {
    ssize_t n = read(fd, data + got, bytes - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += (int)n;
  }
  close(fd);
  int result = 0;
  if (data && got == bytes) {
    memcpy(data_out, data, bytes);
    result = bytes;
  }
  free(data);
  return result;
}

// mkdir -p for the folders above the value's file.
static int store_make_folders(char* path) {
  for (char* slash = strchr(path + 1, '/'); slash; slash = strchr(slash + 1, '/')) {
    *slash = 0;
    int made = mkdir(path, 0755) == 0 || errno == EEXIST;
    *slash = '/';
    if (!made) return 0;
  }
  return 1;
}

static int store_write_all(int fd, const unsigned char* data, int bytes) {
  int done = 0;
  while (done < bytes) {
    ssize_t n = write(fd, data + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    done += (int)n;
  }
  return 1;
}

// The rename itself reaches the disk only with its folder.
static void store_sync_folder(const char* path) {
  char folder[STORE_PATH_BYTES];
  snprintf(folder, sizeof folder, "%s", path);
  char* slash = strrchr(folder, '/');
  if (!slash) return;
  *slash = 0;
  int fd = open(folder[0] ? folder : "/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

int platform_store_write(const char* key_path, const char* value_name, const void* data, int bytes) {
  char path[STORE_PATH_BYTES];
  char temp[STORE_PATH_BYTES + 8];
  if (bytes < 0 || !store_value_path(key_path, value_name, path, sizeof path)) return 0;
  if (!store_make_folders(path)) return 0;
  snprintf(temp, sizeof temp, "%s.tmp", path);
  int fd = open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return 0;
  int ok = store_write_all(fd, (const unsigned char*)data, bytes);
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok && store_before_rename_hook) store_before_rename_hook();
  ok = ok && rename(temp, path) == 0;
  if (!ok) {
    unlink(temp);
    return 0;
  }
  store_sync_folder(path);
  return 1;
}
