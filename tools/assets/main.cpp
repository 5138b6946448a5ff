// vantrel-assets: renders the image sources under assets/ into packed.dat.
//   vantrel-assets --assets DIR [--music DIR] [--out FILE] [--png-dir DIR] [--preview DIR]
//   vantrel-assets --render SOURCE.img OUT.png
// Exit status 0 on success, 1 when a source is malformed or a file cannot be
// written (each problem printed as file:line: message), 2 on bad usage.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "asset_build.h"
#include "asset_pack.h"
#include "asset_preview.h"
#include "asset_source.h"

namespace {

int usage(void) {
  fprintf(stderr,
          "usage: vantrel-assets --assets DIR [--music DIR] [--out FILE] [--png-dir DIR] [--preview DIR]\n"
          "       vantrel-assets --render SOURCE.img OUT.png\n");
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "--render") == 0) return render_one(argv[2], argv[3]);
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
