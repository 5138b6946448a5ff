// One frame: the title and menu fade in and shuffle; in play the avatar
// crosses room edges, the scene is composed in the work bitmap, the avatar
// advances in fixed 1/60 s ticks (or the death burst runs), the last rooms
// bend the Palette, and the noise renderer turns the scene into the image.
#include "game/frame.h"

#include <string.h>

#include "audio/music.h"
#include "core/game_state.h"
#include "core/noise_tables.h"
#include "game/game.h"
#include "game/room.h"
#include "platform/platform.h"
#include "sim/avatar.h"
#include "sim/creature.h"
#include "sim/draw.h"
#include "sim/figure.h"
#include "sim/noise_field.h"
#include "support/det_math.h"

// The tick length is kept in double: with a float 1/60 a clamped 0.05 s frame
// would run two ticks and carry almost a whole third.
static const double TICK_SECONDS = 1.0 / 60.0;
static const float MAX_FRAME_SECONDS = 0.05f;
static const float INLINE_DECODE_MAX_SECONDS = 1.0f / 30.0f;
static const float BURST_ANGLE_STEP = 0.3926991f;  // pi/8

// The counter only sets the noise phase and every reader reduces it, so it
// counts modulo 2^32: room 39 adds 100 a frame and passes 2^31 in four days.
static void advance_frame_counter(uint32_t steps) {
  g_game.frame_counter = (int32_t)((uint32_t)g_game.frame_counter + steps);
}

static void present_output(void) {
  OutputImage* out = g_game.output_image;
  present_frame(0, 0, out->pixels, out->width, out->height, out->width);
}

static void title_frame(float dt) {
  music_update();
  float step = 4.0f * dt > 1.0f ? 4.0f * dt : 1.0f;
  if (g_game.fade_level < 255) {
    int level = (int)((float)g_game.fade_level + step);
    g_game.fade_level = level < 255 ? level : 255;
    uint32_t grey = PALETTE_MARKED + (uint32_t)g_game.fade_level * 0x010101u;
    for (int i = 0; i < 128; i++) g_game.palette[i] = grey;
    for (int i = 128; i < 256; i++) g_game.palette[i] = 0;
  } else {
    palette_swap();
    if (g_game.fade_level >= 1000) {
      g_game.fade_level = 1000;
    } else {
      g_game.fade_level = (int)((float)g_game.fade_level + step);
    }
  }
  advance_frame_counter(1);
  // Each menu state has its own picture: 1 the title, 2 and 3 the menu with
  // its first or second item framed. Without one, the title stands in.
  const Bitmap* picture = g_game.titles[1];
  if (g_game.game_state >= GAME_TITLE && g_game.game_state <= GAME_MENU_NEW &&
      g_game.titles[g_game.game_state])
    picture = g_game.titles[g_game.game_state];
  render_noise_field(g_game.output_image, picture);
  present_output();
}

static void cross_room_edges(void) {
  int half = g_game.avatar->width / 2;
  int width = g_game.room->width;
  if (g_game.avatar_x < -2 - half) {
    g_game.avatar_x += width;
    room_change(-1);
  } else if (g_game.avatar_x >= width - half + 2) {
    g_game.avatar_x -= width;
    room_change(+1);
  }
}

// Rooms are the work bitmap's size as shipped; a loose room of another size
// is copied over the overlap on an empty background instead of overrunning.
static void copy_room_into_work(void) {
  Bitmap* work = g_game.work_bitmap;
  const Bitmap* room = g_game.room;
  if (room->width == work->width && room->height == work->height) {
    memcpy(work->pixels, room->pixels, (size_t)work->width * (size_t)work->height);
    return;
  }
  memset(work->pixels, 0, (size_t)work->width * (size_t)work->height);
  int w = room->width < work->width ? room->width : work->width;
  int h = room->height < work->height ? room->height : work->height;
  for (int y = 0; y < h; y++)
    memcpy(work->pixels + (size_t)y * work->width, room->pixels + (size_t)y * room->width, (size_t)w);
}

static void run_ticks(float dt) {
  g_game.tick_accumulator += dt;
  while (g_game.tick_accumulator >= TICK_SECONDS) {
    avatar_tick();
    g_game.tick_accumulator = (float)(g_game.tick_accumulator - TICK_SECONDS);
    memcpy(g_game.key_held_prev, g_game.key_held, sizeof g_game.key_held);
  }
}

// The death or restart burst: the last figure stays where it died while rings
// of sprite 3 grow around it, one ring per 0.1 of radius.
static void run_burst(float dt) {
  float ox[16], oy[16];
  for (int k = 0; k < 16; k++) {
    float theta = (float)k * BURST_ANGLE_STEP;
    ox[k] = 200.0f * det_sinf(theta);
    oy[k] = 200.0f * det_cosf(theta);
    if (k & 1) {
      ox[k] *= 0.7f;
      oy[k] *= 0.7f;
    }
  }
  blit(g_game.avatar_frame, g_game.avatar_x, g_game.avatar_y);
  for (float r = g_game.ring_radius; r > 0; r -= 0.1f) {
    for (int k = 0; k < 16; k++)
      blit(g_game.sprites[3], (int)((float)g_game.avatar_x + r * ox[k]),
           (int)((float)g_game.avatar_y + r * oy[k]));
  }
  g_game.respawn_timer -= dt;
  if (g_game.respawn_timer <= 0) {
    g_game.respawn_timer = 0;
    g_game.avatar_x = g_game.checkpoint.avatar_x;
    g_game.avatar_y = g_game.checkpoint.avatar_y;
    if (!avatar_fits(g_game.avatar_x, g_game.avatar_y)) g_game.avatar_y += 2;
    g_game.airborne = g_game.checkpoint.airborne;
    g_game.fall_speed = 0;
  } else {
    g_game.ring_radius += dt;
  }
}

int frame_palette_swaps(int room, int32_t n) {
  if (room <= 28) return 0;
  if (room == 29) return n % 16 == 0;
  if (room <= 31) return n % 4 == 0;
  if (room <= 33) return n % 2 == 0;
  return 1;
}

// How far right the avatar stands in rooms 38 and 39: 0 at x <= 0, 1 at 760.
static float room_progress(void) {
  int p = g_game.avatar_x < 0 ? 0 : g_game.avatar_x > 760 ? 760 : g_game.avatar_x;
  return (float)p / 760.0f;
}

static uint32_t clamp_byte(float v) {
  int i = (int)v;
  return (uint32_t)(i < 0 ? 0 : i > 255 ? 255 : i);
}

void frame_room_effects(void) {
  int room = g_game.room_number;
  if (room == 38) {
    double w = room_progress();
    int64_t next = (int64_t)((double)g_game.frame_counter + 100.0 * det_pow_2_5(w));
    advance_frame_counter((uint32_t)(next - g_game.frame_counter));
  } else if (room == 39) {
    float w = room_progress();
    uint32_t a = clamp_byte(255.0f - 95.0f * w);
    uint32_t b = clamp_byte(160.0f * w);
    advance_frame_counter(100);
    for (int i = 0; i < 256; i++) {
      int marked = (g_game.palette[i] & PALETTE_MARKED) == PALETTE_MARKED;
      g_game.palette[i] = marked ? PALETTE_MARKED + a * 0x010101u : b * 0x010101u;
    }
    Bitmap* work = g_game.work_bitmap;
    memset(work->pixels, 16, (size_t)work->width * (size_t)work->height);
  } else if (room == 40) {
    palette_reset();
  }
}

void run_frame(float dt, int inactive) {
  if (music_decode_inline) {
    if (music_decode_block() == 0) {
      music_decode_inline = 0;
    } else if (dt > INLINE_DECODE_MAX_SECONDS) {
      dt = INLINE_DECODE_MAX_SECONDS;
    }
  }
  if (inactive) {
    music_update();
    return;
  }
  g_game.frame_times[g_game.frame_time_index] = dt;
  g_game.frame_time_index = 1 - g_game.frame_time_index;

  if (g_game.game_state != GAME_PLAYING) {
    title_frame(dt);
    return;
  }

  if (g_game.paused != 0) {
    // Paused: everything stands, but the noise moves for about 0.15 s in
    // every 1.35 s so the screen is seen to be alive.
    g_game.pause_blink += dt;
    if (g_game.pause_blink > 1.2f) {
      advance_frame_counter(1);
      if (g_game.pause_blink > 1.35f) g_game.pause_blink = 0;
    }
    dt = 0;
  } else {
    advance_frame_counter(1);
    if (dt > MAX_FRAME_SECONDS) dt = MAX_FRAME_SECONDS;
    g_game.play_time += dt;
  }
  music_update();
  cross_room_edges();
  copy_room_into_work();
  creatures_step(dt);
  if (g_game.respawn_timer == 0) {
    run_ticks(dt);
    avatar_figure_step(dt);
  } else {
    run_burst(dt);
  }
  if (frame_palette_swaps(g_game.room_number, g_game.frame_counter)) palette_swap();
  frame_room_effects();
  render_noise_field(g_game.output_image, g_game.work_bitmap);
  present_output();
}
