// Splits a text into its non-empty pieces between delimiter bytes. The whole
// result is one heap block: the piece pointers, a null pointer, then the
// pieces' bytes, so a single free releases it.
#pragma once

// Returns the pointer array (ended by null) or null when the block cannot be
// allocated; the number of pieces goes to count_out (may be null).
char** split_text(const char* text, const char* delimiters, int* count_out);
