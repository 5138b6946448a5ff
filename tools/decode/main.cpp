// vantrel-decode: dispatches on its first word to the decoder front ends.
// The audio front end is compiled in only when its header is present.
#include <stdio.h>
#include <string.h>

#include "decode_image.h"
#if __has_include("decode_audio.h")
#include "decode_audio.h"
#define DECODE_HAS_AUDIO 1
#else
#define DECODE_HAS_AUDIO 0
#endif

int main(int argc, char** argv) {
  if (argc >= 2 && strcmp(argv[1], "image") == 0) return decode_image_main(argc, argv);
#if DECODE_HAS_AUDIO
  if (argc >= 2 && strcmp(argv[1], "audio") == 0) return decode_audio_main(argc, argv);
#endif
  fprintf(stderr, "usage: %s image IN OUT.pam\n", argv[0]);
#if DECODE_HAS_AUDIO
  fprintf(stderr, "       %s audio IN.ogg OUT.wav\n", argv[0]);
#endif
  return 1;
}
