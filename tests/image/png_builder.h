// Hand-built PNG files for the refusal and edge-case tests: chunks with real
// CRCs around zlib-compressed rows, so each test changes exactly one thing.
#pragma once

#include <stdint.h>
#include <zlib.h>

#include <vector>

struct PngBuilder {
  std::vector<uint8_t> bytes;

  PngBuilder() { bytes = {137, 80, 78, 71, 13, 10, 26, 10}; }

  static void put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int shift = 24; shift >= 0; shift -= 8) v.push_back((uint8_t)(x >> shift));
  }

  PngBuilder& chunk(const char* type, const std::vector<uint8_t>& data) {
    put32(bytes, (uint32_t)data.size());
    size_t start = bytes.size();
    bytes.insert(bytes.end(), type, type + 4);
    bytes.insert(bytes.end(), data.begin(), data.end());
    put32(bytes, (uint32_t)crc32(0, bytes.data() + start, (uInt)(bytes.size() - start)));
    return *this;
  }

  PngBuilder& ihdr(uint32_t w, uint32_t h, int depth, int color, int interlace = 0, int comp = 0, int filter = 0) {
    std::vector<uint8_t> d;
    put32(d, w);
    put32(d, h);
    d.insert(d.end(), {(uint8_t)depth, (uint8_t)color, (uint8_t)comp, (uint8_t)filter, (uint8_t)interlace});
    return chunk("IHDR", d);
  }

  // rows: the filtered scanlines, filter byte first.
  PngBuilder& idat(const std::vector<uint8_t>& rows) {
    uLongf len = compressBound((uLong)rows.size());
    std::vector<uint8_t> z(len);
    compress2(z.data(), &len, rows.data(), (uLong)rows.size(), 6);
    z.resize(len);
    return chunk("IDAT", z);
  }
  PngBuilder& iend() { return chunk("IEND", {}); }
};
