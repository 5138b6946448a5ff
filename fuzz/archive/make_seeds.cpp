// Writes the archive_fuzz seed corpus: small well-formed archives (empty, one
// entry, several, appended behind other bytes) for the fuzzer to mutate.
#include <stdio.h>

#include <string>
#include <vector>

#include "pack/archive_write.h"

static int write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  int ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string dir = argv[1];
  std::vector<uint8_t> text = {'1', ' ', '9', '6', '\r', '\n'};
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
  std::vector<ArchiveFile> several = {{"avatar.png", png}, {"empty", {}}, {"merged_data.txt", text},
                                      {"R01.PNG", std::vector<uint8_t>(300, 0xAB)}};
  std::vector<uint8_t> appended = {'M', 'Z', 0, 0, 'j', 'v', 'q', 'P'};
  std::vector<uint8_t> tail = archive_write_bytes(several);
  appended.insert(appended.end(), tail.begin(), tail.end());
  int ok = write(dir + "/empty.dat", archive_write_bytes({})) &&
           write(dir + "/one.dat", archive_write_bytes({{"ab", {'h', 'i'}}})) &&
           write(dir + "/several.dat", tail) && write(dir + "/appended.dat", appended);
  return ok ? 0 : 1;
}
