// Start-up: the saved position, the archive, the random tables in their fixed
// order of draws (noise tables, noise sound, wave table), every image, sound,
// the creatures and the two frame images. The generators are never seeded
// from the clock, so every run looks and sounds the same.
#include <stdio.h>
#include <string.h>

#include "audio/audio.h"
#include "audio/music.h"
#include "core/archive.h"
#include "core/bitmap_load.h"
#include "core/fatal.h"
#include "core/game_state.h"
#include "core/noise_tables.h"
#include "core/save.h"
#include "core/tables.h"
#include "game/game.h"
#include "sim/creature.h"
#include "support/os.h"

// The sizes of everything else are taken from these two, so the game cannot
// go on without them.
static Bitmap* load_required(const char* name) {
  Bitmap* bitmap = bitmap_load(name);
  if (!bitmap) fatal_message("Couldn't find data file");
  return bitmap;
}

static void load_images(void) {
  g_game.avatar = load_required("avatar.png");
  g_game.avatar_frame = bitmap_new(g_game.avatar->width, g_game.avatar->height);
  if (!g_game.avatar_frame) out_of_memory();
  memset(g_game.avatar_frame->pixels, 0,
         (size_t)g_game.avatar->width * (size_t)g_game.avatar->height);
  g_game.blob = bitmap_load("blob.png");
  g_game.blob2 = bitmap_load("blob2.png");
  for (int k = 0; k < 40; k++) {
    char name[] = "cr00.png";
    name[2] = (char)('0' + k / 10);
    name[3] = (char)('0' + k % 10);
    g_game.sprites[k] = bitmap_load(name);
  }
  g_game.titles[1] = load_required("title.png");
  g_game.titles[2] = bitmap_load("title_1.png");
  g_game.titles[3] = bitmap_load("title_2.png");
}

// The music is handed its data files here, so that the audio code never needs
// to know about the archive.
static void load_music(void) {
  MusicData data = {};
  data.title = load_data("qorvel_title_3.ogg", &data.title_bytes);
  data.table = load_data("merged_data.txt", &data.table_bytes);
  data.stream = load_data("merged.ogg", &data.stream_bytes);
  if (!music_load(&data)) out_of_memory();
}

// Last in line, so a packed.dat in the current folder or one appended to the
// executable still takes the place of an installed copy.
enum { INSTALLED_PATH_BYTES = 1024 };

static int open_installed_data(const char* executable_path) {
  char path[INSTALLED_PATH_BYTES];
  return archive_installed_path(executable_path, path, (int)sizeof path) && archive_open(path);
}

// Image-sized temporaries (a room's decoded pixels, ~1.4 MB) go straight
// back to the system once freed instead of staying in the process as holes.
enum { LARGE_BLOCK_BYTES = 128 * 1024 };

void startup(const char* executable_path) {
  os_release_large_blocks(LARGE_BLOCK_BYTES);
  save_read();
  g_game.game_state = save_is_valid(&g_game.save) ? GAME_MENU_CONTINUE : GAME_TITLE;

  if (ARCHIVE_MODE && !archive_open("packed.dat") &&
      !(executable_path && archive_open(executable_path)) && !open_installed_data(executable_path))
    fatal_message("Couldn't find data file");

  if (!noise_tables_build() || !noise_sound_build()) out_of_memory();
  wave_table_build();

  load_images();

  if (g_game.sound_enabled) {
    if (audio_init(8000, 0.03f, 264600)) {
      load_music();
    } else {
      g_game.sound_enabled = 0;
    }
  }

  g_game.body_mask = bitmap_half_mask(g_game.avatar, 16);
  g_game.feet_mask = bitmap_half_mask(g_game.avatar, 1);
  if (!g_game.body_mask || !g_game.feet_mask) out_of_memory();

  creatures_init();

  int width = g_game.titles[1]->width, height = g_game.titles[1]->height;
  g_game.work_bitmap = bitmap_new(width, height);
  g_game.output_image = output_image_new(width, height);
  if (!g_game.work_bitmap || !g_game.output_image) out_of_memory();
  memset(g_game.work_bitmap->pixels, 0, (size_t)width * (size_t)height);
  g_game.draw_target = g_game.work_bitmap;
}
