// vantrel-docs: the man page and the README's options-and-keys section,
// written from the same table that vantrel --help prints.
//   vantrel-docs --man OUT.6
//   vantrel-docs --readme-check README.md    exit 1 when the section differs
//   vantrel-docs --readme-update README.md   rewrites the section in place
// The README section lies between the lines README_BEGIN and README_END.
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/usage.h"

namespace {

const char* const README_BEGIN =
    "<!-- options and keys: made by vantrel-docs from src/platform/usage.cpp, edit them there -->\n";
const char* const README_END = "<!-- end of options and keys -->\n";

// roff: backslashes escaped, the multiplication sign named, and a line never
// starting with a control character. In names (options, files) a '-' is the
// minus sign typed on the command line; in sentences it stays a hyphen.
std::string roff(const std::string& text, int name = 0) {
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    char c = text[i];
    if (c == '\\') out += "\\\\";
    else if (c == '-' && name) out += "\\-";
    else if (text.compare(i, 2, "\xC3\x97") == 0) out += "\\(mu", i++;
    else out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

std::string roff_entries(const UsageEntry* entries, int count, const char* font) {
  std::string out;
  for (int i = 0; i < count; i++)
    out += std::string(".TP\n") + font + " " + roff(entries[i].name, 1) + "\n" + roff(entries[i].text) + ".\n";
  return out;
}

std::string man_page(void) {
  std::string version = usage_version();
  std::string out;
  out += ".TH VANTREL 6 \"\" \"vantrel " + version + "\" \"Games\"\n";
  out += ".SH NAME\nvantrel \\- " + roff(USAGE_TAGLINE) + "\n";
  out += ".SH SYNOPSIS\n.B vantrel\n[\\fIoption\\fR ...]\n";
  out += ".SH DESCRIPTION\nVantrel is " + roff(USAGE_SUMMARY) + ".\n";
  out += "The player walks a stick figure of boiling noise through 39 rooms, "
         "to music assembled at run time.\n";
  out += "The position is saved at every room change and offered as \"continue\" on the next start.\n";
  out += ".SH OPTIONS\nOptions are plain words, found anywhere on the command line.\n";
  out += roff_entries(USAGE_OPTIONS, USAGE_OPTION_COUNT, ".B");
  out += ".SH KEYS\n" + roff_entries(USAGE_KEYS, USAGE_KEY_COUNT, ".B");
  out += ".SH FILES\n" + roff_entries(USAGE_FILES, USAGE_FILE_COUNT, ".I");
  out += ".SH WARNING\n" + roff(USAGE_WARNING) + "\n";
  return out;
}

// Markdown table cells: a pipe would end the cell.
std::string cell(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '|' ? std::string("\\|") : std::string(1, c);
  return out;
}

std::string readme_section(void) {
  std::string out = README_BEGIN;
  out += "| Key | Action |\n|---|---|\n";
  for (int i = 0; i < USAGE_KEY_COUNT; i++)
    out += "| " + cell(USAGE_KEYS[i].name) + " | " + cell(USAGE_KEYS[i].text) + " |\n";
  out += "\n| Option | What it does |\n|---|---|\n";
  for (int i = 0; i < USAGE_OPTION_COUNT; i++)
    out += "| `" + cell(USAGE_OPTIONS[i].name) + "` | " + cell(USAGE_OPTIONS[i].text) + " |\n";
  out += README_END;
  return out;
}

int read_text(const char* path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  std::stringstream s;
  s << in.rdbuf();
  *text = s.str();
  return 1;
}

int write_text(const char* path, const std::string& text) {
  FILE* f = fopen(path, "wb");
  int ok = f && fwrite(text.data(), 1, text.size(), f) == text.size();
  if (f) ok &= fclose(f) == 0;
  if (!ok) fprintf(stderr, "vantrel-docs: cannot write %s\n", path);
  return ok;
}

int readme(const char* path, int update) {
  std::string text;
  if (!read_text(path, &text)) {
    fprintf(stderr, "vantrel-docs: cannot read %s\n", path);
    return 1;
  }
  size_t begin = text.find(README_BEGIN);
  size_t end = begin == std::string::npos ? begin : text.find(README_END, begin);
  if (end == std::string::npos) {
    fprintf(stderr, "vantrel-docs: %s has no section between\n%s%s", path, README_BEGIN, README_END);
    return 1;
  }
  end += strlen(README_END);
  std::string wanted = readme_section();
  if (text.compare(begin, end - begin, wanted) == 0) return 0;
  if (update) return write_text(path, text.substr(0, begin) + wanted + text.substr(end)) ? 0 : 1;
  fprintf(stderr,
          "vantrel-docs: the options and keys in %s differ from src/platform/usage.cpp; "
          "run vantrel-docs --readme-update %s. They should read:\n%s",
          path, path, wanted.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "--man") == 0) return write_text(argv[2], man_page()) ? 0 : 1;
  if (argc == 3 && strcmp(argv[1], "--readme-check") == 0) return readme(argv[2], 0);
  if (argc == 3 && strcmp(argv[1], "--readme-update") == 0) return readme(argv[2], 1);
  fprintf(stderr, "usage: vantrel-docs --man OUT.6 | --readme-check README.md | --readme-update README.md\n");
  return 2;
}
