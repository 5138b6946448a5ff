// archive_open on arbitrary bytes: the reader must refuse or accept without
// reading outside the file, allocating absurd sizes or crashing, and whatever
// it accepts must be findable by name with sizes inside the input.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "core/archive.h"
#include "platform/platform.h"

// The reader's only platform need is the out-of-memory message box.
void platform_message_box(const char*, const char* text) { fprintf(stderr, "fatal: %s\n", text); }
void platform_exit(int) { abort(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static char path[64];
  if (!path[0]) snprintf(path, sizeof path, "/tmp/archive_fuzz_%d.dat", (int)getpid());
  FILE* f = fopen(path, "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);

  archive_close_all();
  if (archive_open(path)) {
    for (int i = 0; i < archive_entry_count(); i++) {
      const ArchiveEntry* e = archive_entry(i);
      if (e->size < 0 || (size_t)e->size > size) abort();
      int found_size = -1;
      const uint8_t* found = archive_find(e->name, &found_size);
      if (!found || found_size < 0) abort();
      // Touch every byte so ASan sees the buffers' true extent.
      volatile uint8_t sum = 0;
      for (int k = 0; k < e->size; k++) sum = (uint8_t)(sum + e->data[k]);
      (void)sum;
    }
  } else if (archive_entry_count() != 0) {
    abort();  // a refused archive adds nothing
  }
  archive_close_all();
  return 0;
}
