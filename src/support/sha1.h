// SHA-1 (FIPS 180-1) of a byte buffer in one call. It guards the save record's
// checksum, not secrets, so there is no streaming interface.
#pragma once

#include <stdint.h>

// Writes the 20-byte digest (chaining words in order, most significant byte
// first). Messages up to 4 GiB - 1 bytes.
void sha1(uint8_t digest_out[20], const void* data, uint32_t length);
