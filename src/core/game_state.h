// GameState: the one process-wide record of the whole game. Each module owns
// the fields of its own section and is the only writer of them; the audio and
// support modules keep their own module-level state instead.
#pragma once

#include <stdint.h>

#include "core/bitmap.h"
#include "core/creature_types.h"
#include "core/save.h"

// What the frame driver shows and the keys do. The values are stored (0..3)
// and double as the number of the title picture a menu state shows.
enum GameMode {
  GAME_PLAYING = 0,
  GAME_TITLE = 1,          // no valid save: any key starts a new game
  GAME_MENU_CONTINUE = 2,  // the menu with "continue" framed
  GAME_MENU_NEW = 3,       // the menu with "new game" framed
};

// With "-assist" each frame's elapsed time is scaled by this before the game
// sees it: play, the title, pauses, bursts and creatures all slow alike, while
// music and sounds, which follow the audio clock, keep their pitch and pace.
const float ASSIST_TIME_SCALE = 0.75f;

struct GameState {
  // ---- settings, fixed at start-up (platform shell) ----
  uint8_t fullscreen;        // cleared when full screen cannot be used
  int32_t sound_enabled;     // cleared when the audio output cannot be opened
  int32_t cheats_enabled;
  int32_t start_room_25;     // 0 or 25
  int32_t app_inactive;
  int32_t assist;            // "-assist": the game's time runs at ASSIST_TIME_SCALE

  // ---- noise tables and palette (core/noise_tables) ----
  uint8_t* noise_bytes;      // 65536 + 2048 bytes
  uint32_t* random_words;    // 32768 entries 0..65535
  uint32_t palette[256];

  // ---- start-up assets (game/startup) ----
  Bitmap* avatar;
  Bitmap* avatar_frame;
  Bitmap* body_mask;
  Bitmap* feet_mask;
  Bitmap* blob;
  Bitmap* blob2;
  Bitmap* sprites[40];
  Bitmap* titles[4];         // indexed 1..3
  Bitmap* work_bitmap;
  OutputImage* output_image;
  int16_t* noise_sound;      // 60000 stereo frames
  float wave_table[256][2];

  // ---- frame driver (game/frame) ----
  int32_t game_state;        // a GameMode
  int32_t fade_level;
  int32_t frame_counter;
  float paused;
  float pause_blink;
  float play_time;
  float tick_accumulator;
  float respawn_timer;
  float ring_radius;
  float frame_times[2];
  int32_t frame_time_index;

  // ---- rooms (game/room) ----
  int32_t room_number;
  Bitmap* room;
  Bitmap* solid_map;
  struct Checkpoint {        // the avatar as it entered the current room
    int32_t avatar_x;
    int32_t avatar_y;
    int32_t fall_speed;
    int32_t airborne;
  } checkpoint;

  // ---- save record (core/save) ----
  SaveRecord save;

  // ---- keyboard and menu (game/keys) ----
  int32_t key_held[5];       // up, right, down, left, jump
  int32_t key_held_prev[5];
  int32_t game_started;

  // ---- noise field renderer (sim/noise_field) ----
  int32_t debug_view;                // 1: show the scene in its key colours
  const uint8_t* layer_rows[17];     // this row's start in noise_bytes, per class

  // ---- avatar movement (sim/avatar) ----
  int32_t avatar_x = 300;    // top-left corner of the 60 x 80 avatar box
  int32_t avatar_y = 320;
  int32_t fall_speed;        // 1/32 pixel per tick, negative upward
  int32_t airborne;
  int32_t air_ticks;         // 99999 after a jump
  int32_t fly_mode;

  // ---- avatar figure and drawing (sim/figure, sim/draw) ----
  int32_t pose_from = 4;     // pose slot 0..7
  int32_t pose_to = 5;
  int32_t walk_dir = 1;      // +1 or -1
  float pose_phase;
  Bitmap* draw_target;       // where the drawing primitives write
  int32_t figure_joints[14][2];
  int32_t figure_origin[2];
  int32_t wobble_scale;

  // ---- creatures (sim/creature) ----
  Creature creature_table[CREATURE_SLOTS];
  Path path_table[PATH_RECORDS];
  float stretch_x[8];
  float stretch_y[8];
  int32_t first_shot = 1;
};

extern GameState g_game;
