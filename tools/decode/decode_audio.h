// `vantrel-decode audio IN.ogg OUT.wav`: decodes a whole Ogg Vorbis stream
// into a 16-bit PCM WAV with the stream's own channel count and rate.
#pragma once

int decode_audio_main(int argc, char** argv);
