// The inflater against zlib as a control on real streams of every level and
// strategy, and on hostile streams written bit by bit, one fault each.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

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

// A final block of fixed codes: literals and lengths as symbols, each length
// followed by a 5-bit distance code (its extra bits must be zero-width here).
std::vector<uint8_t> fixed_block(std::initializer_list<int> items) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(1, 2);
  bool distance_next = false;
  for (int x : items) {
    if (distance_next) w.code((uint32_t)x, 5);
    else w.fixed_symbol(x);
    distance_next = !distance_next && x > 256;
  }
  w.fixed_symbol(256);
  return w.finish();
}

// A stored block: header bits, then LEN, NLEN and the data as given.
void stored(BitWriter* w, int final, std::initializer_list<uint8_t> bytes) {
  w->bits((uint32_t)final, 1);
  w->bits(0, 2);
  w->align();
  w->bytes.insert(w->bytes.end(), bytes);
}

TEST(InflateStreams, StoredBlocksDistancesAndHeaders) {
  BitWriter w;  // three stored blocks, one empty, and no Adler-32 trailer at all
  stored(&w, 0, {3, 0, 0xfc, 0xff, 'a', 'b', 'c'});
  stored(&w, 0, {0, 0, 0xff, 0xff});
  stored(&w, 1, {2, 0, 0xfd, 0xff, 'd', 'e'});
  Result r;
  inflate(w.finish(), &r);
  ASSERT_NE(r.data, nullptr) << r.reason;
  ASSERT_EQ(std::string((char*)r.data, (size_t)r.len), "abcde");

  Result x;  // distance 1 repeats the last byte: 'x' then 258 more
  inflate(fixed_block({'x', 285, 0}), &x);
  ASSERT_NE(x.data, nullptr) << x.reason;
  EXPECT_EQ(std::string((char*)x.data, (size_t)x.len), std::string(259, 'x'));

  BitWriter reserved;
  reserved.bits(1, 1);
  reserved.bits(3, 2);
  Result t;
  inflate(reserved.finish(), &t);
  EXPECT_EQ(t.data, nullptr);  // reserved block type: fails, no reason of its own

  BitWriter bad_nlen, too_long;
  stored(&bad_nlen, 1, {3, 0, 0xfc, 0xfe, 'a', 'b', 'c'});
  stored(&too_long, 1, {10, 0, 0xf5, 0xff, 'a', 'b'});
  const struct {
    std::vector<uint8_t> stream;
    const char* reason;
  } cases[] = {
      {fixed_block({'a', 'b', 257, 1}), "(decoded)"},  // distance 2 = bytes so far
      {fixed_block({'a', 'b', 257, 2}), "bad dist"},   // distance 3: one too far
      // Regression: length symbols 286-287 and distance codes 30-31 used to
      // map to zero bases instead of failing.
      {fixed_block({'a', 286, 0}), "bad huffman code"},
      {fixed_block({'a', 287, 0}), "bad huffman code"},
      {fixed_block({'a', 257, 30}), "bad huffman code"},
      {fixed_block({'a', 257, 31}), "bad huffman code"},
      {bad_nlen.finish(), "zlib corrupt"},
      {too_long.finish(), "read past buffer"},
      {{0x78, 0x02}, "bad zlib header"},
      {{0x78, 0xbb}, "no preset dict"},  // 0x78bb % 31 == 0, FDICT set
      {{0x79, 0x01 + 31 - (0x7901 % 31)}, "bad compression"},
      {{}, "bad compression"},  // two zero bytes pass the mod-31 test
  };
  for (const auto& c : cases) EXPECT_EQ(failure(c.stream), c.reason) << &c - cases;
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

// A dynamic block header, then (code, bits) pairs: Huffman codes of the
// code-length code when bits > 0, plain extra bits when bits < 0.
std::vector<uint8_t> dynamic_block(std::initializer_list<int> symbols,
                                   std::initializer_list<std::pair<int, int>> fields) {
  BitWriter w;
  dynamic_header(&w, 257, 1, symbols);
  for (auto [value, bits] : fields) {
    if (bits > 0) w.code((uint32_t)value, bits);
    else w.bits((uint32_t)value, -bits);
  }
  return w.finish();
}

TEST(InflateStreams, HostileCodeLengths) {
  BitWriter over;  // over-subscribed code-length code: five codes of length 2
  over.bits(1, 1);
  over.bits(2, 2);
  over.bits(0, 10);
  over.bits(15, 4);
  for (int i = 0; i < 19; ++i) over.bits(i < 5 ? 2 : 0, 3);
  const struct {
    std::vector<uint8_t> stream;
    const char* reason;
  } cases[] = {
      // Regression: a repeat code 16 with no previous length to repeat.
      {dynamic_block({1, 16}, {{1, 2}, {0, -2}}), "bad codelengths"},
      // A zero run that passes HLIT + HDIST (138 zeros, then 138 more).
      {dynamic_block({1, 18}, {{1, 2}, {127, -7}, {1, 2}, {127, -7}}), "bad codelengths"},
      {over.finish(), "bad codelengths"},
      // A code-length symbol the code-length code does not hold (incomplete code).
      {dynamic_block({1}, {{3, 2}}), "bad huffman code"},
  };
  for (const auto& c : cases) EXPECT_EQ(failure(c.stream), c.reason) << &c - cases;
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

}  // namespace
