// Packed archive: the vantrel-pack tool, archives glued to other files,
// non-ASCII paths, and every way a damaged or hostile archive must be refused
// whole.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/game_state.h"
#include "common/test_platform.h"
#include "pack/archive_write.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> bytes_of(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<ArchiveFile> sample_files() {
  std::vector<uint8_t> big(70000);
  for (size_t i = 0; i < big.size(); i++) big[i] = (uint8_t)(i * 7 + (i >> 8));
  return {
      {"avatar.png", bytes_of("not really a png")},
      {"empty.txt", {}},
      {"r01.png", big},
      {"merged_data.txt", bytes_of("1 96 173691 33 146621\r\n")},
  };
}

void write_file(const fs::path& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  if (!bytes.empty()) {
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  }
  fclose(f);
}

void put_u32le(std::vector<uint8_t>* v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; i++) (*v)[at + i] = (uint8_t)(x >> (8 * i));
}

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_platform_reset();
    archive_close_all();
    g_game.cheats_enabled = 0;
    char tmpl[] = "/tmp/vantrel_archive_XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    dir = tmpl;
    old_cwd = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(old_cwd);
    archive_close_all();
    g_game.cheats_enabled = 0;
    fs::remove_all(dir);
  }

  // Opens bytes written to a file; expects refusal to add nothing.
  int open_bytes(const std::vector<uint8_t>& bytes, const char* name = "a.dat") {
    fs::path p = dir / name;
    write_file(p, bytes);
    return archive_open(p.c_str());
  }

  void expect_entries(const std::vector<ArchiveFile>& files, int first = 0) {
    for (size_t i = 0; i < files.size(); i++) {
      const ArchiveEntry* e = archive_entry(first + (int)i);
      ASSERT_TRUE(e);
      EXPECT_STREQ(e->name, files[i].name.c_str());
      ASSERT_EQ(e->size, (int32_t)files[i].data.size());
      // An empty vector's data() may be null, which memcmp must not get.
      if (!files[i].data.empty()) {
        EXPECT_EQ(0, memcmp(e->data, files[i].data.data(), files[i].data.size()));
      }
    }
  }

  fs::path dir;
  fs::path old_cwd;
};

// The archive opens glued behind anything (even bytes that look like a
// trailer), and from a folder whose name is not ASCII: it used to be opened
// with the narrow name only, which Windows cannot spell.
TEST_F(ArchiveTest, AppendedToAnotherFileOrUnderANonAsciiNameOpensIdentically) {
  std::vector<ArchiveFile> files = sample_files();
  std::vector<uint8_t> archive = archive_write_bytes(files);
  std::vector<uint8_t> glued = bytes_of("\x7f" "ELF pretend executable jvqP jvqP");
  glued.resize(5000, 0xCC);
  glued.insert(glued.end(), archive.begin(), archive.end());
  ASSERT_EQ(1, open_bytes(glued, "game.exe"));
  ASSERT_EQ(1, open_bytes(archive, "sp\xc3\xa4t \xe6\x97\xa5 \xf0\x9f\x8e\xae.dat"));
  ASSERT_EQ(8, archive_entry_count());
  expect_entries(files);
  expect_entries(files, 4);
}

// Regression: a directory or entry running past the end of the file used to be
// read as found (garbage names, huge allocations). Now it is refused whole.
TEST_F(ArchiveTest, TruncatedArchivesAreRefusedWhole) {
  ASSERT_EQ(1, open_bytes(archive_write_bytes({{"keep.txt", bytes_of("kept")}}), "keep.dat"));
  std::vector<uint8_t> bytes = archive_write_bytes(sample_files());
  // Losing bytes at the front moves "end - archive length" before the file.
  for (size_t cut : {1ul, 3ul, 20ul, 1000ul, bytes.size() - 13, bytes.size() - 12}) {
    std::vector<uint8_t> tail(bytes.begin() + (ptrdiff_t)cut, bytes.end());
    EXPECT_EQ(0, open_bytes(tail)) << "cut " << cut;
    EXPECT_EQ(1, archive_entry_count());
  }
  // Losing bytes at the end loses the trailer.
  for (size_t keep : {0ul, 7ul, 12ul, bytes.size() - 1}) {
    std::vector<uint8_t> head(bytes.begin(), bytes.begin() + (ptrdiff_t)keep);
    EXPECT_EQ(0, open_bytes(head)) << "keep " << keep;
  }
  EXPECT_EQ(1, archive_entry_count());
  EXPECT_NE(nullptr, archive_find("keep.txt", nullptr));
}

TEST_F(ArchiveTest, HostileDirectoriesAreRefusedWhole) {
  // Layout of a one-entry archive "ab": count(4) "ab\0"(3) size(4) offset(4)
  // data(5) archive_length(4) "jvqP"(4) = 28 bytes.
  const std::vector<uint8_t> good = archive_write_bytes({{"ab", bytes_of("hello")}});
  ASSERT_EQ(good.size(), 28u);
  ASSERT_EQ(1, open_bytes(good));
  archive_close_all();

  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
  } cases[] = {
      {"entry count far beyond the directory", 0, 0xFFFFFFFFu},
      {"entry count one too many", 0, 2},
      {"size running past the end of the file by one byte", 7, 14},
      {"size past the end of the file", 7, 0x7FFFFFFFu},
      {"size with the sign bit set", 7, 0x80000000u},
      {"offset before the start of the file", 11, 29},
      {"offset far outside the file", 11, 0xFFFFFFF0u},
      {"archive length larger than the file", 20, 29},
      {"archive length too small for a count", 20, 11},
      {"archive length zero", 20, 0},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    put_u32le(&bad, c.at, c.value);
    EXPECT_EQ(0, open_bytes(bad)) << c.what;
    EXPECT_EQ(0, archive_entry_count()) << c.what;
  }

  // A name whose NUL is missing: the name runs to the trailer.
  std::vector<uint8_t> body = {1, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};
  std::vector<uint8_t> hostile = body;
  uint32_t len = (uint32_t)body.size() + 8;
  hostile.insert(hostile.end(), {(uint8_t)len, 0, 0, 0, 'j', 'v', 'q', 'P'});
  EXPECT_EQ(0, open_bytes(hostile));
  EXPECT_EQ(0, archive_entry_count());

  // The data may lie anywhere inside the file, even over the directory.
  std::vector<uint8_t> overlap = good;
  put_u32le(&overlap, 11, 28);  // data = the first 5 bytes of the file
  put_u32le(&overlap, 7, 5);
  ASSERT_EQ(1, open_bytes(overlap));
  int size = 0;
  const uint8_t* d = archive_find("ab", &size);
  ASSERT_TRUE(d);
  EXPECT_EQ(0, memcmp(d, overlap.data(), 5));
}

TEST_F(ArchiveTest, PackerToolCreatesAndAppends) {
  std::vector<ArchiveFile> files = sample_files();
  fs::create_directory(dir / "in");
  std::string args;
  for (const ArchiveFile& f : files) {
    write_file(dir / "in" / f.name, f.data);
    args += ' ';
    args += (dir / "in" / f.name).string();
  }
  std::string pack = VANTREL_PACK_PATH;
  fs::path out = dir / "packed.dat";
  ASSERT_EQ(0, system((pack + " create " + out.string() + args).c_str()));
  // The tool and the library lay the archive out byte for byte alike.
  std::vector<uint8_t> made;
  ASSERT_EQ(1, archive_read_file_bytes(out.c_str(), &made));
  EXPECT_EQ(made, archive_write_bytes(files));

  fs::path exe = dir / "game.exe";
  write_file(exe, bytes_of("MZ pretend executable"));
  ASSERT_EQ(0, system((pack + " append " + exe.string() + " " + out.string()).c_str()));
  ASSERT_EQ(1, archive_open(exe.c_str()));
  expect_entries(files);

  // Junk is neither listed nor appended.
  write_file(dir / "junk", bytes_of("no archive here"));
  EXPECT_NE(0, system((pack + " list " + (dir / "junk").string() + " 2>/dev/null").c_str()));
  EXPECT_NE(0, system((pack + " append " + exe.string() + " " + (dir / "junk").string() + " 2>/dev/null").c_str()));
}

}  // namespace
