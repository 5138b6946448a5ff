// Decoding the long music stream into memory, on a thread of its own when the
// process may use two processors, else one block per frame on the main thread.
// One writer, one reader, no lock: the count is published (release) only after
// the samples below it are written.
#include <stdint.h>
#include <stdlib.h>

#include "audio/alloc.h"
#include "audio/music.h"
#include "audio/music_internal.h"
#include "platform/platform.h"
#include "support/array.h"
#include "support/thread.h"
#include "vorbis/vorbis.h"

enum {
  BLOCK_VALUES = 8192,   // one Vorbis frame is at most 4096 stereo frames
  DECODER_REST_MS = 1,   // leaves a shared processor to the game after each block
};

int music_decoder_start(const uint8_t* stream, int stream_bytes) {
  MusicState& m = music;
  m.decode_done.store(1, std::memory_order_release);
  // No stream, or one that cannot be opened or measured: no segment can ever
  // play; the title piece and the sound cues still do.
  if (!stream || stream_bytes <= 0) return 1;
  VorbisDecoder* decoder = vorbis_open_from_memory(stream, stream_bytes, 0, 0);
  if (!decoder) return 1;
  uint32_t total = vorbis_total_samples(decoder);
  if (total == 0) {
    vorbis_close_decoder(decoder);
    return 1;
  }
  uint64_t bytes = (uint64_t)total * 4;
  void* pcm = bytes <= (uint64_t)SIZE_MAX ? audio_allocate((size_t)bytes) : 0;
  if (!pcm) {
    vorbis_close_decoder(decoder);
    return 0;
  }
  m.decoder = decoder;
  m.music_pcm = (int16_t*)pcm;
  m.total_frames = total;
  m.decoded_count = 0;
  m.music_decoded.store(0, std::memory_order_release);
  m.decode_done.store(0, std::memory_order_release);
  int processors = m.processors_override > 0 ? m.processors_override : cpu_count();
  if (processors < 2) {
    music_decode_inline = 1;
    return 1;
  }
  m.decoder_running.store(1, std::memory_order_release);
  m.decoder_thread = thread_start_simple(music_decoder_thread, 0);
  if (!m.decoder_thread) {
    // Without its thread the stream is still decoded, on the main thread.
    m.decoder_running.store(0, std::memory_order_release);
    music_decode_inline = 1;
  }
  return 1;
}

int music_decode_block(void) {
  MusicState& m = music;
  if (!m.decoder || m.decode_done.load(std::memory_order_acquire)) return 0;
  // Never past the buffer, whatever the stream claimed its length to be.
  int64_t room = (m.total_frames - m.decoded_count) * 2;
  int values = room < BLOCK_VALUES ? (int)room : BLOCK_VALUES;
  int k = 0;
  if (values >= 2)
    k = vorbis_next_frame_s16_interleaved(m.decoder, 2, m.music_pcm + 2 * m.decoded_count, values);
  if (k > 0) {
    m.decoded_count += k;
    m.music_decoded.store(m.decoded_count, std::memory_order_release);
  } else {
    k = 0;
    m.decode_done.store(1, std::memory_order_release);
    // The stream is in music_pcm for good; the decoder's tables and buffers
    // have no further use. Taken out of the state first, so a stop that ends
    // this thread midway cannot close it twice.
    VorbisDecoder* finished = m.decoder;
    m.decoder = 0;
    vorbis_close_decoder(finished);
  }
  return k;
}

int music_decoder_thread(void* argument) {
  (void)argument;
  int k = music_decode_block();
  while (k > 0 && !thread_stop_requested()) {
    memory_barrier();
    platform_sleep_ms(DECODER_REST_MS);
    k = music_decode_block();
  }
  music.decoder_running.store(0, std::memory_order_release);
  return 0;
}

void music_unload(void) {
  MusicState& m = music;
  if (m.decoder_thread) thread_terminate(m.decoder_thread);
  m.decoder_thread = 0;
  m.decoder_running.store(0);
  vorbis_close_decoder(m.decoder);
  m.decoder = 0;
  free(m.music_pcm);
  m.music_pcm = 0;
  vorbis_close_decoder(m.title_decoder);
  m.title_decoder = 0;
  free(m.title_pcm);
  m.title_pcm = 0;
  array_free(m.tracks);
  m.tracks = 0;
  m.total_frames = m.decoded_count = 0;
  m.music_decoded.store(0);
  m.decode_done.store(0);
  m.title_frames = m.title_decoded = m.title_channels = 0;
  m.music_time = 0;
  m.playlist = 0;
  m.playlist_count = m.playlist_pos = m.playlist_loop = 0;
  m.stop = {};
  music_decode_inline = 0;
}
