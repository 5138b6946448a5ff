// One audio packet from bits to finished samples: mode and window shape, floors,
// residues, inverse coupling, floor curve, inverse MDCT, then the overlap-add
// with the saved right part of the previous block (the only place a window is
// applied) and the sample-position bookkeeping that trims the stream's end to
// the last page's granule position.
#include <algorithm>

#include "vorbis/vorbis_internal.h"

namespace {

void inverse_coupling(float* magnitude, float* angle, int count) {
  for (int i = 0; i < count; ++i) {
    float m = magnitude[i], a = angle[i];
    float new_m, new_a;
    if (m > 0) {
      if (a > 0) {
        new_m = m;
        new_a = m - a;
      } else {
        new_a = m;
        new_m = m + a;
      }
    } else {
      if (a > 0) {
        new_m = m;
        new_a = m + a;
      } else {
        new_a = m;
        new_m = m - a;
      }
    }
    magnitude[i] = new_m;
    angle[i] = new_a;
  }
}

const float* window_for_overlap(const VorbisDecoder* d, int overlap) {
  if (overlap == d->blocksize[1] / 2) return d->tables[1].window;
  if (overlap == d->blocksize[0] / 2) return d->tables[0].window;
  return nullptr;
}

}  // namespace

// Decodes the next audio packet into the channel buffers (n samples each).
// Reports the end of the usable part (right end), the left start and the right
// start; 0 when no packet could be decoded.
int vorbis_decode_packet(VorbisDecoder* d, int* length_out, int* left_start_out,
                         int* right_start_out) {
  d->valid_start = d->valid_end = 0;
  const VorbisMode* mode;
  int prev_flag = 1, next_flag = 1;
  for (;;) {
    if (d->finished || !vorbis_start_packet(d)) return 0;
    // Header packets and packets too short to name their window carry no audio.
    int type = (int)vorbis_get_bits(d, 1);
    if (d->bits_invalid || type != 0) {
      vorbis_flush_packet(d);
      continue;
    }
    int mode_number = (int)vorbis_get_bits(d, vorbis_ilog(d->mode_count - 1));
    if (!d->bits_invalid && mode_number >= d->mode_count) {
      // Recorded before the flush, which may meet a page worth a code of its own.
      vorbis_refuse(d, VorbisBadAudioPacket);
      vorbis_flush_packet(d);
      return 0;
    }
    mode = &d->modes[mode_number < d->mode_count ? mode_number : 0];
    if (mode->blockflag) {
      prev_flag = (int)vorbis_get_bits(d, 1);
      next_flag = (int)vorbis_get_bits(d, 1);
    }
    if (!d->bits_invalid) break;
    vorbis_flush_packet(d);
  }

  const int n = d->blocksize[mode->blockflag];
  const int half = n / 2;
  const int short_n = d->blocksize[0];
  int left_start = 0, right_start = half, right_end = n;
  if (mode->blockflag && !prev_flag) left_start = (n - short_n) / 4;
  if (mode->blockflag && !next_flag) {
    right_start = (3 * n - short_n) / 4;
    right_end = (3 * n + short_n) / 4;
  }

  const VorbisMapping* map = &d->mappings[mode->mapping];
  const int channels = d->channels;
  int zero_before[VORBIS_MAX_CHANNELS];
  for (int c = 0; c < channels; ++c) {
    const VorbisFloor1* floor = &d->floors[map->submap_floor[map->mux[c]]];
    d->floor_used[c] = vorbis_floor1_decode(d, floor, d->floor_y[c]);
    zero_before[c] = !d->floor_used[c];
  }
  for (int s = 0; s < map->coupling_steps; ++s) {
    if (d->floor_used[map->magnitude[s]] || d->floor_used[map->angle[s]])
      d->floor_used[map->magnitude[s]] = d->floor_used[map->angle[s]] = 1;
  }
  for (int s = 0; s < map->submaps; ++s) {
    float* buffers[VORBIS_MAX_CHANNELS];
    uint8_t do_not_decode[VORBIS_MAX_CHANNELS];
    int count = 0;
    for (int c = 0; c < channels; ++c) {
      if (map->mux[c] != s) continue;
      buffers[count] = d->channel_buffer[c];
      do_not_decode[count] = (uint8_t)!d->floor_used[c];
      ++count;
    }
    if (count > 0)
      vorbis_residue_decode(d, &d->residues[map->submap_residue[s]], buffers, count,
                            do_not_decode, half);
  }
  for (int s = map->coupling_steps - 1; s >= 0; --s)
    inverse_coupling(d->channel_buffer[map->magnitude[s]], d->channel_buffer[map->angle[s]],
                     half);
  const VorbisBlockTables* tables = &d->tables[mode->blockflag];
  for (int c = 0; c < channels; ++c) {
    float* buffer = d->channel_buffer[c];
    if (zero_before[c]) {
      memset(buffer, 0, sizeof(float) * n);
      continue;
    }
    const VorbisFloor1* floor = &d->floors[map->submap_floor[map->mux[c]]];
    vorbis_floor1_apply(d, floor, d->floor_y[c], buffer, half);
    vorbis_imdct(tables, buffer, d->fft_scratch);
  }
  vorbis_flush_packet(d);
  d->current_n = n;
  *length_out = right_end;
  *left_start_out = left_start;
  *right_start_out = right_start;
  return 1;
}

// Overlap-adds the saved right part of the previous block, saves this block's
// right part, and returns how many finished samples begin at the left start.
int vorbis_finish_frame(VorbisDecoder* d, int length, int left_start, int right_start) {
  const int p = d->previous_length;
  const float* window = window_for_overlap(d, p);
  for (int c = 0; c < d->channels; ++c) {
    float* buffer = d->channel_buffer[c] + left_start;
    const float* saved = d->overlap[c];
    if (window) {
      for (int j = 0; j < p; ++j)
        buffer[j] = buffer[j] * window[j] + saved[j] * window[p - 1 - j];
    }
  }
  int keep = std::max(0, length - right_start);
  for (int c = 0; c < d->channels; ++c)
    memcpy(d->overlap[c], d->channel_buffer[c] + right_start, sizeof(float) * keep);
  d->previous_length = keep;
  if (p == 0) return 0;
  return std::min(right_start, length) - left_start;
}

// Frames come out centre to centre, as Vorbis defines them: when a long block
// is followed by a short one, its finished stretch beyond the centre waits in
// the lead buffer and opens the next frame. That keeps each frame equal to one
// packet's worth of the stream, so trimming the final packet to the last
// granule position cuts exactly what the reference decoder cuts.
int vorbis_decode_frame(VorbisDecoder* d) {
  d->valid_start = d->valid_end = 0;
  int length, left_start, right_start;
  if (!vorbis_decode_packet(d, &length, &left_start, &right_start)) {
    d->finished = 1;
    return 0;
  }
  const int n = d->current_n;
  const int priming = d->previous_length == 0;
  vorbis_finish_frame(d, length, left_start, right_start);
  // Granule positions beyond 2^62 are nonsense; clamping keeps the sums finite.
  const uint64_t raw_granule = d->packet_granule;
  const int64_t granule =
      raw_granule > ((uint64_t)1 << 62) ? ((int64_t)1 << 62) : (int64_t)raw_granule;
  const int known = d->packet_has_granule && raw_granule != ~(uint64_t)0;

  const int centre = n / 2;
  const int body_end = std::min(right_start, centre);
  int old_lead = priming ? 0 : d->lead_samples;
  // A lead only ever precedes the short block its long block announced; if a
  // damaged stream brings a long one instead, the lead is dropped so that no
  // frame exceeds half a long block.
  if (old_lead + std::min(right_start, n / 2) - left_start > d->blocksize[1] / 2) old_lead = 0;
  const int new_lead = std::max(0, right_start - centre);
  const int quarter = d->blocksize[1] / 4;
  float* const* leads = d->lead_buffer;
  const int old_at = d->lead_half * quarter, new_at = (1 - d->lead_half) * quarter;
  for (int c = 0; c < d->channels; ++c)
    memcpy(leads[c] + new_at, d->channel_buffer[c] + centre, sizeof(float) * new_lead);
  d->lead_samples = new_lead;
  d->lead_half = 1 - d->lead_half;

  if (priming) {
    d->position = known ? granule : 0;
    if (known && d->packet_on_last_page) d->finished = 1;
    return 0;
  }

  int start = left_start;
  int count = body_end - left_start;
  if (old_lead > 0) {
    for (int c = 0; c < d->channels; ++c) {
      float* buffer = d->channel_buffer[c];
      memmove(buffer + old_lead, buffer + left_start, sizeof(float) * count);
      memcpy(buffer, leads[c] + old_at, sizeof(float) * old_lead);
    }
    start = 0;
    count += old_lead;
  }
  if (known && d->packet_on_last_page) {
    // The last page's granule position is where the stream really ends.
    int64_t allowed = granule - d->position;
    if (allowed < count) count = (int)std::max<int64_t>(0, allowed);
    d->finished = 1;
  }
  d->position = known ? granule : d->position + count;
  d->valid_start = start;
  d->valid_end = start + count;
  return count;
}
