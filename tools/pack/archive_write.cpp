// Packed-archive layout for the tools. The game has its own reader (it reads
// from a FILE and never holds the executable whole); tests cross-check the
// two through round trips.
#include "pack/archive_write.h"

#include <stdio.h>
#include <stddef.h>
#include <string.h>

static void put_u32le(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back((uint8_t)v);
  out->push_back((uint8_t)(v >> 8));
  out->push_back((uint8_t)(v >> 16));
  out->push_back((uint8_t)(v >> 24));
}

static uint32_t get_u32le(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

std::vector<uint8_t> archive_write_bytes(const std::vector<ArchiveFile>& files) {
  uint64_t dir_bytes = 4;
  uint64_t data_bytes = 0;
  for (const ArchiveFile& f : files) {
    if (f.name.find('\0') != std::string::npos) return {};
    dir_bytes += f.name.size() + 1 + 8;
    data_bytes += f.data.size();
  }
  uint64_t archive_bytes = dir_bytes + data_bytes + 8;
  if (archive_bytes > 0xFFFFFFFFu) return {};

  std::vector<uint8_t> out;
  out.reserve((size_t)archive_bytes);
  put_u32le(&out, (uint32_t)files.size());
  // Data follows the directory in the same order; an entry at distance d
  // from the start of the archive lies archive_bytes - d before the end.
  uint64_t data_pos = dir_bytes;
  for (const ArchiveFile& f : files) {
    out.insert(out.end(), f.name.begin(), f.name.end());
    out.push_back(0);
    put_u32le(&out, (uint32_t)f.data.size());
    put_u32le(&out, (uint32_t)(archive_bytes - data_pos));
    data_pos += f.data.size();
  }
  for (const ArchiveFile& f : files) out.insert(out.end(), f.data.begin(), f.data.end());
  put_u32le(&out, (uint32_t)archive_bytes);
  out.insert(out.end(), {'j', 'v', 'q', 'P'});
  return out;
}

int archive_write_file(const char* path, const std::vector<ArchiveFile>& files) {
  std::vector<uint8_t> bytes = archive_write_bytes(files);
  if (bytes.empty()) return 0;
  FILE* f = fopen(path, "wb");
  if (!f) return 0;
  int ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (fclose(f) != 0) ok = 0;
  return ok;
}

int archive_read_bytes(const std::vector<uint8_t>& bytes, std::vector<ArchiveFile>* files_out) {
  files_out->clear();
  size_t end = bytes.size();
  if (end < 12 || memcmp(&bytes[end - 4], "jvqP", 4) != 0) return 0;
  uint32_t archive_bytes = get_u32le(&bytes[end - 8]);
  if (archive_bytes < 12 || archive_bytes > end) return 0;
  size_t pos = end - archive_bytes;
  size_t dir_end = end - 8;
  uint32_t count = get_u32le(&bytes[pos]);
  pos += 4;
  if (count > (dir_end - pos) / 9) return 0;
  std::vector<ArchiveFile> files;
  for (uint32_t i = 0; i < count; i++) {
    const void* nul = memchr(&bytes[pos], 0, dir_end - pos);
    if (!nul) return 0;
    size_t name_end = (size_t)((const uint8_t*)nul - bytes.data());
    ArchiveFile f;
    f.name.assign((const char*)&bytes[pos], name_end - pos);
    pos = name_end + 1;
    if (dir_end - pos < 8) return 0;
    uint32_t size = get_u32le(&bytes[pos]);
    uint32_t offset = get_u32le(&bytes[pos + 4]);
    pos += 8;
    if (offset > end || size > offset) return 0;
    f.data.assign(bytes.begin() + (ptrdiff_t)(end - offset),
                  bytes.begin() + (ptrdiff_t)(end - offset + size));
    files.push_back(std::move(f));
  }
  *files_out = std::move(files);
  return 1;
}

int archive_read_file_bytes(const char* path, std::vector<uint8_t>* bytes_out) {
  bytes_out->clear();
  FILE* f = fopen(path, "rb");
  if (!f) return 0;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes_out->insert(bytes_out->end(), chunk, chunk + n);
  int ok = !ferror(f);
  fclose(f);
  return ok;
}
