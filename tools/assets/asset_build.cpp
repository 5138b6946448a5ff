// The generator's main work. Sources are independent, so all of them are
// rendered and every problem reported before giving up; the archive is
// written to a temporary name and renamed, so a failed run never leaves a
// truncated packed.dat behind for the game to open.
#include "assets/asset_build.h"

#include <stdio.h>

#include <map>

#include "assets/asset_pack.h"
#include "assets/asset_source.h"
#include "pack/archive_write.h"

namespace {

int write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  int ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok &= fclose(f) == 0;
  return ok;
}

}  // namespace

int asset_build(const AssetBuildOptions& options, std::vector<AssetImage>* images_out) {
  std::vector<std::string> sources = asset_find_sources(options.assets_dir);
  if (sources.empty()) {
    fprintf(stderr, "vantrel-assets: no *.img sources under %s\n", options.assets_dir.c_str());
    return 0;
  }
  int failed = 0;
  std::vector<AssetImage> images;
  std::map<std::string, std::string> first_source;  // entry name -> "file:line"
  for (const std::string& path : sources) {
    AssetImage image;
    AssetSourceInfo info;
    std::string error;
    if (!asset_render_file(path, &image, &error, &info)) {
      fprintf(stderr, "%s\n", error.c_str());
      failed = 1;
      continue;
    }
    std::string where = path + ":" + std::to_string(info.image_line);
    auto seen = first_source.find(image.name);
    if (seen != first_source.end()) {
      fprintf(stderr, "%s: entry %s is already made by %s\n", where.c_str(), image.name.c_str(),
              seen->second.c_str());
      failed = 1;
      continue;
    }
    first_source[image.name] = where;
    int w, h;
    if (asset_expected_size(image.name, &w, &h) && (w != image.width || h != image.height)) {
      fprintf(stderr, "%s: %s must be %d x %d, not %d x %d\n", where.c_str(), image.name.c_str(), w,
              h, image.width, image.height);
      failed = 1;
      continue;
    }
    if (asset_entry_rank(image.name) < 0)
      fprintf(stderr, "%s: note: %s is not a shipped entry; it goes after them\n", where.c_str(),
              image.name.c_str());
    images.push_back(std::move(image));
  }
  if (failed) return 0;

  std::vector<ArchiveFile> files;
  for (const AssetImage& image : images) {
    ArchiveFile f;
    f.name = image.name;
    f.data = asset_encode_png(image);
    if (f.data.empty()) {
      fprintf(stderr, "%s: cannot encode %s\n", image.source.c_str(), image.name.c_str());
      return 0;
    }
    if (!options.png_dir.empty() && !write_bytes(options.png_dir + "/" + f.name, f.data)) {
      fprintf(stderr, "vantrel-assets: cannot write %s/%s\n", options.png_dir.c_str(), f.name.c_str());
      return 0;
    }
    files.push_back(std::move(f));
  }
  if (!options.music_dir.empty()) {
    for (const char* name : ASSET_MUSIC_FILES) {
      ArchiveFile f;
      f.name = name;
      if (archive_read_file_bytes((options.music_dir + "/" + name).c_str(), &f.data))
        files.push_back(std::move(f));
    }
  }
  asset_sort_entries(&files);
  if (!options.out_path.empty()) {
    std::string temp = options.out_path + ".tmp";
    if (!archive_write_file(temp.c_str(), files) || rename(temp.c_str(), options.out_path.c_str()) != 0) {
      remove(temp.c_str());
      fprintf(stderr, "vantrel-assets: cannot write %s\n", options.out_path.c_str());
      return 0;
    }
  }
  if (images_out) *images_out = std::move(images);
  return 1;
}
