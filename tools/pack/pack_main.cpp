// vantrel-pack: builds, lists, unpacks and appends packed archives.
//   vantrel-pack create OUT FILE...     entries in the order given, named by base name
//   vantrel-pack list ARCHIVE           one "size name" line per entry
//   vantrel-pack extract ARCHIVE DIR    every entry into DIR (which must exist)
//   vantrel-pack append EXE ARCHIVE     appends ARCHIVE to the end of EXE
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "pack/archive_write.h"

static int usage(void) {
  fprintf(stderr,
          "usage: vantrel-pack create OUT FILE...\n"
          "       vantrel-pack list ARCHIVE\n"
          "       vantrel-pack extract ARCHIVE DIR\n"
          "       vantrel-pack append EXE ARCHIVE\n");
  return 2;
}

static std::string base_name(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Entry names become file names on extract: refuse anything that could
// climb out of the target directory.
static int name_is_plain(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

static int pack_create(const char* out, int count, char** paths) {
  std::vector<ArchiveFile> files;
  for (int i = 0; i < count; i++) {
    ArchiveFile f;
    f.name = base_name(paths[i]);
    if (!name_is_plain(f.name)) {
      fprintf(stderr, "vantrel-pack: bad entry name from %s\n", paths[i]);
      return 1;
    }
    if (!archive_read_file_bytes(paths[i], &f.data)) {
      fprintf(stderr, "vantrel-pack: cannot read %s\n", paths[i]);
      return 1;
    }
    files.push_back(std::move(f));
  }
  if (!archive_write_file(out, files)) {
    fprintf(stderr, "vantrel-pack: cannot write %s\n", out);
    return 1;
  }
  return 0;
}

static int load_archive(const char* path, std::vector<ArchiveFile>* files) {
  std::vector<uint8_t> bytes;
  if (!archive_read_file_bytes(path, &bytes)) {
    fprintf(stderr, "vantrel-pack: cannot read %s\n", path);
    return 0;
  }
  if (!archive_read_bytes(bytes, files)) {
    fprintf(stderr, "vantrel-pack: %s is not a packed archive\n", path);
    return 0;
  }
  return 1;
}

static int pack_list(const char* path) {
  std::vector<ArchiveFile> files;
  if (!load_archive(path, &files)) return 1;
  for (const ArchiveFile& f : files) printf("%10zu %s\n", f.data.size(), f.name.c_str());
  return 0;
}

static int pack_extract(const char* path, const char* dir) {
  std::vector<ArchiveFile> files;
  if (!load_archive(path, &files)) return 1;
  for (const ArchiveFile& f : files) {
    if (!name_is_plain(f.name)) {
      fprintf(stderr, "vantrel-pack: skipping unsafe name \"%s\"\n", f.name.c_str());
      continue;
    }
    std::string out = std::string(dir) + "/" + f.name;
    FILE* file = fopen(out.c_str(), "wb");
    // An empty entry's data() may be null, which fwrite must not get.
    int ok = file && (f.data.empty() || fwrite(f.data.data(), 1, f.data.size(), file) == f.data.size());
    if (file && fclose(file) != 0) ok = 0;
    if (!ok) {
      fprintf(stderr, "vantrel-pack: cannot write %s\n", out.c_str());
      return 1;
    }
  }
  return 0;
}

static int pack_append(const char* exe, const char* archive) {
  std::vector<ArchiveFile> files;
  std::vector<uint8_t> bytes;
  if (!archive_read_file_bytes(archive, &bytes) || !archive_read_bytes(bytes, &files)) {
    fprintf(stderr, "vantrel-pack: %s is not a packed archive\n", archive);
    return 1;
  }
  FILE* file = fopen(exe, "ab");
  int ok = file && fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file && fclose(file) != 0) ok = 0;
  if (!ok) {
    fprintf(stderr, "vantrel-pack: cannot append to %s\n", exe);
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const char* command = argv[1];
  if (strcmp(command, "create") == 0 && argc >= 3) return pack_create(argv[2], argc - 3, argv + 3);
  if (strcmp(command, "list") == 0 && argc == 3) return pack_list(argv[2]);
  if (strcmp(command, "extract") == 0 && argc == 4) return pack_extract(argv[2], argv[3]);
  if (strcmp(command, "append") == 0 && argc == 4) return pack_append(argv[2], argv[3]);
  return usage();
}
