// vantrel-assets: renders the image sources under assets/ into packed.dat.
//   vantrel-assets --assets DIR [--music DIR] [--out FILE] [--png-dir DIR] [--preview DIR]
//   vantrel-assets --render SOURCE.img OUT.png
//   vantrel-assets --motion OUT.png FRAME.png FRAME.png...   (consecutive captures)
// Exit status 0 on success, 1 when a source is malformed or a file cannot be
// written (each problem printed as file:line: message), 2 on bad usage.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "assets/asset_build.h"
#include "assets/asset_pack.h"
#include "assets/asset_preview.h"
#include "assets/asset_source.h"
#include "common/png_write.h"
#include "image/image.h"
#include "pack/archive_write.h"

namespace {

int usage(void) {
  fprintf(stderr,
          "usage: vantrel-assets --assets DIR [--music DIR] [--out FILE] [--png-dir DIR] [--preview DIR]\n"
          "       vantrel-assets --render SOURCE.img OUT.png\n"
          "       vantrel-assets --motion OUT.png FRAME.png FRAME.png...\n");
  return 2;
}

int render_one(const char* source, const char* out) {
  AssetImage image;
  std::string error;
  if (!asset_render_file(source, &image, &error)) {
    fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<uint8_t> png = asset_encode_png(image);
  FILE* f = fopen(out, "wb");
  int ok = f && !png.empty() && fwrite(png.data(), 1, png.size(), f) == png.size();
  if (f) ok &= fclose(f) == 0;
  if (!ok) {
    fprintf(stderr, "vantrel-assets: cannot write %s\n", out);
    return 1;
  }
  return 0;
}

// The motion map of frames captured from the real game (vantrel-headless
// --capture), to judge a screen as the player sees it, fade and all.
int motion_of_captures(const char* out, int count, char** paths) {
  std::vector<std::vector<uint32_t>> frames;
  int width = 0, height = 0;
  for (int i = 0; i < count; i++) {
    std::vector<uint8_t> bytes;
    int32_t w = 0, h = 0, comps = 0;
    uint8_t* rgb = nullptr;
    if (archive_read_file_bytes(paths[i], &bytes))
      rgb = image_load_from_memory(bytes.data(), (int32_t)bytes.size(), &w, &h, &comps, 3);
    if (!rgb || (i > 0 && (w != width || h != height))) {
      fprintf(stderr, "vantrel-assets: %s is not a frame like the first\n", paths[i]);
      free(rgb);
      return 1;
    }
    width = w;
    height = h;
    std::vector<uint32_t> frame((size_t)w * h);
    for (size_t p = 0; p < frame.size(); p++)
      frame[p] = ((uint32_t)rgb[3 * p] << 16) | (rgb[3 * p + 1] << 8) | rgb[3 * p + 2];
    free(rgb);
    frames.push_back(std::move(frame));
  }
  std::vector<const uint32_t*> views;
  for (const std::vector<uint32_t>& f : frames) views.push_back(f.data());
  std::vector<uint8_t> map = asset_motion_map(views, width, height, 0, 0, width, height);
  if (!png_write_rgba(out, map.data(), width, height)) {
    fprintf(stderr, "vantrel-assets: cannot write %s\n", out);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "--render") == 0) return render_one(argv[2], argv[3]);
  if (argc >= 5 && strcmp(argv[1], "--motion") == 0) return motion_of_captures(argv[2], argc - 3, argv + 3);
  AssetBuildOptions options;
  std::string preview_dir;
  if (argc % 2 == 0) return usage();
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string name = argv[i], value = argv[i + 1];
    if (name == "--assets") options.assets_dir = value;
    else if (name == "--music") options.music_dir = value;
    else if (name == "--out") options.out_path = value;
    else if (name == "--png-dir") options.png_dir = value;
    else if (name == "--preview") preview_dir = value;
    else return usage();
  }
  if (options.assets_dir.empty()) return usage();
  std::vector<AssetImage> images;
  if (!asset_build(options, &images)) return 1;
  if (!preview_dir.empty() && !asset_preview_write(images, preview_dir)) return 1;
  return 0;
}
