// Hand-built PNG files for the refusal and edge-case tests: chunks with real
// CRCs around zlib-compressed rows, so each test changes exactly one thing.
#pragma once

#include <stdint.h>
#include <string.h>
#include <zlib.h>

#include <string>
#include <vector>

struct PngBuilder {
  std::vector<uint8_t> bytes;

  PngBuilder() { bytes = {137, 80, 78, 71, 13, 10, 26, 10}; }

  static void put32(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back((uint8_t)(x >> 24));
    v.push_back((uint8_t)(x >> 16));
    v.push_back((uint8_t)(x >> 8));
    v.push_back((uint8_t)x);
  }

  PngBuilder& chunk(const char* type, const std::vector<uint8_t>& data) {
    put32(bytes, (uint32_t)data.size());
    size_t start = bytes.size();
    bytes.insert(bytes.end(), type, type + 4);
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint32_t crc = (uint32_t)crc32(0, bytes.data() + start, (uInt)(bytes.size() - start));
    put32(bytes, crc);
    return *this;
  }

  PngBuilder& ihdr(uint32_t w, uint32_t h, int depth, int color, int interlace = 0, int comp = 0, int filter = 0) {
    std::vector<uint8_t> d;
    put32(d, w);
    put32(d, h);
    d.push_back((uint8_t)depth);
    d.push_back((uint8_t)color);
    d.push_back((uint8_t)comp);
    d.push_back((uint8_t)filter);
    d.push_back((uint8_t)interlace);
    return chunk("IHDR", d);
  }

  // rows: the filtered scanlines, filter byte first.
  PngBuilder& idat(const std::vector<uint8_t>& rows) { return chunk("IDAT", zlib(rows)); }
  PngBuilder& iend() { return chunk("IEND", {}); }

  static std::vector<uint8_t> zlib(const std::vector<uint8_t>& raw) {
    uLongf len = compressBound((uLong)raw.size());
    std::vector<uint8_t> out(len);
    compress2(out.data(), &len, raw.data(), (uLong)raw.size(), 6);
    out.resize(len);
    return out;
  }
};
