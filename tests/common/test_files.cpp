// Whole-file helpers and scratch folders for the tests (see test_files.h).
// Plain stdio so binary files round-trip byte for byte.
#include "common/test_files.h"

#include <stdio.h>
#include <stdlib.h>

#include "common/test_run.h"

std::string test_read_file(const std::string& path) {
  std::string data;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return data;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  fclose(f);
  return data;
}

std::vector<uint8_t> test_read_bytes(const std::string& path) {
  std::string data = test_read_file(path);
  return std::vector<uint8_t>(data.begin(), data.end());
}

int test_write_file(const std::string& path, const void* data, size_t bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  size_t n = bytes ? fwrite(data, 1, bytes, f) : 0;
  return fclose(f) == 0 && n == bytes;
}

int test_write_file(const std::string& path, const std::string& text) {
  return test_write_file(path, text.data(), text.size());
}

int test_write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  return test_write_file(path, bytes.data(), bytes.size());
}

std::string test_temp_dir(const char* prefix) {
  std::string path = std::string("/tmp/") + prefix + "XXXXXX";
  std::vector<char> tmpl(path.begin(), path.end());
  tmpl.push_back('\0');
  return mkdtemp(tmpl.data()) ? std::string(tmpl.data()) : std::string();
}

int test_remove_dir(const std::string& dir) {
  if (dir.empty()) return 0;
  // Never more than a scratch folder, whatever a broken fixture passes in.
  if (dir.rfind("/tmp/", 0) != 0 || dir.find('\'') != std::string::npos) return -1;
  return test_run("rm -rf '" + dir + "'");
}
