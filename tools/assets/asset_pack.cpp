// Shipped order and entry checks for packed.dat. Images are written as 8-bit
// RGB with the exact key colours (the loader matches R, G, B exactly), and
// sorting by rank keeps the archive in the shipped order whatever subset of
// the entries exists yet.
#include "assets/asset_pack.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>

#include "common/png_write.h"
#include "core/bitmap.h"

const char* const ASSET_SHIPPED_ORDER[ASSET_SHIPPED_COUNT] = {
    "avatar.png", "blob.png",        "blob2.png", "cr01.png", "cr02.png", "cr03.png", "cr04.png",
    "cr05.png",   "cr06.png",        "cr07.png",  "cr08.png", "cr09.png", "cr10.png", "cr11.png",
    "cr12.png",   "cr13.png",        "cr14.png",  "cr15.png", "cr16.png", "cr17.png", "cr18.png",
    "cr19.png",   "cr20.png",        "cr21.png",  "cr22.png", "cr23.png", "merged.ogg",
    "merged_data.txt", "r01.png",    "r02.png",   "r03.png",  "r04.png",  "r05.png",  "r06.png",
    "r07.png",    "r08.png",         "r09.png",   "r10.png",  "r11.png",  "r12.png",  "r13.png",
    "r14.png",    "r15.png",         "r16.png",   "r17.png",  "r18.png",  "r19.png",  "r20.png",
    "r21.png",    "r22.png",         "r23.png",   "r24.png",  "r25.png",  "r26.png",  "r27.png",
    "r28.png",    "r29.png",         "r30.png",   "r31.png",  "r32.png",  "r33.png",  "r34.png",
    "r35.png",    "r36.png",         "r37.png",   "r38.png",  "r39.png",  "qorvel_title_3.ogg",
    "title.png",  "title_1.png",     "title_2.png",
};

const char* const ASSET_MUSIC_FILES[3] = {"merged.ogg", "merged_data.txt", "qorvel_title_3.ogg"};

int asset_entry_rank(const std::string& name) {
  for (int i = 0; i < ASSET_SHIPPED_COUNT; i++)
    if (name == ASSET_SHIPPED_ORDER[i]) return i;
  return -1;
}

int asset_expected_size(const std::string& name, int* width_out, int* height_out) {
  struct Fixed {
    const char* name;
    int w, h;
  };
  // The avatar box, the figure's brushes, and the burst piece come from the
  // movement and drawing rules; rooms and titles fill the screen.
  static const Fixed fixed[] = {{"avatar.png", 60, 80}, {"blob.png", 9, 10},     {"blob2.png", 16, 16},
                                {"cr03.png", 60, 60},   {"title.png", 800, 600}, {"title_1.png", 800, 600},
                                {"title_2.png", 800, 600}};
  for (const Fixed& f : fixed) {
    if (name == f.name) {
      *width_out = f.w;
      *height_out = f.h;
      return 1;
    }
  }
  if (name.size() == 7 && name[0] == 'r' && isdigit((unsigned char)name[1]) &&
      isdigit((unsigned char)name[2]) && name.compare(3, 4, ".png") == 0) {
    *width_out = 800;
    *height_out = 600;
    return 1;
  }
  return 0;
}

std::vector<uint8_t> asset_encode_png(const AssetImage& image) {
  std::vector<uint8_t> rgb((size_t)image.width * image.height * 3);
  for (size_t i = 0; i < image.pixels.size(); i++) {
    uint32_t key = BITMAP_KEY_COLOURS[image.pixels[i] < BITMAP_CLASS_COUNT ? image.pixels[i] : 0];
    rgb[3 * i] = (uint8_t)key;  // red lives in the low byte of the table
    rgb[3 * i + 1] = (uint8_t)(key >> 8);
    rgb[3 * i + 2] = (uint8_t)(key >> 16);
  }
  int size = 0;
  uint8_t* png = png_encode_rgba(rgb.data(), image.width, image.height, 3, &size);
  std::vector<uint8_t> out;
  if (png) out.assign(png, png + size);
  free(png);
  return out;
}

void asset_sort_entries(std::vector<ArchiveFile>* files) {
  std::stable_sort(files->begin(), files->end(), [](const ArchiveFile& a, const ArchiveFile& b) {
    int ra = asset_entry_rank(a.name), rb = asset_entry_rank(b.name);
    if (ra < 0) ra = ASSET_SHIPPED_COUNT;
    if (rb < 0) rb = ASSET_SHIPPED_COUNT;
    if (ra != rb) return ra < rb;
    return a.name < b.name;
  });
}

std::vector<std::string> asset_find_sources(const std::string& dir) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec) && it->path().extension() == ".img") paths.push_back(it->path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}
