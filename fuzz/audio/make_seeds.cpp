// Writes the music_table_fuzz seeds: a table shaped like the shipped one
// (CR LF rows of id, start, length, lead, advance), and tables at the edges
// the parser must take or skip (signs, blanks, no final line end, values at
// and past the 32-bit range, rows outside the stream).
#include <stdio.h>

#include <string>

static int write(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  int ok = fwrite(text.data(), 1, text.size(), f) == text.size();
  return fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string dir = argv[1];
  std::string shipped;
  int start = 0;
  for (int id = 1; id <= 12; ++id) {
    int length = 1500 + 250 * (id % 5);
    shipped += std::to_string(id) + " " + std::to_string(start) + " " + std::to_string(length) +
               " " + std::to_string(33 * id) + " " + std::to_string(1200 + 100 * (id % 3)) + "\r\n";
    start += length;
  }
  int ok = write(dir + "/shipped_shape.txt", shipped) &&
           write(dir + "/edges.txt",
                 "1 96 173691 33 146621\r\n\r\n  2 -5 120967 461 73310\r\n3 4 5 6\r\nx\r\n"
                 "2 1 1 1 1\n4 29990 10 0 1000\n5 0 29999 -40000 -1\r\n"
                 "6 2147483647 2147483647 2147483647 2147483647\n"
                 "7 -2147483648 1 0 0\n8 0 2147483648 0 0\n+9 +0 +100 0x10 10\n"
                 "10 0 30000 0 4294967295") &&
           write(dir + "/one_row.txt", "1 0 10 0 10") && write(dir + "/empty.txt", "");
  return ok ? 0 : 1;
}
