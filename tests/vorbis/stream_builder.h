// Builds small Vorbis streams by hand for the header and bookkeeping tests: a
// bit writer in the Vorbis bit order, a minimal but complete setup header with
// knobs for the malformations under test, and Ogg pagination through libogg.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SetupOptions {
  int channels = 1;
  int floor_type = 1;           // 0 is refused by the decoder
  int residue_book_lookup = 1;  // 0 = the residue's book has no lookup table
  int couple_same_channel = 0;  // a coupling step with magnitude == angle
  int two_modes = 0;            // mode 0 short, mode 1 long (else one short mode)
  int bad_codebook_sync = 0;
  int overfull_codebook = 0;    // book 1 gets three codes of length 1
};

std::vector<uint8_t> make_identification(int channels, uint32_t rate, uint8_t block_sizes);
std::vector<uint8_t> make_comment();
std::vector<uint8_t> make_setup(const SetupOptions& options);

// An audio packet for the minimal setup: every channel's floor flag as given,
// no residue. `mode` 1 is the long mode (two_modes setups), with its flags.
std::vector<uint8_t> make_audio_packet(const SetupOptions& options, int mode, int prev_flag,
                                       int next_flag, int floor_nonzero);

struct OggPacket {
  std::vector<uint8_t> data;
  int64_t granule;  // -1 for none
};

// Identification alone on the first page, comment and setup flushed on the
// next, then the audio packets, flushing a page after each packet whose
// granule is not -1; the last page carries the end-of-stream flag.
std::vector<uint8_t> build_ogg(const std::vector<uint8_t>& identification,
                               const std::vector<uint8_t>& comment,
                               const std::vector<uint8_t>& setup,
                               const std::vector<OggPacket>& audio);

// Recomputes the CRC of the page starting at `page` (after an edit).
void fix_page_crc(std::vector<uint8_t>& stream, size_t page);
// Offsets of every page in a stream.
std::vector<size_t> page_offsets(const std::vector<uint8_t>& stream);
