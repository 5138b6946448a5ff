// The audio module's allocator hook; see alloc.h. Blocks are released with
// the standard free whatever allocated them.
#include "audio/alloc.h"

#include <stdlib.h>

void* (*audio_allocate)(size_t bytes) = malloc;
