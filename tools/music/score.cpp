// Score reader. The format is line based: a keyword, then words; "#" starts a
// comment; "name=value" words are options. Blocks of notes may be defined once
// and used in many segments, so shared grooves are written only once.
#include "music/score.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace {

struct Parser {
  Score* score = nullptr;
  std::string file;
  std::string folder;
  int line = 0;
  std::string* error = nullptr;
  std::map<std::string, std::vector<NoteEvent>> blocks;
  // Where notes go: the open segment, piece or block (null at top level).
  std::vector<NoteEvent>* target = nullptr;
  Segment* open_segment = nullptr;
  std::string open_block;
  int depth = 0;  // include nesting
};

int fail(Parser* p, const std::string& message) {
  if (p->error) *p->error = p->file + ":" + std::to_string(p->line) + ": " + message;
  return 0;
}

std::vector<std::string> split_words(const std::string& text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) i++;
    if (i >= text.size() || text[i] == '#') break;
    std::string word;
    if (text[i] == '"') {
      i++;
      while (i < text.size() && text[i] != '"') word += text[i++];
      if (i < text.size()) i++;
    } else {
      // "#" inside a word is a sharp (C#4); only a word starting with it is a comment.
      while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r')
        word += text[i++];
    }
    words.push_back(word);
  }
  return words;
}

// No score value comes near this; anything beyond it is a typo, and keeping
// every number inside it lets ids, frames and loop indexes convert to int.
const double MAX_NUMBER = 1e9;
// Blocks used inside blocks and playlists made of playlists grow geometrically
// with each level; a few lines could otherwise ask for billions of entries.
const size_t MAX_NOTES = 20000;      // per segment, piece or block
const size_t MAX_PLAYLIST_IDS = 20000;

// "3", "-2.5", "1/2", "3/4" -> value; 0 when malformed or out of range.
int parse_number(const std::string& word, double* value_out) {
  if (word.empty()) return 0;
  size_t slash = word.find('/');
  char* end = nullptr;
  double x = 0.0;
  if (slash != std::string::npos) {
    std::string a = word.substr(0, slash), b = word.substr(slash + 1);
    x = std::strtod(a.c_str(), &end);
    if (a.empty() || *end) return 0;
    double y = std::strtod(b.c_str(), &end);
    if (b.empty() || *end || y == 0.0) return 0;
    x /= y;
  } else {
    x = std::strtod(word.c_str(), &end);
    if (*end) return 0;
  }
  if (!std::isfinite(x) || std::fabs(x) > MAX_NUMBER) return 0;
  *value_out = x;
  return 1;
}

// Splits "name=value" options off the end of a command's words.
int take_options(Parser* p, std::vector<std::string>* words,
                 std::map<std::string, double>* options) {
  std::vector<std::string> kept;
  for (const std::string& w : *words) {
    size_t eq = w.find('=');
    if (eq == std::string::npos || eq == 0) {
      kept.push_back(w);
      continue;
    }
    double v = 0.0;
    if (!parse_number(w.substr(eq + 1), &v)) return fail(p, "bad number in '" + w + "'");
    (*options)[w.substr(0, eq)] = v;
  }
  *words = kept;
  return 1;
}

struct ParamName {
  const char* name;
  float Instrument::*field;
};

const ParamName PARAMS[] = {
    {"gain", &Instrument::gain},       {"pan", &Instrument::pan},
    {"width", &Instrument::width},     {"reverb", &Instrument::reverb},
    {"attack", &Instrument::attack},   {"decay", &Instrument::decay},
    {"sustain", &Instrument::sustain}, {"release", &Instrument::release},
    {"cutoff", &Instrument::cutoff},   {"cutoff2", &Instrument::cutoff2},
    {"reso", &Instrument::reso},       {"sweep", &Instrument::sweep},
    {"voices", &Instrument::voices},   {"detune", &Instrument::detune},
    {"sub", &Instrument::sub},         {"drive", &Instrument::drive},
    {"ratio", &Instrument::ratio},     {"index", &Instrument::index},
    {"bright", &Instrument::bright},   {"tremolo", &Instrument::tremolo},
    {"depth", &Instrument::depth},     {"vibrato", &Instrument::vibrato},
    {"punch", &Instrument::punch},
};

const char* KIND_NAMES[INSTRUMENT_KIND_COUNT] = {"pad", "pluck", "bass", "bell", "noise", "kick"};

const char* MODE_NAMES[MODE_COUNT] = {"major",      "minor",    "dorian",    "phrygian", "lydian",
                                      "mixolydian", "harmonic", "wholetone", "chromatic"};

// Scale degrees as a 12-bit mask of pitch classes above the tonic.
const int MODE_MASKS[MODE_COUNT] = {
    0xAB5,  // major: 0 2 4 5 7 9 11
    0x5AD,  // minor: 0 2 3 5 7 8 10
    0x6AD,  // dorian: 0 2 3 5 7 9 10
    0x5AB,  // phrygian: 0 1 3 5 7 8 10
    0xAD5,  // lydian: 0 2 4 6 7 9 11
    0x6B5,  // mixolydian: 0 2 4 5 7 9 10
    0x9AD,  // harmonic minor: 0 2 3 5 7 8 11
    0x555,  // whole tone: 0 2 4 6 8 10
    0xFFF,  // chromatic
};

int find_instrument(const Score& score, const std::string& name) {
  for (size_t i = 0; i < score.instruments.size(); i++)
    if (score.instruments[i].name == name) return (int)i;
  return -1;
}

int parse_instrument(Parser* p, std::vector<std::string> words) {
  // instrument NAME KIND param value param value ...
  if (words.size() < 3) return fail(p, "instrument needs a name and a kind");
  Instrument inst;
  inst.name = words[1];
  if (find_instrument(*p->score, inst.name) >= 0) return fail(p, "instrument defined twice");
  int kind = -1;
  for (int k = 0; k < INSTRUMENT_KIND_COUNT; k++)
    if (words[2] == KIND_NAMES[k]) kind = k;
  if (kind < 0) return fail(p, "unknown instrument kind '" + words[2] + "'");
  inst.kind = (InstrumentKind)kind;
  if ((words.size() - 3) % 2) return fail(p, "instrument parameters come in name/value pairs");
  for (size_t i = 3; i + 1 < words.size(); i += 2) {
    const ParamName* param = nullptr;
    for (const ParamName& pn : PARAMS)
      if (words[i] == pn.name) param = &pn;
    if (!param) return fail(p, "unknown instrument parameter '" + words[i] + "'");
    double v = 0.0;
    if (!parse_number(words[i + 1], &v)) return fail(p, "bad value for " + words[i]);
    inst.*(param->field) = (float)v;
  }
  if (inst.voices < 1.0f || inst.voices > 7.0f) return fail(p, "voices must be 1..7");
  if (inst.attack < 0.0f || inst.decay < 0.0f || inst.release < 0.001f)
    return fail(p, "envelope times must be positive (release at least 0.001)");
  p->score->instruments.push_back(inst);
  return 1;
}

int parse_key(Parser* p, const std::string& value, Segment* seg) {
  // "D:minor"
  size_t colon = value.find(':');
  if (colon == std::string::npos) return fail(p, "key is written tonic:mode, e.g. D:minor");
  int midi = score_note_midi(value.substr(0, colon) + "4");
  if (midi < 0) return fail(p, "bad tonic in key '" + value + "'");
  std::string mode = value.substr(colon + 1);
  for (int m = 0; m < MODE_COUNT; m++)
    if (mode == MODE_NAMES[m]) {
      seg->tonic = midi % 12;
      seg->mode = (ScaleMode)m;
      return 1;
    }
  return fail(p, "unknown mode '" + mode + "'");
}

int parse_segment_header(Parser* p, const std::vector<std::string>& words, bool piece) {
  // segment ID lead=L length=N advance=A key=T:mode list=x room=r wet=w
  if (p->target) return fail(p, "segment inside another segment or block (missing 'end'?)");
  if (words.size() < 2) return fail(p, "segment needs an id");
  Segment seg;
  seg.line = p->line;
  seg.name = words[1];
  if (piece) {
    seg.id = 0;
  } else {
    char* end = nullptr;
    long id = std::strtol(words[1].c_str(), &end, 10);
    if (*end || id < 1 || id > 100000) return fail(p, "segment id must be a positive number");
    seg.id = (int)id;
    if (score_find_segment(*p->score, seg.id)) return fail(p, "segment " + words[1] + " twice");
  }
  bool have_key = false;
  for (size_t i = 2; i < words.size(); i++) {
    size_t eq = words[i].find('=');
    if (eq == std::string::npos) return fail(p, "segment options are name=value");
    std::string name = words[i].substr(0, eq), value = words[i].substr(eq + 1);
    double v = 0.0;
    if (name == "key") {
      if (!parse_key(p, value, &seg)) return 0;
      have_key = true;
    } else if (name == "list") {
      seg.list = value;
    } else if (!parse_number(value, &v)) {
      return fail(p, "bad number in '" + words[i] + "'");
    } else if (name == "lead") {
      seg.lead = (int)v;
    } else if (name == "length") {
      seg.length = (int)v;
    } else if (name == "advance") {
      seg.advance = (int)v;
    } else if (name == "room") {
      seg.room = (float)v;
    } else if (name == "wet") {
      seg.wet = (float)v;
    } else {
      return fail(p, "unknown segment option '" + name + "'");
    }
  }
  if (!have_key) return fail(p, "segment needs key=");
  if (seg.lead < 0 || seg.length <= seg.lead || seg.length > 40 * p->score->rate)
    return fail(p, "segment needs lead >= 0 and a length beyond it (at most 40 s)");
  if (piece) {
    if (p->score->has_title) return fail(p, "only one title piece");
    if (seg.advance <= 0) seg.advance = seg.length - seg.lead;
    p->score->title = seg;
    p->score->has_title = true;
    p->open_segment = &p->score->title;
  } else {
    if (seg.advance <= 0) return fail(p, "segment needs advance=");
    // The open segment is held by pointer, so the vector must never grow past its reserve.
    if (p->score->segments.size() >= 256) return fail(p, "at most 256 segments");
    p->score->segments.push_back(seg);
    p->open_segment = &p->score->segments.back();
  }
  p->target = &p->open_segment->notes;
  return 1;
}

int add_note(Parser* p, int inst, double at, double length, const std::string& name, float vel) {
  int midi = score_note_midi(name);
  if (midi < 0) return fail(p, "bad note '" + name + "'");
  if (vel <= 0.0f || vel > 1.5f) return fail(p, "velocity out of range");
  if (p->target->size() >= MAX_NOTES) return fail(p, "too many notes");
  NoteEvent e;
  e.instrument = inst;
  e.at = at;
  e.length = length;
  e.midi = midi;
  e.freq = (float)(440.0 * std::pow(2.0, (midi - 69) / 12.0));
  e.vel = vel;
  p->target->push_back(e);
  return 1;
}

// hold INST AT LENGTH NOTE... | arp INST AT STEP PATTERN NOTE... | line INST AT STEP TOKEN...
int parse_notes(Parser* p, std::vector<std::string> words) {
  std::map<std::string, double> opt;
  if (!take_options(p, &words, &opt)) return 0;
  for (const auto& kv : opt)
    if (kv.first != "vel" && kv.first != "gate") return fail(p, "unknown option " + kv.first);
  float vel = opt.count("vel") ? (float)opt["vel"] : 0.8f;
  double gate = opt.count("gate") ? opt["gate"] : 1.0;
  if (words.size() < 5) return fail(p, words[0] + " needs an instrument, a time, a length and notes");
  int inst = find_instrument(*p->score, words[1]);
  if (inst < 0) return fail(p, "unknown instrument '" + words[1] + "'");
  double at = 0.0, step = 0.0;
  if (!parse_number(words[2], &at) || !parse_number(words[3], &step) || step <= 0.0)
    return fail(p, "bad time or length");
  if (words[0] == "hold") {
    for (size_t i = 4; i < words.size(); i++)
      if (!add_note(p, inst, at, step, words[i], vel)) return 0;
    return 1;
  }
  if (words[0] == "arp") {
    // Pattern: one character per step. 0-9 play that note of the list, x plays
    // the first softly and X plays it full, * plays every note (a chord), '-'
    // holds the previous step, '.' rests.
    const std::string& pattern = words[4];
    std::vector<std::string> notes(words.begin() + 5, words.end());
    if (notes.empty()) return fail(p, "arp needs notes after the pattern");
    for (size_t i = 0; i < pattern.size(); i++) {
      char c = pattern[i];
      if (c == '.' || c == '-') continue;
      int index = 0;
      float v = vel;
      int count = 1;
      if (c >= '0' && c <= '9') index = c - '0';
      else if (c == 'x') v = vel * 0.6f;
      else if (c == '*') count = (int)notes.size();
      else if (c != 'X') return fail(p, std::string("bad pattern character '") + c + "'");
      if (index >= (int)notes.size()) return fail(p, "pattern uses a note beyond the list");
      size_t held = 1;
      while (i + held < pattern.size() && pattern[i + held] == '-') held++;
      for (int k = index; k < index + count; k++)
        if (!add_note(p, inst, at + step * (double)i, step * ((double)held - 1.0 + gate),
                      notes[k], v))
          return 0;
    }
    return 1;
  }
  // line: a melody, one token per step.
  for (size_t i = 4; i < words.size(); i++) {
    const std::string& t = words[i];
    if (t == "." || t == "-") continue;
    size_t held = 1;
    while (i + held < words.size() && words[i + held] == "-") held++;
    if (!add_note(p, inst, at + step * (double)(i - 4), step * ((double)held - 1.0 + gate), t, vel))
      return 0;
  }
  return 1;
}

int parse_use(Parser* p, std::vector<std::string> words) {
  std::map<std::string, double> opt;
  if (!take_options(p, &words, &opt)) return 0;
  if (words.size() != 2) return fail(p, "use takes one block name");
  auto it = p->blocks.find(words[1]);
  if (it == p->blocks.end()) return fail(p, "unknown block '" + words[1] + "'");
  double shift = opt.count("at") ? opt["at"] : 0.0;
  int transpose = opt.count("transpose") ? (int)opt["transpose"] : 0;
  if (it->second.size() > MAX_NOTES - p->target->size()) return fail(p, "too many notes");
  for (NoteEvent e : it->second) {
    e.at += shift;
    if (transpose) {
      e.midi += transpose;
      if (e.midi < 0 || e.midi > 127) return fail(p, "transpose takes a note out of range");
      e.freq *= (float)std::pow(2.0, transpose / 12.0);
    }
    p->target->push_back(e);
  }
  return 1;
}

int parse_playlist(Parser* p, std::vector<std::string> words) {
  std::map<std::string, double> opt;
  if (!take_options(p, &words, &opt)) return 0;
  if (words.size() < 3) return fail(p, "playlist needs a name and ids");
  Playlist list;
  list.name = words[1];
  list.loop = opt.count("loop") ? (int)opt["loop"] : 0;
  for (size_t i = 2; i < words.size(); i++) {
    // "@name" appends another playlist, "@name:6" from index 6, "@name:6:13" indexes 6..13.
    if (words[i][0] == '@') {
      std::string ref = words[i].substr(1);
      int from = 0, to = -1;
      size_t c1 = ref.find(':');
      if (c1 != std::string::npos) {
        std::string rest = ref.substr(c1 + 1);
        ref = ref.substr(0, c1);
        size_t c2 = rest.find(':');
        from = std::atoi(rest.substr(0, c2).c_str());
        if (c2 != std::string::npos) to = std::atoi(rest.substr(c2 + 1).c_str());
      }
      const Playlist* other = score_find_playlist(*p->score, ref);
      if (!other) return fail(p, "unknown playlist '" + ref + "'");
      if (to < 0) to = (int)other->ids.size() - 1;
      if (from < 0 || to >= (int)other->ids.size() || from > to) return fail(p, "bad range");
      if ((size_t)(to - from + 1) > MAX_PLAYLIST_IDS - list.ids.size())
        return fail(p, "playlist too long");
      for (int k = from; k <= to; k++) list.ids.push_back(other->ids[k]);
      continue;
    }
    char* end = nullptr;
    long id = std::strtol(words[i].c_str(), &end, 10);
    if (*end || id < 1 || id > 100000) return fail(p, "bad id '" + words[i] + "'");
    if (list.ids.size() >= MAX_PLAYLIST_IDS) return fail(p, "playlist too long");
    list.ids.push_back((int)id);
  }
  if (list.loop < 0 || list.loop >= (int)list.ids.size()) return fail(p, "loop index outside list");
  p->score->playlists.push_back(list);
  return 1;
}

int parse_global(Parser* p, const std::vector<std::string>& words) {
  double v = 0.0;
  if (words.size() != 2 || !parse_number(words[1], &v)) return fail(p, words[0] + " takes a number");
  if (words[0] == "unit") p->score->unit = v;
  else if (words[0] == "loudness") p->score->loudness = (float)v;
  else if (words[0] == "ceiling") p->score->ceiling = (float)v;
  else if (words[0] == "quality") p->score->quality = (float)v;
  if (p->score->unit < 100.0 || p->score->ceiling > 0.0f || p->score->quality < -0.1f ||
      p->score->quality > 1.0f)
    return fail(p, "value out of range");
  return 1;
}

int parse_text(Parser* p, const std::string& text);

int parse_include(Parser* p, const std::vector<std::string>& words) {
  if (words.size() != 2) return fail(p, "include takes a file name");
  // The open would stop at a NUL byte, and so would every message naming the file.
  if (words[1].find('\0') != std::string::npos) return fail(p, "include: bad file name");
  if (p->depth > 8) return fail(p, "includes nested too deeply");
  std::string path = p->folder + "/" + words[1];
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(p, "cannot read " + path);
  std::stringstream ss;
  ss << in.rdbuf();
  Parser child = *p;
  child.file = words[1];
  child.line = 0;
  child.depth = p->depth + 1;
  if (!parse_text(&child, ss.str())) return 0;
  if (child.target) {
    p->line = child.line;
    p->file = child.file;
    return fail(p, "file ends inside a segment or block");
  }
  p->blocks = child.blocks;
  return 1;
}

int parse_line(Parser* p, std::vector<std::string> words) {
  const std::string& k = words[0];
  if (k == "end") {
    if (!p->target) return fail(p, "'end' without a segment or block");
    if (!p->open_block.empty()) {
      p->blocks[p->open_block] = *p->target;
      delete p->target;
      p->open_block.clear();
    }
    p->target = nullptr;
    p->open_segment = nullptr;
    return 1;
  }
  if (k == "hold" || k == "arp" || k == "line") {
    if (!p->target) return fail(p, k + " outside a segment or block");
    return parse_notes(p, words);
  }
  if (k == "use") {
    if (!p->target) return fail(p, "use outside a segment or block");
    return parse_use(p, words);
  }
  if (p->target) return fail(p, "'" + k + "' inside a segment or block (missing 'end'?)");
  if (k == "segment") return parse_segment_header(p, words, false);
  if (k == "piece") {
    if (words.size() < 2 || words[1] != "title") return fail(p, "the only piece is 'piece title'");
    return parse_segment_header(p, words, true);
  }
  if (k == "block") {
    if (words.size() != 2) return fail(p, "block takes a name");
    if (p->blocks.count(words[1])) return fail(p, "block defined twice");
    p->open_block = words[1];
    p->target = new std::vector<NoteEvent>();
    return 1;
  }
  if (k == "instrument") return parse_instrument(p, words);
  if (k == "playlist") return parse_playlist(p, words);
  if (k == "include") return parse_include(p, words);
  if (k == "unit" || k == "loudness" || k == "ceiling" || k == "quality")
    return parse_global(p, words);
  return fail(p, "unknown keyword '" + k + "'");
}

int parse_text(Parser* p, const std::string& text) {
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    p->line++;
    std::vector<std::string> words = split_words(text.substr(pos, nl - pos));
    pos = nl + 1;
    if (!words.empty() && !parse_line(p, words)) {
      if (!p->open_block.empty()) {
        delete p->target;
        p->open_block.clear();
      }
      p->target = nullptr;
      return 0;
    }
  }
  return 1;
}

}  // namespace

int score_note_midi(const std::string& token) {
  static const int LETTER_PC[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  if (token.size() < 2 || token[0] < 'A' || token[0] > 'G') return -1;
  int pc = LETTER_PC[token[0] - 'A'];
  size_t i = 1;
  if (token[i] == '#') pc++, i++;
  else if (token[i] == 'b') pc--, i++;
  if (i >= token.size()) return -1;
  int octave = 0;
  for (; i < token.size(); i++) {
    if (token[i] < '0' || token[i] > '9') return -1;
    octave = octave * 10 + (token[i] - '0');
    if (octave > 9) return -1;
  }
  return 12 * (octave + 1) + pc;
}

int score_note_in_key(const Segment& segment, int midi) {
  int degree = ((midi - segment.tonic) % 12 + 12) % 12;
  return (MODE_MASKS[segment.mode] >> degree) & 1;
}

const Segment* score_find_segment(const Score& score, int id) {
  for (const Segment& s : score.segments)
    if (s.id == id) return &s;
  return nullptr;
}

const Playlist* score_find_playlist(const Score& score, const std::string& name) {
  for (const Playlist& l : score.playlists)
    if (l.name == name) return &l;
  return nullptr;
}

const char* score_mode_name(ScaleMode mode) { return MODE_NAMES[mode]; }

int score_parse_text(const std::string& text, const std::string& name, const std::string& folder,
                     Score* score, std::string* error_out) {
  // Segments are appended while parsing; reserve so pointers into the vector stay put.
  score->segments.reserve(256);
  Parser p;
  p.score = score;
  p.file = name;
  p.folder = folder;
  p.error = error_out;
  if (!parse_text(&p, text)) return 0;
  if (p.target) {
    if (!p.open_block.empty()) delete p.target;
    return fail(&p, "file ends inside a segment or block");
  }
  return 1;
}

int score_load(const std::string& path, Score* score, std::string* error_out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error_out) *error_out = "cannot read " + path;
    return 0;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return score_parse_text(ss.str(), name, folder, score, error_out);
}
