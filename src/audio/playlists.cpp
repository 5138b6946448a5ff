// The playlist tables and which room plays which. The title playlist is spelt
// out, and checked at compile time against the pieces it is made of.
#include "audio/music.h"

constexpr int playlist_a[] = {
    51, 22, 34, 23, 35, 22, 34, 23, 35, 25, 36, 26, 37, 52, 34, 54, 35, 56, 36, 58, 37, 22, 53,
    23, 55, 25, 57, 26, 59, 22, 34, 23, 35, 25, 36, 26, 37, 52, 53, 54, 55, 56, 57, 58, 59};
constexpr int playlist_b[] = {
    60, 24, 38, 24, 38, 9,  39, 10, 40, 9,  39, 11, 41, 12, 42, 13, 43, 15, 44, 16, 45, 43, 13, 44,
    15, 12, 42, 13, 43, 43, 13, 44, 15, 12, 42, 16, 45, 9,  39, 10, 40, 38, 24, 38, 24, 41, 11};
constexpr int playlist_c[] = {
    17, 46, 17, 46, 21, 50, 17, 46, 18, 47, 19, 48, 20, 49, 19, 48, 18, 47, 18, 47, 20, 49, 18, 47, 70,
    71, 72, 73, 70, 71, 72, 74, 75, 70, 19, 48, 19, 48, 20, 49, 19, 48, 17, 46, 17, 46, 21, 50, 17, 46};
constexpr int playlist_d[] = {1, 1, 2,  27, 5, 30, 2,  27, 3, 28, 4,  29, 5,
                              27, 6, 31, 7, 32, 6, 31, 7, 32, 8, 33, 7, 32};
constexpr int playlist_e[] = {
    60, 60, 60, 60, 61, 62, 63, 64, 65, 66, 67, 68, 64, 69, 12, 42, 13, 43, 15, 44,
    16, 45, 60, 60, 60, 60, 60, 60, 69, 61, 62, 63, 64, 65, 66, 67, 68, 61, 62, 63,
    64, 65, 66, 67, 68, 69, 69, 60, 60, 60, 60, 12, 42, 13, 43, 15, 44, 16, 45};

static_assert(sizeof(playlist_a) / sizeof(int) == PLAYLIST_A_COUNT);
static_assert(sizeof(playlist_b) / sizeof(int) == PLAYLIST_B_COUNT);
static_assert(sizeof(playlist_c) / sizeof(int) == PLAYLIST_C_COUNT);
static_assert(sizeof(playlist_d) / sizeof(int) == PLAYLIST_D_COUNT);
static_assert(sizeof(playlist_e) / sizeof(int) == PLAYLIST_E_COUNT);

constexpr int playlist_title[] = {
    // all of playlist_d
    1, 1, 2, 27, 5, 30, 2, 27, 3, 28, 4, 29, 5, 27, 6, 31, 7, 32, 6, 31,
    7, 32, 8, 33, 7, 32,
    // playlist_d from index 6, three times
    2, 27, 3, 28, 4, 29, 5, 27, 6, 31, 7, 32, 6, 31, 7, 32, 8, 33, 7, 32,
    2, 27, 3, 28, 4, 29, 5, 27, 6, 31, 7, 32, 6, 31, 7, 32, 8, 33, 7, 32,
    2, 27, 3, 28, 4, 29, 5, 27, 6, 31, 7, 32, 6, 31, 7, 32, 8, 33, 7, 32,
    // playlist_d indexes 6..13
    2, 27, 3, 28, 4, 29, 5, 27,
    // all of playlist_a
    51, 22, 34, 23, 35, 22, 34, 23, 35, 25, 36, 26, 37, 52, 34, 54, 35, 56, 36, 58,
    37, 22, 53, 23, 55, 25, 57, 26, 59, 22, 34, 23, 35, 25, 36, 26, 37, 52, 53, 54,
    55, 56, 57, 58, 59,
    // playlist_a from index 5
    22, 34, 23, 35, 25, 36, 26, 37, 52, 34, 54, 35, 56, 36, 58, 37, 22, 53, 23, 55,
    25, 57, 26, 59, 22, 34, 23, 35, 25, 36, 26, 37, 52, 53, 54, 55, 56, 57, 58, 59,
    // all of playlist_b
    60, 24, 38, 24, 38, 9, 39, 10, 40, 9, 39, 11, 41, 12, 42, 13, 43, 15, 44, 16,
    45, 43, 13, 44, 15, 12, 42, 13, 43, 43, 13, 44, 15, 12, 42, 16, 45, 9, 39, 10,
    40, 38, 24, 38, 24, 41, 11,
    // all of playlist_c
    17, 46, 17, 46, 21, 50, 17, 46, 18, 47, 19, 48, 20, 49, 19, 48, 18, 47, 18, 47,
    20, 49, 18, 47, 70, 71, 72, 73, 70, 71, 72, 74, 75, 70, 19, 48, 19, 48, 20, 49,
    19, 48, 17, 46, 17, 46, 21, 50, 17, 46,
};
static_assert(sizeof(playlist_title) / sizeof(int) == PLAYLIST_TITLE_COUNT);

namespace {

struct TitleIds {
  int ids[PLAYLIST_TITLE_COUNT];
  int count;
};

constexpr void append_ids(TitleIds& t, const int* list, int from, int to) {
  for (int i = from; i < to; ++i) t.ids[t.count++] = list[i];
}

// All of d, its tail from index 6 three times, its indexes 6..13, all of a,
// a's tail from index 5, then all of b and all of c.
constexpr TitleIds build_title_ids() {
  TitleIds t{};
  append_ids(t, playlist_d, 0, PLAYLIST_D_COUNT);
  for (int i = 0; i < 3; ++i) append_ids(t, playlist_d, 6, PLAYLIST_D_COUNT);
  append_ids(t, playlist_d, 6, 14);
  append_ids(t, playlist_a, 0, PLAYLIST_A_COUNT);
  append_ids(t, playlist_a, 5, PLAYLIST_A_COUNT);
  append_ids(t, playlist_b, 0, PLAYLIST_B_COUNT);
  append_ids(t, playlist_c, 0, PLAYLIST_C_COUNT);
  return t;
}

constexpr TitleIds title_ids = build_title_ids();
static_assert(title_ids.count == PLAYLIST_TITLE_COUNT);

constexpr bool title_matches_its_parts() {
  for (int i = 0; i < PLAYLIST_TITLE_COUNT; ++i)
    if (playlist_title[i] != title_ids.ids[i]) return false;
  return true;
}
static_assert(title_matches_its_parts(), "the title playlist is made of the others");

}  // namespace


void music_select_for_room(int room) {
  if ((room >= 1 && room <= 6) || (room >= 17 && room <= 19) || room == 27 || room == 28) {
    music_set_playlist(playlist_a, PLAYLIST_A_COUNT, PLAYLIST_A_LOOP);
  } else if (room >= 7 && room <= 9) {
    music_set_playlist(playlist_b, PLAYLIST_B_COUNT, PLAYLIST_B_LOOP);
  } else if ((room >= 10 && room <= 16) || room == 24 || room == 25 || room == 31) {
    music_set_playlist(playlist_c, PLAYLIST_C_COUNT, PLAYLIST_C_LOOP);
  } else if (room >= 20 && room <= 23) {
    music_set_playlist(playlist_d, PLAYLIST_D_COUNT, PLAYLIST_D_LOOP);
  } else if (room == 26 || room == 29 || room == 30) {
    music_set_playlist(playlist_e, PLAYLIST_E_COUNT, PLAYLIST_E_LOOP);
  }
  // Every other room (32..39 included) keeps the music that is playing.
}
