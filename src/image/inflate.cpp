// DEFLATE decoder built for speed on large PNG streams: a 64-bit bit buffer
// refilled eight bytes at a time, one-lookup Huffman tables with a small second
// level for long codes (each entry carries the length/distance base and extra
// bit count), and word-sized match copies into slack kept at the buffer's end.
// Input past the end reads as zero bits, but only a bounded amount, so a cut
// stream fails instead of producing output without end. The input may come in
// pieces (PNG's IDAT chunks), read where they lie: the bulk loops run within
// a piece and the byte-wise refill steps from one to the next.
#include "image/inflate.h"

#include <stdlib.h>
#include <string.h>

// Table entry layout (32 bits):
//   bits 0..5   bits to consume (in a subtable: bits past the root); when the
//               extra bits fit the root lookup too, codeword and extra bits
//   bits 8..11  extra bits still to read (length or distance), 0 if resolved;
//               for a subtable link: the subtable's index bits
//   bits 12..15 flags below
//   bits 16..31 value: literal byte, length/distance base, symbol, or subtable offset
enum : uint32_t {
  ENTRY_LITERAL = 0x1000,
  ENTRY_SUBTABLE = 0x2000,
  ENTRY_END = 0x4000,
  ENTRY_INVALID = 0x8000,
};

enum {
  MAX_CODE_BITS = 15,
  LITLEN_SYMBOLS = 288,
  DIST_SYMBOLS = 32,
  CODELEN_SYMBOLS = 19,
  LITLEN_ROOT_BITS = 11,
  DIST_ROOT_BITS = 8,
  CODELEN_ROOT_BITS = 7,  // code-length codes are at most 7 bits: never a subtable
  // Worst case: every symbol a long code with its own full-size subtable.
  LITLEN_TABLE_SIZE = (1 << LITLEN_ROOT_BITS) + LITLEN_SYMBOLS * (1 << (MAX_CODE_BITS - LITLEN_ROOT_BITS)),
  DIST_TABLE_SIZE = (1 << DIST_ROOT_BITS) + DIST_SYMBOLS * (1 << (MAX_CODE_BITS - DIST_ROOT_BITS)),
  CODELEN_TABLE_SIZE = 1 << CODELEN_ROOT_BITS,
  COPY_SLACK = ZLIB_DECODE_SLACK,  // match copies may write up to 15 bytes past their end
  PHANTOM_LIMIT_BITS = 256, // zero bits that may be consumed past the input end
  INITIAL_CAPACITY = 16384,
  // First output capacity for a stream of unknown size: four times the input
  // (typical of images and text), at most 24 MiB.
  GUESS_RATIO = 4,
  GUESS_CAP = 24 << 20,
};
static_assert(LITLEN_TABLE_SIZE < 65536 && DIST_TABLE_SIZE < 65536, "subtable offsets live in 16 bits");
// One refill (at least 56 bits) covers a whole match: 15 + 5 + 15 + 13 bits.
static_assert(MAX_CODE_BITS + 5 + MAX_CODE_BITS + 13 <= 56, "a match fits one refill");

static const uint16_t LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                         31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
static const uint8_t LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                         2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
static const uint16_t DIST_BASE[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                       193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
static const uint8_t DIST_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
static const uint8_t CODELEN_ORDER[CODELEN_SYMBOLS] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Entry templates per symbol (codeword length is added when a table is built).
// Length symbols 286-287 and distance codes 30-31 never occur in a valid stream.
struct SymbolTemplates {
  uint32_t litlen[LITLEN_SYMBOLS];
  uint32_t dist[DIST_SYMBOLS];
  uint32_t codelen[CODELEN_SYMBOLS];
};

static SymbolTemplates make_templates() {
  SymbolTemplates t;
  for (int s = 0; s < 256; ++s) t.litlen[s] = ENTRY_LITERAL | ((uint32_t)s << 16);
  t.litlen[256] = ENTRY_END;
  for (int s = 257; s < 286; ++s)
    t.litlen[s] = ((uint32_t)LENGTH_BASE[s - 257] << 16) | ((uint32_t)LENGTH_EXTRA[s - 257] << 8);
  t.litlen[286] = t.litlen[287] = ENTRY_INVALID;
  for (int s = 0; s < 30; ++s) t.dist[s] = ((uint32_t)DIST_BASE[s] << 16) | ((uint32_t)DIST_EXTRA[s] << 8);
  t.dist[30] = t.dist[31] = ENTRY_INVALID;
  for (int s = 0; s < CODELEN_SYMBOLS; ++s) t.codelen[s] = (uint32_t)s << 16;
  return t;
}

static const SymbolTemplates& templates() {
  static const SymbolTemplates t = make_templates();
  return t;
}

struct ByteReversal {
  uint8_t of[256];
  constexpr ByteReversal() : of() {
    for (int i = 0; i < 256; ++i) {
      int r = 0;
      for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
      of[i] = (uint8_t)r;
    }
  }
};
static constexpr ByteReversal BYTE_REVERSAL;
static constexpr const uint8_t* BYTE_REVERSED = BYTE_REVERSAL.of;

// Builds a lookup table from code lengths. Returns false when the lengths
// over-subscribe the code space; incomplete codes are accepted and their
// unused codewords decode as ENTRY_INVALID.
static bool huffman_build(uint32_t* table, int root_bits, const uint8_t* lengths, int count,
                          const uint32_t* tmpl) {
  int len_count[MAX_CODE_BITS + 1] = {0};
  for (int i = 0; i < count; ++i) len_count[lengths[i]]++;
  len_count[0] = 0;
  int code = 0, max_len = 0;
  for (int len = 1; len <= MAX_CODE_BITS; ++len) {
    code += len_count[len];
    if (len_count[len] && code - 1 >= (1 << len)) return false;
    if (len_count[len]) max_len = len;
    code <<= 1;
  }
  int offset[MAX_CODE_BITS + 2];
  offset[1] = 0;
  for (int len = 1; len <= MAX_CODE_BITS; ++len) offset[len + 1] = offset[len] + len_count[len];
  uint16_t sorted[LITLEN_SYMBOLS];
  for (int i = 0; i < count; ++i)
    if (lengths[i]) sorted[offset[lengths[i]]++] = (uint16_t)i;

  // A complete code covers every entry; only gaps need marking invalid.
  const bool complete = code == 1 << (MAX_CODE_BITS + 1);
  const uint32_t root_size = 1u << root_bits;
  if (!complete)
    for (uint32_t i = 0; i < root_size; ++i) table[i] = ENTRY_INVALID;
  const int sub_bits = max_len > root_bits ? max_len - root_bits : 0;
  const uint32_t sub_size = 1u << sub_bits;
  uint32_t next_sub = root_size;
  uint32_t last_prefix = root_size;  // none yet
  uint32_t canon = 0;  // canonical code, most significant bit first
  int k = 0;
  for (int len = 1; len <= max_len; ++len, canon <<= 1) {
    for (int n = 0; n < len_count[len]; ++n, ++canon) {
      const uint32_t rev = (uint32_t)(BYTE_REVERSED[canon & 255] << 8 | BYTE_REVERSED[canon >> 8]) >> (16 - len);
      uint32_t entry = tmpl[sorted[k++]];
      const int extra = (int)((entry >> 8) & 15);
      if (extra && len + extra <= root_bits) {
        // The extra bits fit the lookup too: one entry per extra value,
        // holding the finished length or distance.
        uint32_t plain = entry & ~0xf00u;
        for (uint32_t x = 0; x < (1u << extra); ++x) {
          uint32_t resolved = (plain + (x << 16)) | (uint32_t)(len + extra);
          for (uint32_t i = rev | (x << len); i < root_size; i += 1u << (len + extra)) table[i] = resolved;
        }
        continue;
      }
      if (len <= root_bits) {
        entry |= (uint32_t)len;
        for (uint32_t i = rev; i < root_size; i += 1u << len) table[i] = entry;
        continue;
      }
      uint32_t prefix = rev & (root_size - 1);
      // Canonical codes rise with (length, symbol), so the long codes under
      // one root prefix come one after another.
      if (prefix != last_prefix) {
        last_prefix = prefix;
        table[prefix] = ENTRY_SUBTABLE | (next_sub << 16) | ((uint32_t)sub_bits << 8) | (uint32_t)root_bits;
        if (!complete)
          for (uint32_t i = 0; i < sub_size; ++i) table[next_sub + i] = ENTRY_INVALID;
        next_sub += sub_size;
      }
      uint32_t base = table[prefix] >> 16;
      int rest_len = len - root_bits;
      entry |= (uint32_t)rest_len;
      for (uint32_t i = rev >> root_bits; i < sub_size; i += 1u << rest_len) table[base + i] = entry;
    }
  }
  return true;
}

struct FixedTables {
  uint32_t litlen[LITLEN_TABLE_SIZE];
  uint32_t dist[DIST_TABLE_SIZE];
};

static const FixedTables* make_fixed_tables() {
  static FixedTables fixed;
  uint8_t lengths[LITLEN_SYMBOLS];
  for (int i = 0; i < 144; ++i) lengths[i] = 8;
  for (int i = 144; i < 256; ++i) lengths[i] = 9;
  for (int i = 256; i < 280; ++i) lengths[i] = 7;
  for (int i = 280; i < 288; ++i) lengths[i] = 8;
  huffman_build(fixed.litlen, LITLEN_ROOT_BITS, lengths, LITLEN_SYMBOLS, templates().litlen);
  memset(lengths, 5, DIST_SYMBOLS);
  huffman_build(fixed.dist, DIST_ROOT_BITS, lengths, DIST_SYMBOLS, templates().dist);
  return &fixed;
}

// Built once per process; the first fixed-code block pays for it.
static const FixedTables* fixed_tables() {
  static const FixedTables* fixed = make_fixed_tables();
  return fixed;
}

struct Inflater {
  const uint8_t* in_start;  // the current piece of the input
  const uint8_t* in;        // in_start..in_end
  const uint8_t* in_end;
  const ZlibPiece* pieces;
  size_t piece;             // index of the current piece
  size_t piece_count;
  size_t before;            // input bytes in the pieces before the current one
  size_t total;             // input bytes in all pieces
  uint64_t bitbuf;        // unread bits, least significant first
  unsigned bitsleft;      // 0..63 valid bits in bitbuf
  size_t phantom;         // zero bytes appended past the input end
  uint8_t* out_start;
  uint8_t* out;           // out_start..out_limit
  uint8_t* out_limit;     // capacity end minus COPY_SLACK
  size_t max_len;         // output may not pass this
  const char* reason;
  bool over_limit;
  bool caller_buffer;     // out_start belongs to the caller: never reallocated
  uint32_t litlen[LITLEN_TABLE_SIZE];
  uint32_t dist[DIST_TABLE_SIZE];
  uint32_t codelen[CODELEN_TABLE_SIZE];
};

// What a refusing step returns: false, null or FAST_FAILED (which is 0 for
// this reason), whichever its own return type calls for.
struct InflateRefusal {
  template <typename T>
  operator T() const { return T(); }
};

// Records why the stream is refused in *slot (when there is one) and yields
// the failure value. A null reason (the format gives none) records nothing.
static inline InflateRefusal inflate_refuse(const char** slot, const char* reason) {
  if (slot && reason) *slot = reason;
  return InflateRefusal();
}

// The one way a step with an Inflater `z` refuses the stream.
#define INFLATE_REFUSE(why) return inflate_refuse(&z->reason, (why))

static inline uint64_t load_le64(const uint8_t* p) {
  uint64_t v;
  memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

// Makes piece `index` current, with the cursor at its start.
static void enter_piece(Inflater* z, size_t index) {
  const ZlibPiece& piece = z->pieces[index];
  z->piece = index;
  z->in_start = z->in = piece.data;
  z->in_end = piece.data ? piece.data + piece.len : piece.data;
}

// Moves on past the current piece once it is used up, skipping empty ones;
// the last piece stays current when all are used up.
static void next_piece(Inflater* z) {
  while (z->in == z->in_end && z->piece + 1 < z->piece_count) {
    z->before += (size_t)(z->in_end - z->in_start);
    enter_piece(z, z->piece + 1);
  }
}

// Puts the cursor on stream position pos, or at the end of the last piece
// when pos is at or past the end of the input.
static void seek_input(Inflater* z, size_t pos) {
  // Back over the few whole bytes the bit buffer held...
  while (z->piece > 0 && pos < z->before) {
    enter_piece(z, z->piece - 1);
    z->before -= (size_t)(z->in_end - z->in_start);
  }
  // ...or on past the pieces that end at or before pos.
  while (pos - z->before >= (size_t)(z->in_end - z->in_start) && z->piece + 1 < z->piece_count) {
    z->before += (size_t)(z->in_end - z->in_start);
    enter_piece(z, z->piece + 1);
  }
  size_t at = pos - z->before;
  size_t len = (size_t)(z->in_end - z->in_start);
  z->in = z->in_start + (at < len ? at : len);
}

// The next input byte across pieces, 0 (without advancing) past the end.
static inline int next_byte(Inflater* z) {
  if (z->in == z->in_end) next_piece(z);
  return z->in < z->in_end ? *z->in++ : 0;
}

static bool refill_slow(Inflater* z) {
  while (z->bitsleft <= 55) {
    uint64_t byte = 0;
    if (z->in == z->in_end) next_piece(z);
    if (z->in < z->in_end)
      byte = *z->in++;
    else
      z->phantom++;
    z->bitbuf |= byte << z->bitsleft;
    z->bitsleft += 8;
  }
  // Phantom bytes sit on top of the buffer; whatever of them is gone was consumed.
  if (z->phantom * 8 > (size_t)z->bitsleft + PHANTOM_LIMIT_BITS) INFLATE_REFUSE("read past buffer");
  return true;
}

// Leaves at least 56 valid bits. The fast form loads eight bytes and advances
// only over the whole bytes it counted; bits above bitsleft are always either
// zero or the true next bits, so overlapping loads agree.
#define REFILL()                                                  \
  do {                                                            \
    if (z->in_end - z->in >= 8) {                                 \
      bitbuf |= load_le64(z->in) << bitsleft;                     \
      z->in += (63 - bitsleft) >> 3;                              \
      bitsleft |= 56;                                             \
    } else {                                                      \
      z->bitbuf = bitbuf;                                         \
      z->bitsleft = bitsleft;                                     \
      if (!refill_slow(z)) return false;                          \
      bitbuf = z->bitbuf;                                         \
      bitsleft = z->bitsleft;                                     \
    }                                                             \
  } while (0)

#define CONSUME(n)   \
  do {               \
    bitbuf >>= (n);  \
    bitsleft -= (n); \
  } while (0)

#define BITS(n) ((uint32_t)(bitbuf & ((1ull << (n)) - 1)))

static inline uint32_t decode_entry(const uint32_t* table, unsigned root_bits, uint64_t& bitbuf,
                                    unsigned& bitsleft) {
  uint32_t e = table[bitbuf & ((1u << root_bits) - 1)];
  if (e & ENTRY_SUBTABLE) {
    CONSUME(root_bits);
    e = table[(e >> 16) + (bitbuf & ((1u << ((e >> 8) & 15)) - 1))];
  }
  CONSUME(e & 63);  // a 64-bit shift masks its count to 6 bits anyway
  return e;
}

// Makes room for n more bytes (plus copy slack), doubling the capacity.
static bool ensure_room(Inflater* z, size_t n) {
  size_t used = (size_t)(z->out - z->out_start);
  if (n > z->max_len - used) {
    z->over_limit = true;
    INFLATE_REFUSE("outofmem");
  }
  size_t cap = (size_t)(z->out_limit - z->out_start) + COPY_SLACK;
  size_t want = used + n + COPY_SLACK;
  if (want <= cap) return true;
  if (z->caller_buffer) INFLATE_REFUSE("outofmem");  // sized for max_len, so never reached
  while (cap < want) {
    if (cap > ((size_t)1 << 31)) INFLATE_REFUSE("outofmem");
    cap *= 2;
  }
  uint8_t* grown = (uint8_t*)realloc(z->out_start, cap);
  if (!grown) INFLATE_REFUSE("outofmem");
  z->out_start = grown;
  z->out = grown + used;
  z->out_limit = grown + cap - COPY_SLACK;
  return true;
}

// Copies a match of `length` bytes from `distance` back; may write up to
// COPY_SLACK - 1 bytes past its end.
static inline void copy_match(uint8_t* out, size_t distance, uint32_t length) {
  const uint8_t* src = out - distance;
  uint8_t* end = out + length;
  if (distance >= 16) {
    do {
      memcpy(out, src, 16);
      out += 16;
      src += 16;
    } while (out < end);
  } else if (distance >= 8) {
    do {
      memcpy(out, src, 8);
      out += 8;
      src += 8;
    } while (out < end);
  } else if (distance == 1) {
    memset(out, *src, length);
  } else {
    // Short periods: one 8-byte word of the pattern, written again every
    // whole number of periods that fits in a word.
    uint8_t pattern[8];
    for (size_t i = 0; i < 8; ++i) pattern[i] = src[i % distance];
    const size_t step = 8 - 8 % distance;
    for (; out < end; out += step) memcpy(out, pattern, 8);
  }
}

enum FastResult { FAST_FAILED, FAST_NEEDS_CARE, FAST_BLOCK_END };
static_assert(FAST_FAILED == 0, "a refusal yields FastResult()");

// The bulk of a block: runs while the input has room for two refills and the
// output for three literals or a longest match, so neither is checked per
// symbol. Stops at the end of the block, on a refusal (the state left behind
// no longer matters), or when either room runs short.
static inline FastResult inflate_fast(Inflater* z, const uint32_t* lit, const uint32_t* dist, uint64_t* bitbuf_io,
                                      unsigned* bitsleft_io, uint8_t** out_io, uint8_t* const out_limit) {
  enum { FAST_IN = 16, FAST_OUT = 258 + 3 };
  uint64_t bitbuf = *bitbuf_io;
  unsigned bitsleft = *bitsleft_io;
  const uint8_t* in = z->in;
  const uint8_t* const in_end = z->in_end;
  uint8_t* out = *out_io;
  const uint8_t* const out_start = z->out_start;
  FastResult result = FAST_NEEDS_CARE;
  while (in_end - in >= FAST_IN && out_limit - out >= FAST_OUT) {
    bitbuf |= load_le64(in) << bitsleft;
    in += (63 - bitsleft) >> 3;
    bitsleft |= 56;
    uint32_t e = decode_entry(lit, LITLEN_ROOT_BITS, bitbuf, bitsleft);
    if (e & ENTRY_LITERAL) {
      // 56 bits hold three literals of up to 15 bits and the next root lookup.
      *out++ = (uint8_t)(e >> 16);
      e = decode_entry(lit, LITLEN_ROOT_BITS, bitbuf, bitsleft);
      if (e & ENTRY_LITERAL) {
        *out++ = (uint8_t)(e >> 16);
        e = decode_entry(lit, LITLEN_ROOT_BITS, bitbuf, bitsleft);
        if (e & ENTRY_LITERAL) {
          *out++ = (uint8_t)(e >> 16);
          continue;
        }
      }
      bitbuf |= load_le64(in) << bitsleft;
      in += (63 - bitsleft) >> 3;
      bitsleft |= 56;
    }
    if (e & (ENTRY_END | ENTRY_INVALID)) {
      if (e & ENTRY_INVALID) INFLATE_REFUSE("bad huffman code");
      result = FAST_BLOCK_END;
      break;
    }
    uint32_t extra = (e >> 8) & 15;
    uint32_t length = (e >> 16) + BITS(extra);
    CONSUME(extra);
    uint32_t d = decode_entry(dist, DIST_ROOT_BITS, bitbuf, bitsleft);
    if (d & ENTRY_INVALID) INFLATE_REFUSE("bad huffman code");
    extra = (d >> 8) & 15;
    size_t distance = (d >> 16) + BITS(extra);
    CONSUME(extra);
    if (distance > (size_t)(out - out_start)) INFLATE_REFUSE("bad dist");
    copy_match(out, distance, length);
    out += length;
  }
  z->in = in;
  *bitbuf_io = bitbuf;
  *bitsleft_io = bitsleft;
  *out_io = out;
  return result;
}

static bool inflate_block_data(Inflater* z, const uint32_t* lit, const uint32_t* dist) {
  uint64_t bitbuf = z->bitbuf;
  unsigned bitsleft = z->bitsleft;
  uint8_t* out = z->out;
  uint8_t* out_limit = z->out_limit;
  bool ok = false;
  for (;;) {
    FastResult fast = inflate_fast(z, lit, dist, &bitbuf, &bitsleft, &out, out_limit);
    if (fast != FAST_NEEDS_CARE) {
      ok = fast == FAST_BLOCK_END;
      break;
    }
    // Near the end of the input or of the buffer: one symbol at a time.
    REFILL();
    uint32_t e = decode_entry(lit, LITLEN_ROOT_BITS, bitbuf, bitsleft);
    if (e & ENTRY_LITERAL) {
      if (out >= out_limit) {
        z->out = out;
        if (!ensure_room(z, 1)) break;
        out = z->out;
        out_limit = z->out_limit;
      }
      *out++ = (uint8_t)(e >> 16);
      continue;
    }
    if (e & (ENTRY_END | ENTRY_INVALID)) {
      if (e & ENTRY_INVALID) INFLATE_REFUSE("bad huffman code");
      ok = true;
      break;
    }
    uint32_t extra = (e >> 8) & 15;
    uint32_t length = (e >> 16) + BITS(extra);
    CONSUME(extra);
    uint32_t d = decode_entry(dist, DIST_ROOT_BITS, bitbuf, bitsleft);
    if (d & ENTRY_INVALID) INFLATE_REFUSE("bad huffman code");
    extra = (d >> 8) & 15;
    size_t distance = (d >> 16) + BITS(extra);
    CONSUME(extra);
    if (distance > (size_t)(out - z->out_start)) INFLATE_REFUSE("bad dist");
    if ((size_t)(out_limit - out) < length) {
      z->out = out;
      if (!ensure_room(z, length)) break;
      out = z->out;
      out_limit = z->out_limit;
    }
    copy_match(out, distance, length);
    out += length;
  }
  z->bitbuf = bitbuf;
  z->bitsleft = bitsleft;
  z->out = out;
  return ok;
}

// Tops the bit buffer up to at least 56 bits, eight bytes at once while the
// input lasts.
static inline bool refill(Inflater* z) {
  if (z->in_end - z->in >= 8) {
    z->bitbuf |= load_le64(z->in) << z->bitsleft;
    z->in += (63 - z->bitsleft) >> 3;
    z->bitsleft |= 56;
    return true;
  }
  return refill_slow(z);
}

static bool read_bits(Inflater* z, unsigned n, uint32_t* value) {
  if (z->bitsleft < n && !refill(z)) return false;
  *value = (uint32_t)(z->bitbuf & ((1ull << n) - 1));
  z->bitbuf >>= n;
  z->bitsleft -= n;
  return true;
}

static bool inflate_stored(Inflater* z) {
  // Back up to the first whole byte not yet consumed; phantom bytes count as
  // positions past the end.
  z->bitsleft -= z->bitsleft & 7;
  size_t pos = z->before + (size_t)(z->in - z->in_start) + z->phantom - z->bitsleft / 8;
  z->bitbuf = 0;
  z->bitsleft = 0;
  seek_input(z, pos);
  z->phantom = pos >= z->total ? pos - z->total : 0;
  uint8_t header[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) header[i] = (uint8_t)next_byte(z);
  uint32_t len = header[0] | (header[1] << 8);
  uint32_t nlen = header[2] | (header[3] << 8);
  if (nlen != (~len & 0xffff)) INFLATE_REFUSE("zlib corrupt");
  if (z->total - (z->before + (size_t)(z->in - z->in_start)) < len) INFLATE_REFUSE("read past buffer");
  if ((size_t)(z->out_limit - z->out) < len && !ensure_room(z, len)) return false;
  for (uint32_t left = len; left > 0;) {
    if (z->in == z->in_end) next_piece(z);
    size_t n = (size_t)(z->in_end - z->in);
    if (n > left) n = left;
    memcpy(z->out, z->in, n);
    z->out += n;
    z->in += n;
    left -= (uint32_t)n;
  }
  return true;
}

static bool inflate_dynamic_tables(Inflater* z) {
  uint32_t hlit, hdist, hclen;
  if (!read_bits(z, 5, &hlit) || !read_bits(z, 5, &hdist) || !read_bits(z, 4, &hclen)) return false;
  hlit += 257;
  hdist += 1;
  hclen += 4;
  uint8_t codelen_lengths[CODELEN_SYMBOLS] = {0};
  for (uint32_t i = 0; i < hclen; ++i) {
    uint32_t v;
    if (!read_bits(z, 3, &v)) return false;
    codelen_lengths[CODELEN_ORDER[i]] = (uint8_t)v;
  }
  if (!huffman_build(z->codelen, CODELEN_ROOT_BITS, codelen_lengths, CODELEN_SYMBOLS, templates().codelen))
    INFLATE_REFUSE("bad codelengths");
  const uint32_t total = hlit + hdist;  // at most 288 + 32
  uint8_t lengths[LITLEN_SYMBOLS + DIST_SYMBOLS];
  uint32_t n = 0;
  while (n < total) {
    if (z->bitsleft < 16 && !refill(z)) return false;  // 7-bit code + 7 extra bits
    uint32_t e = decode_entry(z->codelen, CODELEN_ROOT_BITS, z->bitbuf, z->bitsleft);
    if (e & ENTRY_INVALID) INFLATE_REFUSE("bad huffman code");
    uint32_t sym = e >> 16;
    if (sym < 16) {
      lengths[n++] = (uint8_t)sym;
      continue;
    }
    uint32_t repeat;
    uint8_t value = 0;
    if (sym == 16) {
      if (n == 0) INFLATE_REFUSE("bad codelengths");  // nothing to repeat yet
      value = lengths[n - 1];
      repeat = 3 + (uint32_t)(z->bitbuf & 3);
      z->bitbuf >>= 2;
      z->bitsleft -= 2;
    } else if (sym == 17) {
      repeat = 3 + (uint32_t)(z->bitbuf & 7);
      z->bitbuf >>= 3;
      z->bitsleft -= 3;
    } else {
      repeat = 11 + (uint32_t)(z->bitbuf & 127);
      z->bitbuf >>= 7;
      z->bitsleft -= 7;
    }
    if (repeat > total - n) INFLATE_REFUSE("bad codelengths");
    memset(lengths + n, value, repeat);
    n += repeat;
  }
  if (!huffman_build(z->litlen, LITLEN_ROOT_BITS, lengths, (int)hlit, templates().litlen) ||
      !huffman_build(z->dist, DIST_ROOT_BITS, lengths + hlit, (int)hdist, templates().dist))
    INFLATE_REFUSE("bad codelengths");
  return true;
}

static bool inflate_stream(Inflater* z) {
  uint8_t cmf = (uint8_t)next_byte(z);
  uint8_t flg = (uint8_t)next_byte(z);
  if ((cmf * 256 + flg) % 31 != 0) INFLATE_REFUSE("bad zlib header");
  if (flg & 32) INFLATE_REFUSE("no preset dict");
  if ((cmf & 15) != 8) INFLATE_REFUSE("bad compression");
  z->bitbuf = 0;
  z->bitsleft = 0;
  for (;;) {
    uint32_t final, type;
    if (!read_bits(z, 1, &final) || !read_bits(z, 2, &type)) return false;
    bool ok;
    if (type == 0) {
      ok = inflate_stored(z);
    } else if (type == 1) {
      const FixedTables* fixed = fixed_tables();
      ok = inflate_block_data(z, fixed->litlen, fixed->dist);
    } else if (type == 2) {
      ok = inflate_dynamic_tables(z) && inflate_block_data(z, z->litlen, z->dist);
    } else {
      INFLATE_REFUSE(nullptr);  // reserved block type: no reason of its own
    }
    if (!ok) return false;
    if (final) break;
  }
  // A cut stream can still reach a final block on the zero bits read past
  // its end; what it produced that way is not in the data.
  if (z->phantom * 8 > (size_t)z->bitsleft) INFLATE_REFUSE("read past buffer");
  return true;
}

// Decodes into out (capacity `cap`, of which COPY_SLACK is slack); returns
// the buffer as it ended up (it may have grown), or null with it released.
static uint8_t* inflate_into(const ZlibPiece* pieces, size_t piece_count, uint8_t* out, size_t cap,
                             bool caller_buffer, size_t max_len, size_t* out_len, const char** reason_out,
                             bool* over_limit) {
  if (over_limit) *over_limit = false;
  Inflater* z = (Inflater*)malloc(sizeof(Inflater));
  if (!z) {
    if (!caller_buffer) free(out);
    return inflate_refuse(reason_out, "outofmem");
  }
  static const ZlibPiece NO_INPUT = {nullptr, 0};
  z->pieces = piece_count ? pieces : &NO_INPUT;
  z->piece_count = piece_count ? piece_count : 1;
  z->before = 0;
  z->total = 0;
  for (size_t i = 0; i < z->piece_count; ++i) z->total += z->pieces[i].data ? z->pieces[i].len : 0;
  enter_piece(z, 0);
  z->bitbuf = 0;
  z->bitsleft = 0;
  z->phantom = 0;
  z->out_start = z->out = out;
  z->out_limit = out + cap - COPY_SLACK;
  z->max_len = max_len;
  z->reason = nullptr;
  z->over_limit = false;
  z->caller_buffer = caller_buffer;
  uint8_t* result = nullptr;
  if (inflate_stream(z)) {
    result = z->out_start;
    *out_len = (size_t)(z->out - z->out_start);
  } else {
    if (!caller_buffer) free(z->out_start);
    if (reason_out && z->reason) *reason_out = z->reason;
    if (over_limit) *over_limit = z->over_limit;
  }
  free(z);
  return result;
}

uint8_t* zlib_decode_bounded(const ZlibPiece* pieces, size_t piece_count, size_t expected_len,
                             size_t max_len, size_t* out_len, const char** reason_out,
                             bool* over_limit) {
  size_t cap = expected_len + COPY_SLACK;
  uint8_t* out = (uint8_t*)malloc(cap);
  if (!out) {
    if (over_limit) *over_limit = false;
    return inflate_refuse(reason_out, "outofmem");
  }
  return inflate_into(pieces, piece_count, out, cap, false, max_len, out_len, reason_out, over_limit);
}

bool zlib_decode_into(const ZlibPiece* pieces, size_t piece_count, uint8_t* out, size_t max_len,
                      size_t* out_len, const char** reason_out, bool* over_limit) {
  return inflate_into(pieces, piece_count, out, max_len + COPY_SLACK, true, max_len, out_len, reason_out,
                      over_limit) != nullptr;
}

uint8_t* zlib_decode_to_new_buffer(const uint8_t* input, int32_t input_len, int32_t* out_len,
                                   const char** reason_out) {
  size_t produced = 0;
  size_t len = input_len > 0 ? (size_t)input_len : 0;
  const ZlibPiece whole = {input, input ? len : 0};
  // Starting near the likely size saves the copies and fresh pages of a dozen
  // doublings; the guess is capped, so a large stream still grows. Should the
  // guess itself not be granted, the usual 16 KiB start gets its chance.
  size_t guess = len < (size_t)GUESS_CAP / GUESS_RATIO ? len * GUESS_RATIO : (size_t)GUESS_CAP;
  if (guess < INITIAL_CAPACITY - COPY_SLACK) guess = INITIAL_CAPACITY - COPY_SLACK;
  const char* reason = nullptr;
  bool over_limit = false;
  uint8_t* out = zlib_decode_bounded(&whole, 1, guess, 0x7fffffff, &produced, &reason, &over_limit);
  if (!out && !over_limit && reason && strcmp(reason, "outofmem") == 0 && guess > INITIAL_CAPACITY - COPY_SLACK) {
    reason = nullptr;
    out = zlib_decode_bounded(&whole, 1, INITIAL_CAPACITY - COPY_SLACK, 0x7fffffff, &produced, &reason, nullptr);
  }
  if (out) {
    *out_len = (int32_t)produced;
  } else if (reason_out && reason) {
    *reason_out = reason;
  }
  return out;
}
