// libvorbisenc used as a tool: analysis in blocks of 1024 frames, every page
// appended to one byte vector.
#include "ogg_encode.h"

#include <vorbis/vorbisenc.h>

static void append_page(std::vector<uint8_t>& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

std::vector<uint8_t> ogg_encode(const std::vector<int16_t>& interleaved, int channels,
                                float quality) {
  std::vector<uint8_t> out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, 44100, quality) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 1234);  // fixed serial: the same bytes every run
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  while (ogg_stream_flush(&os, &page)) append_page(out, page);

  const long frames = (long)(interleaved.size() / (size_t)channels);
  long done = 0;
  int eos = 0;
  while (!eos) {
    long n = frames - done < 1024 ? frames - done : 1024;
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, (int)n);
      for (long i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
          buffer[c][i] = (float)interleaved[(size_t)((done + i) * channels + c)] / 32768.0f;
      vorbis_analysis_wrote(&vd, (int)n);
      done += n;
    } else {
      vorbis_analysis_wrote(&vd, 0);  // end of stream
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, 0);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page)) {
          append_page(out, page);
          if (ogg_page_eos(&page)) eos = 1;
        }
      }
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}
