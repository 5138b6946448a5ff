// One run of the generator: render every source, check names and sizes,
// add the music files that exist, and write packed.dat (and, on request,
// each image as a loose PNG for cheat-mode overrides and inspection).
#pragma once

#include <string>
#include <vector>

#include "assets/asset_raster.h"

struct AssetBuildOptions {
  std::string assets_dir;  // searched recursively for *.img
  std::string music_dir;   // may be empty or lack some of the music files
  std::string out_path;    // packed.dat; empty: write no archive
  std::string png_dir;     // empty: write no loose PNGs
};

// Returns 1 on success. Every problem is printed to stderr as
// "file:line: message"; any problem means nothing is written and 0.
int asset_build(const AssetBuildOptions& options, std::vector<AssetImage>* images_out);
