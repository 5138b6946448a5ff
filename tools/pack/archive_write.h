// Writing (and, for the packer's own list/extract, reading) packed archives.
// The asset generator builds packed.dat through this too, so the layout lives
// in one place: a directory (entry count; per entry the NUL-terminated name,
// size, offset), then every entry's bytes in directory order, then the
// trailer (archive length, "jvqP"). Offsets count back from the end of file.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct ArchiveFile {
  std::string name;           // plain ASCII file name, no directories, no NUL
  std::vector<uint8_t> data;
};

// The archive bytes for files, in the order given. Empty on a name that holds
// a NUL or an archive that would not fit the 32-bit fields.
std::vector<uint8_t> archive_write_bytes(const std::vector<ArchiveFile>& files);

// Writes archive_write_bytes(files) to path. Returns 1 on success.
int archive_write_file(const char* path, const std::vector<ArchiveFile>& files);

// Parses an archive held whole in memory (it may sit at the end of any other
// bytes). Returns 1 and fills files_out; 0 when the trailer, directory or any
// entry's data lies outside the bytes.
int archive_read_bytes(const std::vector<uint8_t>& bytes, std::vector<ArchiveFile>* files_out);

// Reads a whole file; 1 on success.
int archive_read_file_bytes(const char* path, std::vector<uint8_t>* bytes_out);
