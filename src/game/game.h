// The calls the platform shell makes into the game: start-up, one frame, and
// the key handlers. Key codes are the game's own (translate_key).
#pragma once

// Game key codes for the arrows; every other key keeps its virtual-key code.
enum {
  KEY_UP = 0x101,
  KEY_DOWN = 0x102,
  KEY_LEFT = 0x103,
  KEY_RIGHT = 0x104,
};

void startup(const char* executable_path);
void run_frame(float dt, int inactive);
void on_key_down(int key);
void on_key_up(int key);
