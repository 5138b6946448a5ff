// Baseline sequential JPEG (Huffman, 8-bit): grey and YCbCr with sampling
// factors 1..4. Blocks are decoded into component planes; the chroma
// upsampling and colour conversion run row by row into the result, so no
// upsampled plane is ever stored. A first scan holding every component keeps
// only two MCU rows per plane and converts as it goes; otherwise the planes
// are whole. Entropy decoding reads through a 64-bit buffer with a 9-bit
// lookahead that also resolves DC differences, ends of block and short AC
// run/value pairs.
#include <stdlib.h>
#include <string.h>

#include "image/image.h"
#include "image/image_internal.h"
#include "image/jpeg_internal.h"

enum {
  JPEG_MARKER_NONE = 0xff,
  JPEG_FAST_BITS = 9,
  JPEG_FAST_SIZE = 1 << JPEG_FAST_BITS,
  JPEG_MAX_COMPONENTS = 3,
};

enum : int {
  MARKER_SOI = 0xd8,
  MARKER_EOI = 0xd9,
  MARKER_SOS = 0xda,
  MARKER_DQT = 0xdb,
  MARKER_DRI = 0xdd,
  MARKER_DHT = 0xc4,
  MARKER_SOF0 = 0xc0,
  MARKER_SOF1 = 0xc1,
  MARKER_SOF2 = 0xc2,
  MARKER_COM = 0xfe,
};

struct JpegHuffman {
  uint8_t fast[JPEG_FAST_SIZE];  // symbol index for codes of up to 9 bits, 255 = longer
  uint16_t code[256];
  uint8_t values[256];
  uint8_t size[257];             // code size per symbol index, 0-terminated
  uint32_t maxcode[18];          // per length: one past the last code, left-aligned to 16 bits; [17] sentinel
  int delta[17];                 // per length: symbol index minus code
};

struct JpegComponent {
  int id;            // 0..255
  int h, v;          // sampling factors 1..4
  int tq;            // quantisation table 0..3
  int hd, ha;        // DC and AC tables 0..3 for the current scan
  int dc_pred;       // kept within int16 range
  int x, y;          // plane size in pixels
  int w2, h2;        // plane buffer size: whole MCUs
  int ring_rows;     // rows the buffer keeps: h2, or two MCU rows while streaming
  uint8_t* plane;    // w2 × ring_rows samples; row r lives at r % ring_rows
};

// The result under way: the pixels, the upsampling filter per plane (0 none,
// 1 horizontal 2×, 2 vertical 2×, 3 both) with a row buffer for each, and
// the number of rows finished.
struct JpegOutput {
  uint8_t* image;
  int n;
  int kind[JPEG_MAX_COMPONENTS];
  uint8_t* rows[JPEG_MAX_COMPONENTS];
  int done;
};

struct Jpeg {
  ImageContext* ctx;
  JpegHuffman huff_dc[4];
  JpegHuffman huff_ac[4];
  // Per 9-bit lookahead, a whole step resolved at once (0 = not resolvable):
  // AC: value << 8 | run << 4 | total bits, or just the bits for an end of block;
  // DC: difference << 8 | total bits.
  int32_t fast_ac[4][JPEG_FAST_SIZE];
  int32_t fast_dc[4][JPEG_FAST_SIZE];
  uint16_t dequant[4][64];             // natural order
  int width, height;                   // 1..65535
  int comp_count;                      // 1 or 3
  JpegComponent comp[JPEG_MAX_COMPONENTS];
  int hmax, vmax;
  int mcu_w, mcu_h, mcus_x, mcus_y;
  int scan_n;                          // components in the current scan: 1..4
  int order[4];                        // frame component index per scan component
  uint64_t bits;                       // entropy bits, next bit in bit 63
  int bit_count;                       // valid bits in `bits`
  bool no_more;                        // a marker ended the entropy data: append zeros
  int marker;                          // pending marker, JPEG_MARKER_NONE if none
  int restart_interval;                // 0 = none
  int todo;                            // MCUs until the next restart
  int vector;                          // JPEG_VECTOR_* level for this decode
  // A first scan holding every component is turned into pixels MCU row by
  // MCU row, keeping two MCU rows per plane. A later scan would change the
  // planes, so it sends the decode back to the start with whole planes.
  bool may_stream;
  bool streaming;                      // the planes are two-MCU-row rings
  bool streamed;                       // a scan went straight into `out`
  bool again_whole;                    // decode again with whole planes
  JpegOutput out;
};

// Zigzag position -> natural position, with 15 extra entries so that a run
// carried past 63 stores harmlessly into coefficient 63.
static const uint8_t ZIGZAG[64 + 15] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33,
    40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36,
    29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54,
    47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

// Set before any decode runs (tests, benchmarks); read once per decode.
static int g_vector_limit = JPEG_VECTOR_AVX2;

int jpeg_vector_level(void) {
#if defined(JPEG_HAVE_X86)
  static const int best = jpeg_avx2_supported() ? JPEG_VECTOR_AVX2 : JPEG_VECTOR_SSE2;
#else
  const int best = JPEG_VECTOR_NONE;
#endif
  return g_vector_limit < best ? g_vector_limit : best;
}

int jpeg_limit_vector(int level) {
  g_vector_limit = level < JPEG_VECTOR_NONE ? JPEG_VECTOR_NONE : level;
  return jpeg_vector_level();
}

int jpeg_test(ImageContext* ctx) {
  ImageSource* s = &ctx->source;
  if (source_get8(s) != 0xff) return 0;
  int m = source_get8(s);
  while (m == 0xff) m = source_get8(s);
  return m == MARKER_SOI;
}

static void huffman_clear(JpegHuffman* h) {
  memset(h, 0, sizeof *h);
  memset(h->fast, 255, sizeof h->fast);
  h->maxcode[17] = 0xffffffffu;
}

static bool huffman_build(Jpeg* j, JpegHuffman* h, const int* counts) {
  int k = 0;
  for (int i = 0; i < 16; ++i)
    for (int n = 0; n < counts[i]; ++n) h->size[k++] = (uint8_t)(i + 1);
  h->size[k] = 0;
  int code = 0;
  k = 0;
  for (int len = 1; len <= 16; ++len) {
    h->delta[len] = k - code;
    if (h->size[k] == len) {
      while (h->size[k] == len) h->code[k++] = (uint16_t)code++;
      if (code - 1 >= (1 << len)) IMAGE_REFUSE(j->ctx, "bad code lengths");
    }
    h->maxcode[len] = (uint32_t)code << (16 - len);
    code <<= 1;
  }
  h->maxcode[17] = 0xffffffffu;
  memset(h->fast, 255, sizeof h->fast);
  for (int i = 0; i < k; ++i) {
    int s = h->size[i];
    if (s <= JPEG_FAST_BITS) {
      int c = h->code[i] << (JPEG_FAST_BITS - s);
      int m = 1 << (JPEG_FAST_BITS - s);
      for (int n = 0; n < m; ++n) h->fast[c + n] = (uint8_t)i;
    }
  }
  return true;
}

// For each 9-bit lookahead whose code and magnitude bits both fit, the
// coefficient (or DC difference), the zero run before it and the bits they
// take together. An AC end of block (any zero-size symbol but the 16-zero
// run) gets its code length alone, with value and run 0.
static void build_fast(int32_t* fast, const JpegHuffman* h, bool ac) {
  for (int i = 0; i < JPEG_FAST_SIZE; ++i) {
    fast[i] = 0;
    int idx = h->fast[i];
    if (idx == 255) continue;
    int sym = h->values[idx];
    int run = ac ? sym >> 4 : 0, mag = ac ? sym & 15 : sym, len = h->size[idx];
    if (ac && !mag) {
      if (sym != 0xf0) fast[i] = len;
      continue;
    }
    if (mag > 16 || len + mag > JPEG_FAST_BITS) continue;
    int v = 0;
    if (mag) {
      v = ((i << len) & (JPEG_FAST_SIZE - 1)) >> (JPEG_FAST_BITS - mag);
      if (v < (1 << (mag - 1))) v -= (1 << mag) - 1;
    }
    fast[i] = v * 256 + run * 16 + len + mag;
  }
}

static void jpeg_refill_bytewise(Jpeg* j) {
  ImageSource* s = &j->ctx->source;
  while (j->bit_count <= 56) {
    int b = 0;
    if (!j->no_more) {
      b = source_get8(s);
      if (b == 0xff) {
        int c = source_get8(s);
        while (c == 0xff) c = source_get8(s);  // fill bytes before a marker
        if (c != 0) {
          j->marker = c;
          j->no_more = true;
          b = 0;
        }
      }
    }
    j->bits |= (uint64_t)b << (56 - j->bit_count);
    j->bit_count += 8;
  }
}

// The entropy bits held in registers while a block decodes.
struct JpegBits {
  uint64_t bits;
  int count;
};

// Tops the buffer up to more than 56 bits. When the bytes it takes are all in
// the input and none is 0xFF (no stuffing, no marker), one 8-byte load does
// what the byte loop would.
static inline void jpeg_refill_bits(Jpeg* j, JpegBits* b) {
  ImageSource* s = &j->ctx->source;
  if (!j->no_more && b->count <= 56 && s->len - s->pos >= 8) {
    const int n = ((56 - b->count) >> 3) + 1;  // 1..8 bytes
    uint64_t v;
    memcpy(&v, s->data + s->pos, 8);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    const uint64_t keep = ~0ull << (64 - 8 * n);
    // A byte of x is zero exactly where a kept byte of v is 0xFF.
    const uint64_t x = ~v | ~keep;
    const uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    if (!((x - ones) & ~x & highs)) {
      b->bits |= (v & keep) >> b->count;
      b->count += 8 * n;
      s->pos += (size_t)n;
      return;
    }
  }
  j->bits = b->bits;
  j->bit_count = b->count;
  jpeg_refill_bytewise(j);
  b->bits = j->bits;
  b->count = j->bit_count;
}

static void jpeg_refill(Jpeg* j) {
  JpegBits b = {j->bits, j->bit_count};
  jpeg_refill_bits(j, &b);
  j->bits = b.bits;
  j->bit_count = b.count;
}

static inline void jpeg_consume(JpegBits* b, int n) {
  b->bits <<= n;
  b->count -= n;
}

// Decodes one Huffman symbol, or -1 for a code the table does not hold.
static inline int jpeg_decode(Jpeg* j, JpegBits* b, const JpegHuffman* h) {
  if (b->count < 16) jpeg_refill_bits(j, b);
  int k = h->fast[b->bits >> (64 - JPEG_FAST_BITS)];
  if (k < 255) {
    jpeg_consume(b, h->size[k]);
    return h->values[k];
  }
  uint32_t top = (uint32_t)(b->bits >> 48);
  int len = JPEG_FAST_BITS + 1;
  while (top >= h->maxcode[len]) ++len;
  if (len == 17) return -1;
  int idx = (int)(top >> (16 - len)) + h->delta[len];
  if (idx < 0 || idx > 255) return -1;
  jpeg_consume(b, len);
  return h->values[idx];
}

// Receives n (1..16) bits and applies T.81 EXTEND.
static inline int jpeg_extend_receive(Jpeg* j, JpegBits* b, int n) {
  if (b->count < n) jpeg_refill_bits(j, b);
  int v = (int)(b->bits >> (64 - n));
  jpeg_consume(b, n);
  if (v < (1 << (n - 1))) v -= (1 << n) - 1;
  return v;
}

static inline uint8_t clamp255(int x) { return (uint8_t)(x < 0 ? 0 : x > 255 ? 255 : x); }

// One 1-D pass of the integer IDCT (constants are value × 4096). 64-bit so
// that no coefficient pattern, however hostile, overflows.
#define IDCT_1D(s0, s1, s2, s3, s4, s5, s6, s7)                     \
  int64_t p1 = ((s2) + (s6)) * 2217;                                \
  int64_t e2 = p1 - (s6) * 7567;                                    \
  int64_t e3 = p1 + (s2) * 3135;                                    \
  int64_t e0 = ((s0) + (s4)) * 4096;                                \
  int64_t e1 = ((s0) - (s4)) * 4096;                                \
  int64_t x0 = e0 + e3, x3 = e0 - e3, x1 = e1 + e2, x2 = e1 - e2;   \
  int64_t p5 = ((s7) + (s5) + (s3) + (s1)) * 4816;                  \
  int64_t q1 = p5 - ((s7) + (s1)) * 3685;                           \
  int64_t q2 = p5 - ((s5) + (s3)) * 10497;                          \
  int64_t q3 = -((s7) + (s3)) * 8034;                               \
  int64_t q4 = -((s5) + (s1)) * 1597;                               \
  int64_t o0 = (s7) * 1223 + q1 + q3;                               \
  int64_t o1 = (s5) * 8410 + q2 + q4;                               \
  int64_t o2 = (s3) * 12586 + q2 + q3;                              \
  int64_t o3 = (s1) * 6149 + q1 + q4;

void jpeg_idct_scalar(const int16_t* coef, const uint16_t* q, uint8_t* out, int stride) {
  int32_t tmp[64];
  for (int c = 0; c < 8; ++c) {
    const int16_t* d = coef + c;
    int32_t* t = tmp + c;
    if (!(d[8] | d[16] | d[24] | d[32] | d[40] | d[48] | d[56])) {
      int32_t dc = d[0] * q[c] * 4;
      for (int r = 0; r < 8; ++r) t[8 * r] = dc;
      continue;
    }
    int64_t s0 = d[0] * q[c], s1 = d[8] * q[8 + c], s2 = d[16] * q[16 + c], s3 = d[24] * q[24 + c];
    int64_t s4 = d[32] * q[32 + c], s5 = d[40] * q[40 + c], s6 = d[48] * q[48 + c], s7 = d[56] * q[56 + c];
    IDCT_1D(s0, s1, s2, s3, s4, s5, s6, s7)
    t[0] = (int32_t)((x0 + o3 + 512) >> 10);
    t[56] = (int32_t)((x0 - o3 + 512) >> 10);
    t[8] = (int32_t)((x1 + o2 + 512) >> 10);
    t[48] = (int32_t)((x1 - o2 + 512) >> 10);
    t[16] = (int32_t)((x2 + o1 + 512) >> 10);
    t[40] = (int32_t)((x2 - o1 + 512) >> 10);
    t[24] = (int32_t)((x3 + o0 + 512) >> 10);
    t[32] = (int32_t)((x3 - o0 + 512) >> 10);
  }
  for (int r = 0; r < 8; ++r, out += stride) {
    const int32_t* t = tmp + 8 * r;
    int64_t s0 = t[0], s1 = t[1], s2 = t[2], s3 = t[3], s4 = t[4], s5 = t[5], s6 = t[6], s7 = t[7];
    IDCT_1D(s0, s1, s2, s3, s4, s5, s6, s7)
    // 65536 rounds the 17-bit shift; 128 undoes the level shift.
    out[0] = clamp255((int)((x0 + o3 + 65536) >> 17) + 128);
    out[7] = clamp255((int)((x0 - o3 + 65536) >> 17) + 128);
    out[1] = clamp255((int)((x1 + o2 + 65536) >> 17) + 128);
    out[6] = clamp255((int)((x1 - o2 + 65536) >> 17) + 128);
    out[2] = clamp255((int)((x2 + o1 + 65536) >> 17) + 128);
    out[5] = clamp255((int)((x2 - o1 + 65536) >> 17) + 128);
    out[3] = clamp255((int)((x3 + o0 + 65536) >> 17) + 128);
    out[4] = clamp255((int)((x3 - o0 + 65536) >> 17) + 128);
  }
}

// Decodes one block's coefficients into coef (zeroed by the caller). Returns
// -1 on a bad code, else whether any AC coefficient was stored.
static inline int jpeg_decode_coefficients(Jpeg* j, JpegComponent* c, int16_t* coef) {
  const JpegHuffman* hdc = &j->huff_dc[c->hd];
  const JpegHuffman* hac = &j->huff_ac[c->ha];
  const int32_t* fast_ac = j->fast_ac[c->ha];
  JpegBits b = {j->bits, j->bit_count};
  if (b.count < 16) jpeg_refill_bits(j, &b);
  int diff;
  int32_t f = j->fast_dc[c->hd][b.bits >> (64 - JPEG_FAST_BITS)];
  if (f) {
    jpeg_consume(&b, f & 15);
    diff = f >> 8;
  } else {
    int t = jpeg_decode(j, &b, hdc);
    if (t < 0 || t > 16) {
      j->bits = b.bits;
      j->bit_count = b.count;
      return -1;
    }
    diff = t ? jpeg_extend_receive(j, &b, t) : 0;
  }
  c->dc_pred = (int16_t)(c->dc_pred + diff);  // wraps only for nonsense data
  coef[0] = (int16_t)c->dc_pred;
  int any_ac = 0;
  int k = 1;
  do {
    if (b.count < 16) jpeg_refill_bits(j, &b);
    f = fast_ac[b.bits >> (64 - JPEG_FAST_BITS)];
    if (f) {
      jpeg_consume(&b, f & 15);
      if (!(f >> 8)) break;  // end of block
      k += (f >> 4) & 15;
      coef[ZIGZAG[k++]] = (int16_t)(f >> 8);
      any_ac = 1;
      continue;
    }
    int rs = jpeg_decode(j, &b, hac);
    if (rs < 0) {
      any_ac = -1;
      break;
    }
    int s = rs & 15, r = rs >> 4;
    if (s == 0) {
      if (rs != 0xf0) break;  // end of block
      k += 16;
    } else {
      k += r;
      coef[ZIGZAG[k++]] = (int16_t)jpeg_extend_receive(j, &b, s);
      any_ac = 1;
    }
  } while (k < 64);
  j->bits = b.bits;
  j->bit_count = b.count;
  return any_ac;
}

// Decodes one block and writes its samples at `out`.
static bool jpeg_decode_block(Jpeg* j, JpegComponent* c, uint8_t* out, int stride) {
  alignas(32) int16_t coef[64];
  memset(coef, 0, sizeof coef);
  int any_ac = jpeg_decode_coefficients(j, c, coef);
  if (any_ac < 0) IMAGE_REFUSE(j->ctx, "bad huffman code");
  const uint16_t* q = j->dequant[c->tq];
  if (!any_ac) {
    // Both passes of a DC-only block reduce to one value.
    uint8_t v = clamp255((int)(((int64_t)coef[0] * q[0] * 16384 + 65536) >> 17) + 128);
    for (int r = 0; r < 8; ++r) memset(out + r * stride, v, 8);
    return true;
  }
#if defined(JPEG_HAVE_X86)
  if (j->vector >= JPEG_VECTOR_AVX2 && jpeg_idct_avx2(coef, q, out, stride)) return true;
  if (j->vector >= JPEG_VECTOR_SSE2 && jpeg_idct_sse2(coef, q, out, stride)) return true;
#endif
  jpeg_idct_scalar(coef, q, out, stride);
  return true;
}

static void jpeg_reset(Jpeg* j) {
  j->bits = 0;
  j->bit_count = 0;
  j->no_more = false;
  j->marker = JPEG_MARKER_NONE;
  for (int i = 0; i < j->comp_count; ++i) j->comp[i].dc_pred = 0;
  j->todo = j->restart_interval ? j->restart_interval : 0x7fffffff;
}

// After each MCU: at the end of a restart interval either an RST marker lets
// decoding go on, or anything else ends the scan (without failing).
static bool jpeg_restart_due(Jpeg* j, bool* scan_over) {
  if (--j->todo > 0) return true;
  if (j->bit_count < 24) jpeg_refill(j);
  if (j->marker < 0xd0 || j->marker > 0xd7) {
    *scan_over = true;
    return true;
  }
  jpeg_reset(j);
  return true;
}

static inline uint8_t* comp_row(const JpegComponent* c, int r) {
  return c->plane + (size_t)(r % c->ring_rows) * (size_t)c->w2;
}

static void jpeg_output_rows(Jpeg* j, JpegOutput* o, int end);

static bool jpeg_decode_scan(Jpeg* j) {
  jpeg_reset(j);
  bool over = false;
  if (j->scan_n == 1) {
    JpegComponent* c = &j->comp[j->order[0]];
    int bw = (c->x + 7) >> 3, bh = (c->y + 7) >> 3;
    for (int by = 0; by < bh && !over; ++by) {
      for (int bx = 0; bx < bw && !over; ++bx) {
        if (!jpeg_decode_block(j, c, comp_row(c, by * 8) + bx * 8, c->w2)) return false;
        jpeg_restart_due(j, &over);
      }
    }
    return true;
  }
  for (int my = 0; my < j->mcus_y; ++my) {
    if (j->streaming) {
      // Blocks a short scan never reaches read as zero, as in a whole plane.
      for (int i = 0; i < j->comp_count; ++i) {
        JpegComponent* c = &j->comp[i];
        memset(comp_row(c, my * c->v * 8), 0, (size_t)c->v * 8 * (size_t)c->w2);
      }
    } else if (over) {
      break;
    }
    for (int mx = 0; mx < j->mcus_x && !over; ++mx) {
      for (int k = 0; k < j->scan_n; ++k) {
        JpegComponent* c = &j->comp[j->order[k]];
        for (int y = 0; y < c->v; ++y) {
          for (int x = 0; x < c->h; ++x) {
            int px = (mx * c->h + x) * 8, py = (my * c->v + y) * 8;
            if (!jpeg_decode_block(j, c, comp_row(c, py) + px, c->w2)) return false;
          }
        }
      }
      jpeg_restart_due(j, &over);
    }
    if (j->streaming) {
      // An output row needs at most the plane row after its own, so all but
      // the last two rows of this MCU row are final (all of them at the end).
      int end = my + 1 == j->mcus_y ? j->height : (my + 1) * j->mcu_h - 2;
      jpeg_output_rows(j, &j->out, end < j->height ? end : j->height);
    }
  }
  if (j->streaming) j->streamed = true;
  return true;
}

static int jpeg_get_marker(Jpeg* j) {
  if (j->marker != JPEG_MARKER_NONE) {
    int m = j->marker;
    j->marker = JPEG_MARKER_NONE;
    return m;
  }
  ImageSource* s = &j->ctx->source;
  int x = source_get8(s);
  if (x != 0xff) return JPEG_MARKER_NONE;
  while (x == 0xff) x = source_get8(s);
  return x;
}

static bool jpeg_read_dht(Jpeg* j) {
  ImageSource* s = &j->ctx->source;
  int left = source_get16be(s) - 2;
  while (left > 0) {
    int q = source_get8(s);
    int tc = q >> 4, th = q & 15;
    if (tc > 1 || th > 3) IMAGE_REFUSE(j->ctx, "bad DHT header");
    int counts[16], total = 0;
    for (int i = 0; i < 16; ++i) total += counts[i] = source_get8(s);
    if (total > 256) IMAGE_REFUSE(j->ctx, "bad DHT header");  // more symbols than a table holds
    left -= 17;
    JpegHuffman* h = tc == 0 ? &j->huff_dc[th] : &j->huff_ac[th];
    if (!huffman_build(j, h, counts)) return false;
    for (int i = 0; i < total; ++i) h->values[i] = (uint8_t)source_get8(s);
    build_fast(tc ? j->fast_ac[th] : j->fast_dc[th], h, tc != 0);
    left -= total;
  }
  if (left != 0) IMAGE_REFUSE(j->ctx, nullptr);
  return true;
}

static bool jpeg_read_dqt(Jpeg* j) {
  ImageSource* s = &j->ctx->source;
  int left = source_get16be(s) - 2;
  while (left > 0) {
    int q = source_get8(s);
    if (q >> 4) IMAGE_REFUSE(j->ctx, "bad DQT type");
    if ((q & 15) > 3) IMAGE_REFUSE(j->ctx, "bad DQT table");
    for (int i = 0; i < 64; ++i) j->dequant[q & 15][ZIGZAG[i]] = (uint16_t)source_get8(s);
    left -= 65;
  }
  if (left != 0) IMAGE_REFUSE(j->ctx, nullptr);
  return true;
}

static bool jpeg_process_marker(Jpeg* j, int m) {
  ImageSource* s = &j->ctx->source;
  switch (m) {
    case JPEG_MARKER_NONE:
      IMAGE_REFUSE(j->ctx, "expected marker");
    case MARKER_SOF2:
      IMAGE_REFUSE(j->ctx, "progressive jpeg");
    case MARKER_DHT:
      return jpeg_read_dht(j);
    case MARKER_DQT:
      return jpeg_read_dqt(j);
    case MARKER_DRI:
      if (source_get16be(s) != 4) IMAGE_REFUSE(j->ctx, "bad DRI len");
      j->restart_interval = source_get16be(s);
      return true;
    default:
      if ((m >= 0xe0 && m <= 0xef) || m == MARKER_COM) {
        source_skip(s, source_get16be(s) - 2);
        return true;
      }
      // Arithmetic-coded frames get a reason of their own; other kinds fail bare.
      if (m == 0xc9 || m == 0xca || m == 0xcb || m == 0xcd || m == 0xce || m == 0xcf)
        IMAGE_REFUSE(j->ctx, "arithmetic jpeg");
      IMAGE_REFUSE(j->ctx, nullptr);
  }
}

static bool jpeg_read_sof(Jpeg* j) {
  ImageSource* s = &j->ctx->source;
  int len = source_get16be(s);
  if (len < 11) IMAGE_REFUSE(j->ctx, "bad SOF len");
  if (source_get8(s) != 8) IMAGE_REFUSE(j->ctx, "only 8-bit");
  j->height = source_get16be(s);
  if (j->height == 0) IMAGE_REFUSE(j->ctx, "no header height");
  j->width = source_get16be(s);
  if (j->width == 0) IMAGE_REFUSE(j->ctx, "0 width");
  j->comp_count = source_get8(s);
  if (j->comp_count != 1 && j->comp_count != 3) IMAGE_REFUSE(j->ctx, "bad component count");
  if (len != 8 + 3 * j->comp_count) IMAGE_REFUSE(j->ctx, "bad SOF len");
  j->hmax = j->vmax = 1;
  for (int i = 0; i < j->comp_count; ++i) {
    JpegComponent* c = &j->comp[i];
    c->id = source_get8(s);
    if (c->id != i + 1 && c->id != i) IMAGE_REFUSE(j->ctx, "bad component ID");
    int q = source_get8(s);
    c->h = q >> 4;
    if (c->h < 1 || c->h > 4) IMAGE_REFUSE(j->ctx, "bad H");
    c->v = q & 15;
    if (c->v < 1 || c->v > 4) IMAGE_REFUSE(j->ctx, "bad V");
    c->tq = source_get8(s);
    if (c->tq > 3) IMAGE_REFUSE(j->ctx, "bad TQ");
    if (c->h > j->hmax) j->hmax = c->h;
    if (c->v > j->vmax) j->vmax = c->v;
  }
  if ((1u << 30) / (unsigned)j->width / (unsigned)j->comp_count < (unsigned)j->height)
    IMAGE_REFUSE(j->ctx, "too large");
  if (!image_pixels_allowed(j->ctx, j->width, j->height)) return false;
  j->mcu_w = j->hmax * 8;
  j->mcu_h = j->vmax * 8;
  j->mcus_x = (j->width + j->mcu_w - 1) / j->mcu_w;
  j->mcus_y = (j->height + j->mcu_h - 1) / j->mcu_h;
  for (int i = 0; i < j->comp_count; ++i) {
    JpegComponent* c = &j->comp[i];
    c->x = (j->width * c->h + j->hmax - 1) / j->hmax;
    c->y = (j->height * c->v + j->vmax - 1) / j->vmax;
    c->w2 = j->mcus_x * c->h * 8;
    c->h2 = j->mcus_y * c->v * 8;
  }
  return true;
}

// Whole planes, zeroed so that a component no scan covers reads as 0.
static bool jpeg_alloc_planes(Jpeg* j) {
  for (int i = 0; i < j->comp_count; ++i) {
    JpegComponent* c = &j->comp[i];
    if (c->plane) continue;
    c->ring_rows = c->h2;
    c->plane = (uint8_t*)calloc((size_t)c->w2, (size_t)c->h2);
    if (!c->plane) IMAGE_REFUSE(j->ctx, "outofmem");
  }
  return true;
}

static bool jpeg_output_begin(Jpeg* j, JpegOutput* o, int n);
static void jpeg_output_end(JpegOutput* o);

// Before a scan: rings and the output when the scan can stream, else whole
// planes. Streaming is only an attempt: whatever refuses it (the output's
// size, an uncommon filter, memory) leaves the reason as it was and the
// whole-plane decode to meet it, as it always did, after the last scan.
static bool jpeg_prepare_planes(Jpeg* j) {
  if (j->comp[0].plane) return true;
  if (j->may_stream && j->comp_count == 3 && j->scan_n == 3) {
    const char* reason = j->ctx->reason;
    bool ok = jpeg_output_begin(j, &j->out, j->out.n);
    for (int i = 0; ok && i < j->comp_count; ++i) {
      JpegComponent* c = &j->comp[i];
      c->ring_rows = c->h2 < 16 * c->v ? c->h2 : 16 * c->v;
      c->plane = (uint8_t*)malloc((size_t)c->w2 * (size_t)c->ring_rows);
      ok = c->plane != nullptr;
    }
    if (ok) {
      j->streaming = true;
      return true;
    }
    jpeg_output_end(&j->out);
    free(j->out.image);
    j->out.image = nullptr;
    for (int i = 0; i < j->comp_count; ++i) {
      free(j->comp[i].plane);
      j->comp[i].plane = nullptr;
    }
    j->ctx->reason = reason;
  }
  return jpeg_alloc_planes(j);
}

static bool jpeg_read_sos(Jpeg* j) {
  ImageSource* s = &j->ctx->source;
  int len = source_get16be(s);
  j->scan_n = source_get8(s);
  if (j->scan_n < 1 || j->scan_n > 4 || j->scan_n > j->comp_count)
    IMAGE_REFUSE(j->ctx, "bad SOS component count");
  if (len != 6 + 2 * j->scan_n) IMAGE_REFUSE(j->ctx, "bad SOS len");
  for (int i = 0; i < j->scan_n; ++i) {
    int id = source_get8(s), q = source_get8(s);
    int which = -1;
    for (int k = 0; k < j->comp_count; ++k)
      if (j->comp[k].id == id) which = k;
    if (which < 0) IMAGE_REFUSE(j->ctx, nullptr);
    JpegComponent* c = &j->comp[which];
    c->hd = q >> 4;
    if (c->hd > 3) IMAGE_REFUSE(j->ctx, "bad DC huff");
    c->ha = q & 15;
    if (c->ha > 3) IMAGE_REFUSE(j->ctx, "bad AC huff");
    j->order[i] = which;
  }
  int ss = source_get8(s);
  source_get8(s);  // spectral end, not examined
  int ah_al = source_get8(s);
  if (ss != 0 || ah_al != 0) IMAGE_REFUSE(j->ctx, "bad SOS");
  return true;
}

// Reads the header up to the frame, then every scan up to EOI.
static bool jpeg_decode_image(Jpeg* j) {
  ImageSource* s = &j->ctx->source;
  j->marker = JPEG_MARKER_NONE;
  if (jpeg_get_marker(j) != MARKER_SOI) IMAGE_REFUSE(j->ctx, "no SOI");
  int m = jpeg_get_marker(j);
  while (m != MARKER_SOF0 && m != MARKER_SOF1) {
    if (!jpeg_process_marker(j, m)) return false;
    m = jpeg_get_marker(j);
    while (m == JPEG_MARKER_NONE) {
      if (source_at_end(s)) IMAGE_REFUSE(j->ctx, "no SOF");
      m = jpeg_get_marker(j);
    }
  }
  if (!jpeg_read_sof(j)) return false;
  if (!j->out.n) j->out.n = j->comp_count;
  for (m = jpeg_get_marker(j); m != MARKER_EOI; m = jpeg_get_marker(j)) {
    if (m == MARKER_SOS) {
      if (!jpeg_read_sos(j)) return false;
      if (j->streamed) {
        j->again_whole = true;
        return false;
      }
      if (!jpeg_prepare_planes(j) || !jpeg_decode_scan(j)) return false;
      // The entropy reader may stop short of the next marker (padding bits,
      // stray bytes): move on to it.
      if (j->marker == JPEG_MARKER_NONE) {
        while (!source_at_end(s)) {
          if (source_get8(s) != 0xff) continue;
          int c = source_get8(s);
          while (c == 0xff) c = source_get8(s);
          if (c != 0) {
            j->marker = c;
            break;
          }
        }
      }
    } else if (!jpeg_process_marker(j, m)) {
      return false;
    }
  }
  return true;
}

void jpeg_upsample_2x2_scalar(const uint8_t* near, const uint8_t* far, int w, uint8_t* out) {
  out[0] = near[0];
  for (int x = 0; x < w - 1; ++x) {
    out[2 * x + 1] = (uint8_t)((9 * near[x] + 3 * near[x + 1] + 3 * far[x] + far[x + 1]) >> 4);
    out[2 * x + 2] = (uint8_t)((9 * near[x + 1] + 3 * near[x] + 3 * far[x + 1] + far[x]) >> 4);
  }
  out[2 * w - 1] = near[w - 1];
}

void jpeg_upsample_2x1_scalar(const uint8_t* in, int w, uint8_t* out) {
  out[0] = in[0];
  out[1] = (uint8_t)((3 * in[0] + in[1]) >> 2);
  for (int i = 1; i < w - 1; ++i) {
    int n = 3 * in[i];
    out[2 * i] = (uint8_t)((n + in[i - 1]) >> 2);
    out[2 * i + 1] = (uint8_t)((n + in[i + 1]) >> 2);
  }
  out[2 * w - 2] = (uint8_t)((3 * in[w - 1] + in[w - 2]) >> 2);
  out[2 * w - 1] = in[w - 1];
}

void jpeg_upsample_1x2_scalar(const uint8_t* near, const uint8_t* far, int w, uint8_t* out) {
  for (int x = 0; x < w; ++x) out[x] = (uint8_t)((3 * near[x] + far[x]) >> 2);
}

// Produces row `y` of a component upsampled to the full image grid into `out`
// (or returns a pointer straight into the plane when no upsampling is needed).
static const uint8_t* jpeg_upsample_row(const JpegComponent* c, int kind, int y, uint8_t* out, int vector) {
  const int w = c->x, h = c->y;
#if defined(JPEG_HAVE_X86)
  const bool sse2 = vector >= JPEG_VECTOR_SSE2;
#else
  (void)vector;
#endif
  if (kind == 0) return comp_row(c, y);
  if (kind == 1) {  // horizontal 2×
    const uint8_t* in = comp_row(c, y);
    if (w == 1) {
      out[0] = out[1] = in[0];
      return out;
    }
#if defined(JPEG_HAVE_X86)
    if (sse2) return jpeg_upsample_2x1_sse2(in, w, out), out;
#endif
    jpeg_upsample_2x1_scalar(in, w, out);
    return out;
  }
  if (kind == 2) {  // vertical 2×
    int i = y >> 1;
    const uint8_t* near = comp_row(c, i);
    int other = (y & 1) ? (i + 1 < h ? i + 1 : i) : (i > 0 ? i - 1 : i);
    const uint8_t* far = comp_row(c, other);
#if defined(JPEG_HAVE_X86)
    if (sse2) return jpeg_upsample_1x2_sse2(near, far, w, out), out;
#endif
    jpeg_upsample_1x2_scalar(near, far, w, out);
    return out;
  }
  // 2 × 2: the outermost output rows and columns copy the nearest sample.
  if (y == 0 || y == 2 * h - 1) {
    const uint8_t* in = comp_row(c, y == 0 ? 0 : h - 1);
    for (int x = 0; x < w; ++x) out[2 * x] = out[2 * x + 1] = in[x];
    return out;
  }
  int i = (y - 1) >> 1;
  const uint8_t* near = comp_row(c, (y & 1) ? i : i + 1);
  const uint8_t* far = comp_row(c, (y & 1) ? i + 1 : i);
#if defined(JPEG_HAVE_X86)
  if (sse2) return jpeg_upsample_2x2_sse2(near, far, w, out), out;
#endif
  jpeg_upsample_2x2_scalar(near, far, w, out);
  return out;
}

void jpeg_ycbcr_row_scalar(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int w, int n) {
  for (int x = 0; x < w; ++x) {
    int yy = (y[x] << 16) + 32768;
    int b = cb[x] - 128, r = cr[x] - 128;
    out[0] = clamp255((yy + 91881 * r) >> 16);
    out[1] = clamp255((yy - 46802 * r - 22554 * b) >> 16);
    out[2] = clamp255((yy + 116130 * b) >> 16);
    if (n == 4) out[3] = 255;
    out += n;
  }
}

// Allocates the result and the upsampling rows; on failure records why and
// leaves nothing allocated.
static bool jpeg_output_begin(Jpeg* j, JpegOutput* o, int n) {
  o->n = n;
  o->done = 0;
  o->image = image_alloc_pixels(j->ctx, j->width, j->height, n, 1);
  if (!o->image) return false;
  const int planes = n <= 2 ? 1 : j->comp_count;
  const char* refusal = nullptr;
  for (int i = 0; i < planes && !refusal; ++i) {
    const JpegComponent* c = &j->comp[i];
    int kind;
    if (c->h == j->hmax && c->v == j->vmax) {
      kind = 0;
    } else if (c->h * 2 == j->hmax && c->v == j->vmax) {
      kind = 1;
    } else if (c->h == j->hmax && c->v * 2 == j->vmax) {
      kind = 2;
    } else if (c->h * 2 == j->hmax && c->v * 2 == j->vmax) {
      kind = 3;
    } else {
      refusal = "uncommon H or V";
      break;
    }
    o->kind[i] = kind;
    if (kind) {
      o->rows[i] = (uint8_t*)malloc((size_t)c->x * 2 + 3);
      if (!o->rows[i]) refusal = "outofmem";
    }
  }
  if (!refusal) return true;
  jpeg_output_end(o);
  free(o->image);
  o->image = nullptr;
  IMAGE_REFUSE(j->ctx, refusal);
}

static void jpeg_output_end(JpegOutput* o) {
  for (int i = 0; i < JPEG_MAX_COMPONENTS; ++i) {
    free(o->rows[i]);
    o->rows[i] = nullptr;
  }
}

// Converts rows o->done .. end - 1 into the result.
static void jpeg_output_rows(Jpeg* j, JpegOutput* o, int end) {
  const int n = o->n;
  const size_t stride = (size_t)j->width * n;
  for (int y = o->done; y < end; ++y) {
    uint8_t* out = o->image + y * stride;
    const uint8_t* ly = jpeg_upsample_row(&j->comp[0], o->kind[0], y, o->rows[0], j->vector);
    if (n <= 2) {
      if (n == 1) {
        memcpy(out, ly, (size_t)j->width);
      } else {
        for (int x = 0; x < j->width; ++x) {
          out[2 * x] = ly[x];
          out[2 * x + 1] = 255;
        }
      }
    } else if (j->comp_count == 3) {
      const uint8_t* cb = jpeg_upsample_row(&j->comp[1], o->kind[1], y, o->rows[1], j->vector);
      const uint8_t* cr = jpeg_upsample_row(&j->comp[2], o->kind[2], y, o->rows[2], j->vector);
#if defined(JPEG_HAVE_X86)
      if (j->vector >= JPEG_VECTOR_AVX2)
        jpeg_ycbcr_row_avx2(ly, cb, cr, out, j->width, n);
      else if (j->vector >= JPEG_VECTOR_SSE2)
        jpeg_ycbcr_row_sse2(ly, cb, cr, out, j->width, n);
      else
#endif
        jpeg_ycbcr_row_scalar(ly, cb, cr, out, j->width, n);
    } else {
      for (int x = 0; x < j->width; ++x, out += n) {
        out[0] = out[1] = out[2] = ly[x];
        if (n == 4) out[3] = 255;
      }
    }
  }
  if (end > o->done) o->done = end;
}

static uint8_t* jpeg_output(Jpeg* j) {
  JpegOutput* o = &j->out;
  if (!j->streamed) {
    if (!jpeg_alloc_planes(j) || !jpeg_output_begin(j, o, o->n)) return nullptr;
    jpeg_output_rows(j, o, j->height);
  }
  jpeg_output_end(o);
  uint8_t* image = o->image;
  o->image = nullptr;
  return image;
}

static void jpeg_free(Jpeg* j) {
  jpeg_output_end(&j->out);
  free(j->out.image);
  for (int i = 0; i < JPEG_MAX_COMPONENTS; ++i) free(j->comp[i].plane);
  free(j);
}

uint8_t* jpeg_load(ImageContext* ctx, int32_t* w, int32_t* h, int32_t* comp, int req_comp) {
  if (req_comp < 0 || req_comp > 4) IMAGE_REFUSE(ctx, "bad req_comp");
  const size_t start = ctx->source.pos;
  uint8_t* image = nullptr;
  for (int attempt = 0; attempt < 2; ++attempt) {
    Jpeg* j = (Jpeg*)calloc(1, sizeof(Jpeg));
    if (!j) IMAGE_REFUSE(ctx, "outofmem");
    j->ctx = ctx;
    j->vector = jpeg_vector_level();
    j->may_stream = attempt == 0;
    j->out.n = req_comp;
    for (int i = 0; i < 4; ++i) {
      huffman_clear(&j->huff_dc[i]);
      huffman_clear(&j->huff_ac[i]);
    }
    ctx->source.pos = start;
    if (jpeg_decode_image(j)) {
      image = jpeg_output(j);
      if (image) {
        *w = j->width;
        *h = j->height;
        *comp = j->comp_count;
      }
    }
    bool again = j->again_whole;
    jpeg_free(j);
    if (!again) break;
  }
  return image;
}
