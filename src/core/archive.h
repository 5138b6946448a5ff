// The packed archive: every data file of the game in one blob whose positions
// all count back from the end of the file, so the same bytes work as
// "packed.dat" or appended to the executable. Entries are read at start-up
// (each byte once) and live until the process ends.
#pragma once

#include <stdint.h>

// With it on, start-up must open an archive and data comes from it; off, every
// data file is read as a loose file.
enum { ARCHIVE_MODE = 1 };

struct ArchiveEntry {
  char* name;      // heap copy, NUL included
  uint8_t* data;   // exactly size bytes, no NUL added
  int32_t size;
  uint32_t offset; // as read: the data began at end of file - offset
  uint8_t owns_data; // 1: data is a block of its own; 0: a view into an area
};

// Every entry read so far: a growable array (support/array.h, which keeps the
// count) in directory order, archives in the order they were opened.
struct Archive {
  ArchiveEntry* entries;
  // Growable array of each opened archive's bytes from its directory to its
  // trailer, read once; the entries lying there point into them.
  uint8_t** areas;
};

// The game's one archive, which the functions below read and fill.
extern Archive g_archive;

// Reads every entry of the archive at path and appends them to the entry list.
// Returns 1 on success; 0 (and nothing added) when the file cannot be opened,
// is no archive, or its directory or data run outside the file.
int archive_open(const char* path);

// Where an installed game keeps its data, relative to the executable so that
// a moved install still works: <executable's folder>/../share/vantrel/packed.dat
// ("/usr/games/vantrel" gives "/usr/games/../share/vantrel/packed.dat").
// Writes it into buffer and returns its length; 0 when executable_path has
// no folder or the result does not fit in bytes.
int archive_installed_path(const char* executable_path, char* buffer, int bytes);

// The bytes of the first entry whose name equals name, ignoring ASCII case;
// null when there is none (size_out is then left alone).
const uint8_t* archive_find(const char* name, int* size_out);

// The one way the game gets a data file: with cheats enabled a loose file of
// that name wins (in a fresh NUL-terminated buffer), else the archive entry.
const uint8_t* load_data(const char* name, int* size_out);

int archive_entry_count(void);
const ArchiveEntry* archive_entry(int index);

// Releases every entry. The game never does (entries live for the whole run);
// tests and the fuzz target start each case from an empty list with it.
void archive_close_all(void);
