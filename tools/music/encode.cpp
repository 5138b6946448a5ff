// Feeds the encoder in blocks of ENCODE_BLOCK frames; a fixed stream serial
// number keeps the output identical between runs.
#include "music/encode.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>

namespace {

const long ENCODE_BLOCK = 4096;

void append_pages(ogg_stream_state* os, std::vector<uint8_t>* out, bool flush) {
  ogg_page page;
  while (flush ? ogg_stream_flush(os, &page) : ogg_stream_pageout(os, &page)) {
    out->insert(out->end(), page.header, page.header + page.header_len);
    out->insert(out->end(), page.body, page.body + page.body_len);
  }
}

}  // namespace

int encode_ogg_bytes(const float* interleaved, long frames, int channels, int rate, float quality,
                     int serial, const std::string& label, std::vector<uint8_t>* out) {
  out->clear();
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
    vorbis_info_clear(&vi);
    return 0;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  if (!label.empty()) vorbis_comment_add_tag(&vc, "TITLE", label.c_str());
  vorbis_comment_add_tag(&vc, "ARTIST", "Vantrel");
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, serial);
  ogg_packet header, header_comments, header_code;
  vorbis_analysis_headerout(&vd, &vc, &header, &header_comments, &header_code);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &header_comments);
  ogg_stream_packetin(&os, &header_code);
  append_pages(&os, out, true);

  long done = 0;
  int last_fifth = -1;
  bool fed_end = false;
  while (!fed_end) {
    long n = frames - done < ENCODE_BLOCK ? frames - done : ENCODE_BLOCK;
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, (int)n);
      for (long i = 0; i < n; i++)
        for (int c = 0; c < channels; c++) buffer[c][i] = interleaved[(done + i) * channels + c];
      vorbis_analysis_wrote(&vd, (int)n);
      done += n;
    } else {
      vorbis_analysis_wrote(&vd, 0);  // end of stream: the next drain emits the last packet
      fed_end = true;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        append_pages(&os, out, false);
      }
    }
    int fifth = frames > 0 ? (int)(done * 5 / frames) : 5;
    if (!label.empty() && fifth != last_fifth) {
      printf("music: encoding %s %d%%\n", label.c_str(), fifth * 20);
      fflush(stdout);
      last_fifth = fifth;
    }
  }
  append_pages(&os, out, true);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return 1;
}

int encode_ogg(const std::string& path, const float* stereo, long frames, int rate, float quality,
               int serial, const std::string& label, std::string* error_out) {
  std::vector<uint8_t> bytes;
  if (!encode_ogg_bytes(stereo, frames, 2, rate, quality, serial, label, &bytes)) {
    *error_out = "the encoder refused the settings";
    return 0;
  }
  FILE* out = fopen(path.c_str(), "wb");
  if (!out) {
    *error_out = "cannot write " + path;
    return 0;
  }
  int ok = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (fclose(out) != 0) ok = 0;
  if (!ok) *error_out = "write failed on " + path;
  return ok;
}
