// The inflater against zlib as a control on real streams of every level and
// strategy, and on hostile streams written bit by bit, one fault each.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/inflate.h"

namespace {

// DEFLATE bit writer: fields go least significant bit first; Huffman codes
// are sent most significant bit first, as RFC 1951 section 3.1.1 says.
struct BitWriter {
  std::vector<uint8_t> bytes;
  uint32_t acc = 0;
  int count = 0;

  BitWriter() {
    bytes.push_back(0x78);  // zlib header: deflate with a 32K window
    bytes.push_back(0x01);  // check bits, no dictionary
  }

  void bits(uint32_t value, int n) {
    for (int i = 0; i < n; ++i) {
      acc |= ((value >> i) & 1u) << count;
      if (++count == 8) flush_byte();
    }
  }
  void code(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) bits((value >> i) & 1u, 1);
  }
  void flush_byte() {
    bytes.push_back((uint8_t)acc);
    acc = 0;
    count = 0;
  }
  void align() {
    if (count) flush_byte();
  }
  // Fixed literal/length code (RFC 1951 3.2.6).
  void fixed_symbol(int sym) {
    if (sym < 144) code(0x30 + sym, 8);
    else if (sym < 256) code(0x190 + sym - 144, 9);
    else if (sym < 280) code(sym - 256, 7);
    else code(0xc0 + sym - 280, 8);
  }
  std::vector<uint8_t> finish() {
    align();
    return bytes;
  }
};

struct Result {
  uint8_t* data = nullptr;
  int32_t len = -1;
  const char* reason = "";
  ~Result() { free(data); }
};

void inflate(const std::vector<uint8_t>& in, Result* r) {
  r->data = zlib_decode_to_new_buffer(in.data(), (int32_t)in.size(), &r->len, &r->reason);
}

std::string failure(const std::vector<uint8_t>& in) {
  Result r;
  inflate(in, &r);
  return r.data ? "(decoded)" : r.reason;
}

std::vector<uint8_t> mixed_data(size_t n) {
  std::vector<uint8_t> d(n);
  uint32_t seed = 1;
  const char* words[] = {"noise ", "room ", "wall ", "vantrel ", "\x00\x00\x00\x00", "creature "};
  size_t i = 0;
  while (i < n) {
    seed = seed * 1664525u + 1013904223u;
    int kind = (int)(seed >> 29);
    if (kind < 3) {  // text
      const char* w = words[(seed >> 8) % 6];
      size_t len = strlen(w) ? strlen(w) : 4;
      for (size_t k = 0; k < len && i < n; ++k) d[i++] = (uint8_t)w[k];
    } else if (kind < 5) {  // random bytes
      for (int k = 0; k < 40 && i < n; ++k) {
        seed = seed * 1664525u + 1013904223u;
        d[i++] = (uint8_t)(seed >> 24);
      }
    } else {  // runs
      uint8_t v = (uint8_t)(seed >> 16);
      for (int k = 0; k < (int)((seed >> 8) & 511) && i < n; ++k) d[i++] = v;
    }
  }
  return d;
}

std::vector<uint8_t> zlib_compress(const std::vector<uint8_t>& raw, int level, int strategy) {
  z_stream z;
  memset(&z, 0, sizeof z);
  deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy);
  std::vector<uint8_t> out(deflateBound(&z, raw.size()));
  z.next_in = (Bytef*)raw.data();
  z.avail_in = (uInt)raw.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TEST(InflateOracle, EveryLevelAndStrategyMatchesTheInput) {
  const std::vector<uint8_t> raw = mixed_data(300000);
  for (int level = 0; level <= 9; ++level) {
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
      if (level == 0 && strategy != Z_DEFAULT_STRATEGY) continue;
      Result r;
      inflate(zlib_compress(raw, level, strategy), &r);
      ASSERT_NE(r.data, nullptr) << level << "/" << strategy << ": " << r.reason;
      ASSERT_EQ((size_t)r.len, raw.size());
      EXPECT_EQ(0, memcmp(r.data, raw.data(), raw.size())) << level << "/" << strategy;
    }
  }
  // Tiny inputs, including the empty stream.
  for (size_t n : {0, 1, 2, 3, 257, 258, 259}) {
    std::vector<uint8_t> small(raw.begin(), raw.begin() + (long)n);
    Result r;
    inflate(zlib_compress(small, 6, Z_DEFAULT_STRATEGY), &r);
    ASSERT_NE(r.data, nullptr);
    ASSERT_EQ((size_t)r.len, n);
    if (n) {
      EXPECT_EQ(0, memcmp(r.data, small.data(), n));
    }
  }
}

TEST(InflateStreams, StoredBlocksIncludingEmptyOnes) {
  BitWriter w;
  w.bits(0, 1);  // not final
  w.bits(0, 2);  // stored
  w.align();
  const uint8_t first[] = {3, 0, 0xfc, 0xff, 'a', 'b', 'c'};
  w.bytes.insert(w.bytes.end(), first, first + sizeof first);
  w.bits(0, 1);
  w.bits(0, 2);
  w.align();
  const uint8_t empty[] = {0, 0, 0xff, 0xff};
  w.bytes.insert(w.bytes.end(), empty, empty + 4);
  w.bits(1, 1);
  w.bits(0, 2);
  w.align();
  const uint8_t last[] = {2, 0, 0xfd, 0xff, 'd', 'e'};
  w.bytes.insert(w.bytes.end(), last, last + sizeof last);
  Result r;
  inflate(w.finish(), &r);  // no Adler-32 trailer at all
  ASSERT_NE(r.data, nullptr) << r.reason;
  ASSERT_EQ(r.len, 5);
  EXPECT_EQ(0, memcmp(r.data, "abcde", 5));
}

TEST(InflateStreams, DistanceOneRepeatsAndDistanceLimit) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(1, 2);        // fixed codes
  w.fixed_symbol('x');
  w.fixed_symbol(285);  // length 258
  w.code(0, 5);         // distance code 0: distance 1
  w.fixed_symbol(256);
  Result r;
  inflate(w.finish(), &r);
  ASSERT_NE(r.data, nullptr) << r.reason;
  ASSERT_EQ(r.len, 259);
  for (int i = 0; i < 259; ++i) ASSERT_EQ(r.data[i], 'x');

  // Distance equal to the bytes produced is fine; one more is "bad dist".
  for (int extra = 0; extra < 2; ++extra) {
    BitWriter d;
    d.bits(1, 1);
    d.bits(1, 2);
    d.fixed_symbol('a');
    d.fixed_symbol('b');
    d.fixed_symbol(257);       // length 3
    d.code(1 + extra, 5);      // distance 2 or 3
    d.fixed_symbol(256);
    EXPECT_EQ(failure(d.finish()), extra ? "bad dist" : "(decoded)");
  }
}

TEST(InflateStreams, HeaderChecksInOrder) {
  EXPECT_EQ(failure({0x78, 0x02}), "bad zlib header");
  EXPECT_EQ(failure({0x78, 0xbb}), "no preset dict");  // 0x78bb % 31 == 0, FDICT set
  EXPECT_EQ(failure({0x79, 0x01 + 31 - (0x7901 % 31)}), "bad compression");
  EXPECT_EQ(failure({}), "bad compression");  // two zero bytes pass the mod-31 test
}

// Writes a dynamic block header whose code-length code gives length 2 to the
// listed code-length symbols (at most four of them).
void dynamic_header(BitWriter* w, int hlit, int hdist, std::initializer_list<int> symbols) {
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  w->bits(1, 1);
  w->bits(2, 2);
  w->bits((uint32_t)(hlit - 257), 5);
  w->bits((uint32_t)(hdist - 1), 5);
  w->bits(19 - 4, 4);
  for (int i = 0; i < 19; ++i) {
    bool used = false;
    for (int s : symbols) used |= s == order[i];
    w->bits(used ? 2 : 0, 3);
  }
}

TEST(InflateStreams, HostileCodeLengths) {
  // Regression: a repeat code 16 with no previous length to repeat.
  {
    BitWriter w;
    dynamic_header(&w, 257, 1, {1, 16});  // codes: 1 -> 00, 16 -> 01
    w.code(1, 2);                         // 16 first
    w.bits(0, 2);
    EXPECT_EQ(failure(w.finish()), "bad codelengths");
  }
  // A zero run that passes HLIT + HDIST.
  {
    BitWriter w;
    dynamic_header(&w, 257, 1, {1, 18});  // 1 -> 00, 18 -> 01
    w.code(1, 2);
    w.bits(127, 7);                       // 138 zeros
    w.code(1, 2);
    w.bits(127, 7);                       // 276
    EXPECT_EQ(failure(w.finish()), "bad codelengths");
  }
  // Over-subscribed code-length code: five codes of length 2.
  {
    BitWriter w;
    w.bits(1, 1);
    w.bits(2, 2);
    w.bits(0, 5);
    w.bits(0, 5);
    w.bits(15, 4);
    for (int i = 0; i < 19; ++i) w.bits(i < 5 ? 2 : 0, 3);
    EXPECT_EQ(failure(w.finish()), "bad codelengths");
  }
  // A code-length symbol the code-length code does not hold (incomplete code).
  {
    BitWriter w;
    dynamic_header(&w, 257, 1, {1});       // only "00" exists
    w.code(3, 2);
    EXPECT_EQ(failure(w.finish()), "bad huffman code");
  }
}

TEST(InflateStreams, SymbolsThatNeverOccurAreRefused) {
  // Regression: length symbols 286-287 and distance codes 30-31 used to map
  // to zero bases instead of failing.
  for (int sym : {286, 287}) {
    BitWriter w;
    w.bits(1, 1);
    w.bits(1, 2);
    w.fixed_symbol('a');
    w.fixed_symbol(sym);
    w.code(0, 5);
    w.fixed_symbol(256);
    EXPECT_EQ(failure(w.finish()), "bad huffman code") << sym;
  }
  for (int dist : {30, 31}) {
    BitWriter w;
    w.bits(1, 1);
    w.bits(1, 2);
    w.fixed_symbol('a');
    w.fixed_symbol(257);
    w.code((uint32_t)dist, 5);
    w.fixed_symbol(256);
    EXPECT_EQ(failure(w.finish()), "bad huffman code") << dist;
  }
}

TEST(InflateStreams, BlockTypeAndStoredLengthFaults) {
  BitWriter t;
  t.bits(1, 1);
  t.bits(3, 2);
  Result r;
  inflate(t.finish(), &r);
  EXPECT_EQ(r.data, nullptr);  // reserved type: fails, no reason of its own

  BitWriter n;
  n.bits(1, 1);
  n.bits(0, 2);
  n.align();
  const uint8_t bad_nlen[] = {3, 0, 0xfc, 0xfe, 'a', 'b', 'c'};
  n.bytes.insert(n.bytes.end(), bad_nlen, bad_nlen + sizeof bad_nlen);
  EXPECT_EQ(failure(n.finish()), "zlib corrupt");

  BitWriter s;
  s.bits(1, 1);
  s.bits(0, 2);
  s.align();
  const uint8_t too_long[] = {10, 0, 0xf5, 0xff, 'a', 'b'};
  s.bytes.insert(s.bytes.end(), too_long, too_long + sizeof too_long);
  EXPECT_EQ(failure(s.finish()), "read past buffer");
}

TEST(InflateStreams, CutStreamOfZeroLiteralsEnds) {
  // Regression: when the all-zero codeword is a literal, the zero bits read
  // past the end decoded as literals without end. Code lengths: literal 0 and
  // end-of-block get 1 bit each, one distance code.
  BitWriter w;
  dynamic_header(&w, 257, 1, {0, 1, 18});  // 0 -> 00, 1 -> 01, 18 -> 10
  w.code(1, 2);            // literal 0: length 1
  w.code(2, 2);
  w.bits(127, 7);          // 138 zeros
  w.code(2, 2);
  w.bits(106, 7);          // 117 zeros: symbols 1..255
  w.code(1, 2);            // 256: length 1
  w.code(1, 2);            // distance 0: length 1
  w.code(0, 1);            // three literal zeros, then the stream is cut
  w.code(0, 1);
  w.code(0, 1);
  EXPECT_EQ(failure(w.finish()), "read past buffer");
}

// Everything zlib emits for a damaged stream before it stops (it stops at a bad
// code, at the end of the input or at the checksum).
std::vector<uint8_t> zlib_emitted(const std::vector<uint8_t>& in, size_t limit) {
  std::vector<uint8_t> out(limit);
  z_stream z;
  memset(&z, 0, sizeof z);
  inflateInit(&z);
  z.next_in = (Bytef*)in.data();
  z.avail_in = (uInt)in.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  ::inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

// Regression: a cut stream that reached a final block on the zero bits read
// past its end was accepted, with output that is not in the data. A cut or
// bit-flipped stream is either refused or gives exactly the bytes zlib
// decodes from it: never more, never different.
TEST(InflateStreams, EveryTruncationAndBitFlipIsRefusedOrDecodesLikeZlib) {
  const std::vector<uint8_t> raw = mixed_data(5000);
  auto z = zlib_compress(raw, 6, Z_DEFAULT_STRATEGY);
  int refused = 0, decoded = 0;
  auto check = [&](const std::vector<uint8_t>& in, const char* what, size_t at) {
    Result r;
    inflate(in, &r);
    if (!r.data) {
      refused++;
      return;
    }
    decoded++;
    std::vector<uint8_t> got(r.data, r.data + r.len);
    ASSERT_EQ(got, zlib_emitted(in, raw.size() * 2)) << what << " " << at;
  };
  for (size_t n = 0; n < z.size(); n += 3) {
    ASSERT_NO_FATAL_FAILURE(check(std::vector<uint8_t>(z.begin(), z.begin() + (long)n), "cut at", n));
  }
  for (size_t bit = 16; bit < z.size() * 8; bit += 13) {
    auto t = z;
    t[bit / 8] ^= (uint8_t)(1u << (bit % 8));
    ASSERT_NO_FATAL_FAILURE(check(t, "bit", bit));
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(decoded, 0);
}

// A stream split into pieces (as PNG splits it into IDAT chunks) decodes to
// the same bytes, or fails for the same reason, as the stream in one piece,
// wherever the cuts fall: inside a stored block's header or data, between a
// bit buffer's refills, or with empty pieces between.
TEST(InflateStreams, PiecesDecodeLikeTheWholeStream) {
  const std::vector<uint8_t> raw = mixed_data(3000);
  auto cut = zlib_compress(raw, 6, Z_DEFAULT_STRATEGY);
  cut.resize(cut.size() / 2);
  auto flipped = zlib_compress(raw, 6, Z_DEFAULT_STRATEGY);
  flipped[40] ^= 0x10;
  const std::vector<std::vector<uint8_t>> streams = {zlib_compress(raw, 0, Z_DEFAULT_STRATEGY),
                                                     zlib_compress(raw, 6, Z_DEFAULT_STRATEGY), cut, flipped};
  auto decode = [](const std::vector<ZlibPiece>& pieces, std::string* out) {
    size_t len = 0;
    const char* reason = "";
    uint8_t* data = zlib_decode_bounded(pieces.data(), pieces.size(), 4096, 1 << 20, &len, &reason, nullptr);
    *out = data ? std::string((const char*)data, len) : std::string("refused: ") + reason;
    free(data);
  };
  const size_t sizes[] = {1, 0, 7, 3, 0, 0, 13, 64, 2};
  for (size_t i = 0; i < streams.size(); ++i) {
    const std::vector<uint8_t>& stream = streams[i];
    std::string whole, split;
    decode({{stream.data(), stream.size()}}, &whole);
    if (i < 2) {
      EXPECT_EQ(whole, std::string(raw.begin(), raw.end()));
    }
    for (size_t first : {1, 3}) {  // every byte its own piece, or a cycle of sizes
      std::vector<ZlibPiece> pieces;
      for (size_t at = 0, k = 0; at < stream.size(); ++k) {
        size_t n = first == 1 ? 1 : std::min(sizes[k % 9], stream.size() - at);
        pieces.push_back({stream.data() + at, n});
        at += n;
      }
      decode(pieces, &split);
      EXPECT_EQ(split, whole) << stream.size() << " bytes, pieces " << first;
    }
  }
}

}  // namespace
