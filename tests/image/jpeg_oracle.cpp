// Encoding and reference decoding through libjpeg-turbo for the JPEG oracle
// tests, the fuzz seeds and the benchmarks. Errors longjmp back here.
#include "jpeg_oracle.h"

#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>

#include <jpeglib.h>

std::vector<uint8_t> jpeg_oracle_pixels(int width, int height, int components) {
  std::vector<uint8_t> px((size_t)width * height * components);
  uint32_t seed = 99u;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      int noise = (int)(seed >> 29) - 4;
      int edge = ((x / 37 + y / 23) & 1) ? 40 : 0;
      int r = 60 + (x * 150) / (width + 1) + edge + noise;
      int g = 40 + (y * 170) / (height + 1) + noise;
      int b = 200 - ((x + y) * 120) / (width + height + 1) - edge / 2 + noise;
      uint8_t* p = &px[((size_t)y * width + x) * components];
      const int rgb[3] = {r, g, b};
      if (components == 1) p[0] = (uint8_t)((r + g + b) / 3);
      else
        for (int c = 0; c < 3; ++c) p[c] = (uint8_t)(rgb[c] < 0 ? 0 : rgb[c] > 255 ? 255 : rgb[c]);
    }
  }
  return px;
}

namespace {
struct ErrorJump {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};

void error_exit(j_common_ptr cinfo) { longjmp(((ErrorJump*)cinfo->err)->jump, 1); }
void no_output(j_common_ptr) {}

jpeg_error_mgr* quiet_errors(ErrorJump* err) {
  jpeg_std_error(&err->mgr);
  err->mgr.error_exit = error_exit;
  err->mgr.output_message = no_output;
  return &err->mgr;
}
}  // namespace

std::vector<uint8_t> jpeg_oracle_encode(const JpegSpec& spec, const std::vector<uint8_t>& pixels) {
  jpeg_compress_struct cinfo;
  ErrorJump err;
  cinfo.err = quiet_errors(&err);
  unsigned char* mem = nullptr;
  unsigned long mem_len = 0;
  std::vector<uint8_t> out;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    free(mem);
    return out;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &mem, &mem_len);
  cinfo.image_width = (JDIMENSION)spec.width;
  cinfo.image_height = (JDIMENSION)spec.height;
  cinfo.input_components = spec.grey ? 1 : 3;
  cinfo.in_color_space = spec.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, spec.quality, TRUE);
  for (int i = 0; i < cinfo.input_components; ++i) {
    cinfo.comp_info[i].h_samp_factor = spec.h[i];
    cinfo.comp_info[i].v_samp_factor = spec.v[i];
  }
  cinfo.restart_in_rows = spec.restart_rows;
  cinfo.restart_interval = (unsigned)spec.restart_mcus;
  if (spec.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = spec.arithmetic ? TRUE : FALSE;
  jpeg_start_compress(&cinfo, TRUE);
  int stride = spec.width * cinfo.input_components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = (JSAMPROW)(pixels.data() + (size_t)cinfo.next_scanline * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  out.assign(mem, mem + mem_len);
  free(mem);
  return out;
}

bool jpeg_oracle_decode(const std::vector<uint8_t>& file, int components, std::vector<uint8_t>* out,
                        int* width, int* height) {
  jpeg_decompress_struct cinfo;
  ErrorJump err;
  cinfo.err = quiet_errors(&err);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), (unsigned long)file.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  cinfo.do_fancy_upsampling = TRUE;
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&cinfo);
  *width = (int)cinfo.output_width;
  *height = (int)cinfo.output_height;
  size_t stride = (size_t)cinfo.output_width * cinfo.output_components;
  out->assign(stride * cinfo.output_height, 0);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out->data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}
