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
      if (++count == 8) align();
    }
  }
  void code(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) bits((value >> i) & 1u, 1);
  }
  void align() {
    if (count) bytes.push_back((uint8_t)acc);
    acc = 0;
    count = 0;
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
  explicit Result(const std::vector<uint8_t>& in) {
    data = zlib_decode_to_new_buffer(in.data(), (int32_t)in.size(), &len, &reason);
  }
  ~Result() { free(data); }
  std::string str() const { return data ? std::string((char*)data, (size_t)len) : std::string(); }
  std::string failure() const { return data ? "(decoded)" : reason; }
};

// Text, random bytes and runs mixed, so that every code kind gets used.
std::vector<uint8_t> mixed_data(size_t n) {
  std::vector<uint8_t> d;
  const std::string words[] = {"noise ", "room ", "wall ", "vantrel ", std::string(4, '\0'), "creature "};
  uint32_t seed = 1;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  while (d.size() < n) {
    int kind = (int)(next() >> 29);
    if (kind < 3) d.insert(d.end(), words[(seed >> 8) % 6].begin(), words[(seed >> 8) % 6].end());
    else if (kind < 5) for (int k = 0; k < 40; ++k) d.push_back((uint8_t)(next() >> 24));
    else d.insert(d.end(), (seed >> 8) & 511, (uint8_t)(seed >> 16));
  }
  d.resize(n);
  return d;
}

// One zlib pass over `in`: deflate (level >= 0) or inflate, with Z_FINISH and
// whatever it emits before it stops (at a bad code, the end of the input or
// the checksum).
std::vector<uint8_t> zlib_run(const std::vector<uint8_t>& in, int level, int strategy, size_t limit) {
  z_stream z;
  memset(&z, 0, sizeof z);
  if (level >= 0) deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy);
  else inflateInit(&z);
  std::vector<uint8_t> out(level >= 0 ? deflateBound(&z, in.size()) : limit);
  z.next_in = (Bytef*)in.data();
  z.avail_in = (uInt)in.size();
  z.next_out = out.data();
  z.avail_out = (uInt)out.size();
  if (level >= 0) {
    deflate(&z, Z_FINISH);
    deflateEnd(&z);
  } else {
    ::inflate(&z, Z_FINISH);
    inflateEnd(&z);
  }
  out.resize(z.total_out);
  return out;
}

std::vector<uint8_t> zlib_compress(const std::vector<uint8_t>& raw, int level, int strategy = Z_DEFAULT_STRATEGY) {
  return zlib_run(raw, level, strategy, 0);
}

TEST(InflateOracle, EveryLevelAndStrategyMatchesTheInput) {
  const std::vector<uint8_t> raw = mixed_data(300000);
  const size_t sizes[] = {0, 1, 2, 3, 257, 258, 259, raw.size()};  // tiny inputs too, and the empty stream
  for (size_t n : sizes) {
    const std::vector<uint8_t> in(raw.begin(), raw.begin() + (long)n);
    for (int level = 0; level <= 9; ++level) {
      for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
        if (level == 0 && strategy != Z_DEFAULT_STRATEGY) continue;
        Result r(zlib_compress(in, level, strategy));
        ASSERT_NE(r.data, nullptr) << n << " bytes " << level << "/" << strategy << ": " << r.reason;
        EXPECT_TRUE(r.str() == std::string(in.begin(), in.end())) << n << " bytes " << level << "/" << strategy;
      }
    }
  }
}

// A final block of fixed codes: literals and lengths as symbols, each length
// followed by a 5-bit distance code (its extra bits must be zero-width here).
std::vector<uint8_t> fixed_block(std::initializer_list<int> items) {
  BitWriter w;
  w.bits(3, 3);
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
  w->bits((uint32_t)final, 3);
  w->align();
  w->bytes.insert(w->bytes.end(), bytes);
}

// A final dynamic block (HLIT 257, HDIST 1) whose code-length code gives
// length 2 to the listed code-length symbols, then (code, bits) pairs:
// Huffman codes of the code-length code when bits > 0, plain extra bits
// when bits < 0.
std::vector<uint8_t> dynamic_block(std::initializer_list<int> symbols,
                                   std::initializer_list<std::pair<int, int>> fields) {
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  BitWriter w;
  w.bits(5, 3);
  w.bits(0, 10);
  w.bits(19 - 4, 4);
  for (int i = 0; i < 19; ++i) {
    bool used = false;
    for (int s : symbols) used |= s == order[i];
    w.bits(used ? 2 : 0, 3);
  }
  for (auto [value, bits] : fields) {
    if (bits > 0) w.code((uint32_t)value, bits);
    else w.bits((uint32_t)value, -bits);
  }
  return w.finish();
}

TEST(InflateStreams, HandBuiltStreamsDecodeOrFailWithTheirReason) {
  BitWriter w;  // three stored blocks, one empty, and no Adler-32 trailer at all
  stored(&w, 0, {3, 0, 0xfc, 0xff, 'a', 'b', 'c'});
  stored(&w, 0, {0, 0, 0xff, 0xff});
  stored(&w, 1, {2, 0, 0xfd, 0xff, 'd', 'e'});
  EXPECT_EQ(Result(w.finish()).str(), "abcde");
  // Distance 1 repeats the last byte: 'x' then 258 more.
  EXPECT_EQ(Result(fixed_block({'x', 285, 0})).str(), std::string(259, 'x'));

  BitWriter reserved, bad_nlen, too_long;
  reserved.bits(7, 3);
  EXPECT_EQ(Result(reserved.finish()).data, nullptr);  // reserved block type: fails, no reason of its own
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
      // Regression: a repeat code 16 with no previous length to repeat.
      {dynamic_block({1, 16}, {{1, 2}, {0, -2}}), "bad codelengths"},
      // A zero run that passes HLIT + HDIST (138 zeros, then 138 more).
      {dynamic_block({1, 18}, {{1, 2}, {127, -7}, {1, 2}, {127, -7}}), "bad codelengths"},
      // Over-subscribed code-length code: five codes of length 2.
      {dynamic_block({16, 17, 18, 0, 8}, {}), "bad codelengths"},
      // A code-length symbol the code-length code does not hold (incomplete code).
      {dynamic_block({1}, {{3, 2}}), "bad huffman code"},
      // Regression: when the all-zero codeword is a literal, the zero bits read
      // past the end decoded as literals without end. Code lengths (0 -> 00,
      // 1 -> 01, 18 -> 10): literal 0 and end-of-block 1 bit each, one distance
      // code; then three literal zeros and the stream is cut.
      {dynamic_block({0, 1, 18}, {{1, 2}, {2, 2}, {127, -7}, {2, 2}, {106, -7}, {1, 2}, {1, 2}, {0, 3}}),
       "read past buffer"},
  };
  for (const auto& c : cases) EXPECT_EQ(Result(c.stream).failure(), c.reason) << &c - cases;
}

// Regression: a cut stream that reached a final block on the zero bits read
// past its end was accepted, with output that is not in the data. A cut or
// bit-flipped stream is either refused or gives exactly the bytes zlib
// decodes from it: never more, never different.
TEST(InflateStreams, EveryTruncationAndBitFlipIsRefusedOrDecodesLikeZlib) {
  const std::vector<uint8_t> raw = mixed_data(5000);
  auto z = zlib_compress(raw, 6);
  int refused = 0, decoded = 0;
  auto check = [&](const std::vector<uint8_t>& in, const char* what, size_t at) {
    Result r(in);
    if (!r.data) {
      refused++;
      return;
    }
    decoded++;
    ASSERT_EQ(std::vector<uint8_t>(r.data, r.data + r.len), zlib_run(in, -1, 0, raw.size() * 2)) << what << " " << at;
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
