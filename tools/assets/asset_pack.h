// From rendered images to packed.dat: the shipped directory order, the sizes
// the game relies on, key-colour PNG encoding, and the gathering of sources
// and music files. The archive layout itself lives in pack/archive_write.h.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "assets/asset_raster.h"
#include "pack/archive_write.h"

// The 71 entry names in the order the shipped archive lists them.
const int ASSET_SHIPPED_COUNT = 71;
extern const char* const ASSET_SHIPPED_ORDER[ASSET_SHIPPED_COUNT];

// The three music entries, looked for in the music folder.
extern const char* const ASSET_MUSIC_FILES[3];

// Position of name in the shipped order, or -1 for a name it does not list.
int asset_entry_rank(const std::string& name);

// 1 and the size when the game depends on the size of this entry (avatar,
// brushes, the burst piece cr03, rooms, titles); 0 for free-sized sprites.
int asset_expected_size(const std::string& name, int* width_out, int* height_out);

// An RGB PNG of the image in exact key colours. Empty on failure.
std::vector<uint8_t> asset_encode_png(const AssetImage& image);

// Sorts entries into the shipped order; names it does not list follow, by name.
void asset_sort_entries(std::vector<ArchiveFile>* files);

// Every *.img below dir (recursively), sorted by path.
std::vector<std::string> asset_find_sources(const std::string& dir);
