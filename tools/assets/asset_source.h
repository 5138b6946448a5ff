// The text format of image sources (assets/**/*.img): one image per file, a
// list of painting statements applied in order. Parsing and painting happen
// in one pass, so a malformed statement stops at once with "file:line:
// message" and nothing half-painted escapes. assets/README.md documents the
// statements; the level solver renders rooms through this too.
#pragma once

#include <string>

#include "assets/asset_raster.h"

struct AssetSourceInfo {
  int image_line = 0;  // line of the `image` statement (for later checks)
};

// Renders the source file at path. Returns 1 on success; 0 with *error_out
// set to "path:line: message" when the file cannot be read or is malformed.
int asset_render_file(const std::string& path, AssetImage* image_out, std::string* error_out,
                      AssetSourceInfo* info_out = nullptr);

// The same for source text held in memory; file_name names it in messages
// and its directory resolves `include`.
int asset_render_text(const std::string& text, const std::string& file_name, AssetImage* image_out,
                      std::string* error_out, AssetSourceInfo* info_out = nullptr);
