// Writes the vorbis_fuzz seed corpus: small streams from the reference encoder
// (every channel layout the game meets, several rates and qualities, short
// blocks from clicks) and hand-made streams with long/short transitions.
#include <cstdio>
#include <string>

#include "reference_codec.h"
#include "stream_builder.h"

namespace {

void write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  std::string dir = argv[1];
  struct Seed {
    const char* name;
    int channels, rate, frames;
    float quality;
    SignalKind kind;
  };
  const Seed seeds[] = {
      {"mono_8k.ogg", 1, 8000, 3000, 0.0f, SignalKind::Tones},
      {"stereo_44k_clicks.ogg", 2, 44100, 12000, 0.3f, SignalKind::Clicks},
      {"stereo_22k_noise.ogg", 2, 22050, 6000, -0.1f, SignalKind::Noise},
      {"six_48k.ogg", 6, 48000, 4000, 0.5f, SignalKind::Mixed},
      {"stereo_tiny.ogg", 2, 44100, 40, 1.0f, SignalKind::Chirp},
  };
  for (const Seed& s : seeds) {
    std::vector<float> signal = make_test_signal(s.kind, s.channels, s.rate, s.frames, 1);
    write(dir + "/" + s.name, reference_encode(signal, s.channels, s.rate, s.quality));
  }
  SetupOptions o;
  o.two_modes = 1;
  std::vector<OggPacket> audio = {
      {make_audio_packet(o, 1, 1, 0, 1), -1}, {make_audio_packet(o, 0, 0, 0, 1), -1},
      {make_audio_packet(o, 1, 0, 1, 1), -1}, {make_audio_packet(o, 1, 1, 1, 0), 1500}};
  write(dir + "/handmade_transitions.ogg",
        build_ogg(make_identification(1, 44100, 0xB8), make_comment(), make_setup(o), audio));
  return 0;
}
