// Rooms: one 800 x 600 class image "rNN.png" loaded at a time, entered and
// left through the left and right edges. Each change saves the game; leaving
// the row of rooms at either end finishes it.
#pragma once

#include "core/save.h"

// Loads room n ("r%02d.png"), its solid_map, its music, and makes the avatar's
// current state the checkpoint. 0 (nothing changed) when there is no image.
int room_load(int n);
// Only the room's Bitmap and solid_map (and room_number), as room_load makes
// them; 0 (nothing changed) when there is no image.
int room_load_images(int n);
// Avatar from words 1..4, then room_load(word 0).
int room_restore(const SaveRecord* record);
// Called after the avatar was moved by one room width. Saves on success; when
// there is no next room the save is erased and the process exits with 0.
void room_change(int delta);
// Room 1 at (350, 50), or room 25 at (100, 300) with the "+25" option.
void new_game(void);
// The saved position when the record in memory is valid, else a new game.
void continue_game(void);
