// The audio module's one allocator. Every block it keeps (rings, staging,
// private voice copies, the music buffer) comes through this pointer, so that
// a test can make any of those allocations fail and watch the fall-back.
#pragma once

#include <stddef.h>

extern void* (*audio_allocate)(size_t bytes);  // malloc unless a test swaps it
