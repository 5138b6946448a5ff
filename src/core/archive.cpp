// Reads a packed archive: trailer (archive length, magic "jvqP") at the very
// end, a directory of NUL-terminated names with size and offset, and entry
// data located by offsets counted back from the end of the file. The whole
// directory is checked against the file's length before anything is
// allocated or added, so a truncated or hostile file is refused whole. The
// area from the directory to the trailer is read once and kept: entries
// inside it point into it rather than holding copies.
#include "core/archive.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/fatal.h"
#include "core/game_state.h"
#include "support/array.h"
#include "support/file.h"

Archive g_archive;

enum {
  TRAILER_BYTES = 8,         // archive length, magic
  ENTRY_FIXED_BYTES = 8,     // size, offset after the name
  MIN_ENTRY_BYTES = 1 + ENTRY_FIXED_BYTES,
};

static uint32_t read_u32le(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static int read_exact(FILE* file, long position, void* out, size_t bytes) {
  if (fseek(file, position, SEEK_SET) != 0) return 0;
  return fread(out, 1, bytes, file) == bytes;
}

static void append_entry(Archive* archive, const ArchiveEntry& entry) {
  int before = array_count(archive->entries);
  ArchiveEntry* grown = array_push(archive->entries);
  if (!grown || array_count(grown) != before + 1) out_of_memory();
  archive->entries = grown;
  grown[before] = entry;
}

static void free_entries(ArchiveEntry* list, int count) {
  for (int i = 0; i < count; i++) {
    free(list[i].name);
    if (list[i].owns_data) free(list[i].data);
  }
  free(list);
}

// Walks the directory once without allocating: 1 when every name ends inside
// the directory and every entry's data lies inside the file.
static int directory_is_sound(const uint8_t* dir, size_t dir_bytes, long file_bytes,
                              uint32_t count) {
  if (count > (dir_bytes - 4) / MIN_ENTRY_BYTES) return 0;
  size_t pos = 4;
  for (uint32_t i = 0; i < count; i++) {
    const uint8_t* nul = (const uint8_t*)memchr(dir + pos, 0, dir_bytes - pos);
    if (!nul) return 0;
    pos = (size_t)(nul - dir) + 1;
    if (dir_bytes - pos < ENTRY_FIXED_BYTES) return 0;
    uint32_t size = read_u32le(dir + pos);
    uint32_t offset = read_u32le(dir + pos + 4);
    pos += ENTRY_FIXED_BYTES;
    if (size > 0x7FFFFFFFu || offset > (unsigned long)file_bytes || size > offset) return 0;
  }
  return 1;
}

// Second walk over a directory already found sound: copies the names and
// finds the data. The area from the directory's start to the trailer was read
// whole, and as shipped every entry lies in it, so an entry there is a view
// into the area and is never read twice; only an entry elsewhere in the file
// gets a buffer and a read of its own. 0 only when such a read comes up short
// (the file changed under us).
static int read_entries(FILE* file, uint8_t* area, long area_start, size_t area_bytes,
                        long file_bytes, uint32_t count, ArchiveEntry* out) {
  size_t pos = 4;
  for (uint32_t i = 0; i < count; i++) {
    size_t name_bytes = strlen((const char*)area + pos) + 1;
    ArchiveEntry* entry = &out[i];
    entry->name = (char*)malloc(name_bytes);
    if (!entry->name) out_of_memory();
    memcpy(entry->name, area + pos, name_bytes);
    pos += name_bytes;
    entry->size = (int32_t)read_u32le(area + pos);
    entry->offset = read_u32le(area + pos + 4);
    pos += ENTRY_FIXED_BYTES;
    long start = file_bytes - (long)entry->offset;
    // An empty entry at the very end of the area still needs a pointer that
    // is not "not found", so it takes the buffer path.
    if (start >= area_start && (size_t)(start - area_start) < area_bytes &&
        (size_t)entry->size <= area_bytes - (size_t)(start - area_start)) {
      entry->data = area + (start - area_start);
      entry->owns_data = 0;
      continue;
    }
    // One spare byte keeps an empty entry's pointer distinct from "not found".
    entry->data = (uint8_t*)malloc((size_t)entry->size + 1);
    if (!entry->data) out_of_memory();
    entry->owns_data = 1;
    if (!read_exact(file, start, entry->data, (size_t)entry->size)) {
      free_entries(out, (int)i + 1);
      return 0;
    }
  }
  return 1;
}

static void keep_area(Archive* archive, uint8_t* area) {
  int before = array_count(archive->areas);
  uint8_t** grown = array_push(archive->areas);
  if (!grown || array_count(grown) != before + 1) out_of_memory();
  archive->areas = grown;
  grown[before] = area;
}

int archive_open(const char* path) {
  FILE* file = file_open(path, "rb");
  if (!file) return 0;
  int ok = 0;
  uint8_t* area = 0;
  ArchiveEntry* loaded = 0;
  uint8_t trailer[TRAILER_BYTES];
  long file_bytes = 0;
  if (fseek(file, 0, SEEK_END) == 0) file_bytes = ftell(file);
  if (file_bytes >= TRAILER_BYTES + 4 &&
      read_exact(file, file_bytes - TRAILER_BYTES, trailer, TRAILER_BYTES) &&
      memcmp(trailer + 4, "jvqP", 4) == 0) {
    uint32_t archive_bytes = read_u32le(trailer);
    // The directory runs from its start up to the trailer; it holds at least
    // the entry count.
    if (archive_bytes >= TRAILER_BYTES + 4 && archive_bytes <= (unsigned long)file_bytes) {
      size_t area_bytes = archive_bytes - TRAILER_BYTES;
      long area_start = file_bytes - (long)archive_bytes;
      area = (uint8_t*)malloc(area_bytes);
      if (!area) out_of_memory();
      if (read_exact(file, area_start, area, area_bytes)) {
        uint32_t count = read_u32le(area);
        if (directory_is_sound(area, area_bytes, file_bytes, count)) {
          loaded = (ArchiveEntry*)calloc(count + 1, sizeof(ArchiveEntry));
          if (!loaded) out_of_memory();
          if (read_entries(file, area, area_start, area_bytes, file_bytes, count, loaded)) {
            for (uint32_t i = 0; i < count; i++) append_entry(&g_archive, loaded[i]);
            free(loaded);
            keep_area(&g_archive, area);
            area = 0;
            ok = 1;
          }
        }
      }
    }
  }
  free(area);
  fclose(file);
  return ok;
}

static int names_equal_ignoring_case(const char* a, const char* b) {
  for (;; a++, b++) {
    unsigned char ca = (unsigned char)*a, cb = (unsigned char)*b;
    if (ca >= 'A' && ca <= 'Z') ca = (unsigned char)(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = (unsigned char)(cb - 'A' + 'a');
    if (ca != cb) return 0;
    if (ca == 0) return 1;
  }
}

const uint8_t* archive_find(const char* name, int* size_out) {
  const ArchiveEntry* entries = g_archive.entries;
  int entry_count = array_count(entries);
  for (int i = 0; i < entry_count; i++) {
    if (names_equal_ignoring_case(entries[i].name, name)) {
      if (size_out) *size_out = entries[i].size;
      return entries[i].data;
    }
  }
  return 0;
}

const uint8_t* load_data(const char* name, int* size_out) {
  if (g_game.cheats_enabled || !ARCHIVE_MODE) {
    int bytes = 0;
    uint8_t* loose = (uint8_t*)read_whole_file(name, &bytes);
    if (loose) {
      if (size_out) *size_out = bytes;
      return loose;
    }
    if (!ARCHIVE_MODE) return 0;
  }
  return archive_find(name, size_out);
}

int archive_entry_count(void) { return array_count(g_archive.entries); }

const ArchiveEntry* archive_entry(int index) {
  const ArchiveEntry* entries = g_archive.entries;
  return index >= 0 && index < array_count(entries) ? &entries[index] : 0;
}

void archive_close_all(void) {
  ArchiveEntry* entries = g_archive.entries;
  for (int i = 0; i < array_count(entries); i++) {
    free(entries[i].name);
    if (entries[i].owns_data) free(entries[i].data);
  }
  array_free(entries);
  g_archive.entries = 0;
  uint8_t** areas = g_archive.areas;
  for (int i = 0; i < array_count(areas); i++) free(areas[i]);
  array_free(areas);
  g_archive.areas = 0;
}

int archive_installed_path(const char* executable_path, char* buffer, int bytes) {
  static const char INSTALLED_DATA[] = "../share/vantrel/packed.dat";
  if (!executable_path || bytes <= 0) return 0;
  buffer[0] = 0;
  // Either separator ends the folder, so the same rule holds on Windows.
  const char* slash = strrchr(executable_path, '/');
  const char* backslash = strrchr(executable_path, '\\');
  if (backslash > slash) slash = backslash;
  if (!slash) return 0;
  size_t folder = (size_t)(slash - executable_path) + 1;
  size_t total = folder + sizeof INSTALLED_DATA - 1;
  if (total >= (size_t)bytes) return 0;
  memcpy(buffer, executable_path, folder);
  memcpy(buffer + folder, INSTALLED_DATA, sizeof INSTALLED_DATA);
  return (int)total;
}
