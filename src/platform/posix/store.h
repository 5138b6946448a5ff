// The persistent value on POSIX systems: one small file per value under a
// data folder ($XDG_DATA_HOME, or a folder given by the headless runner),
// replaced atomically so that a crash mid-write never loses the old value.
#pragma once

// Chooses the folder the values live under; null or "" returns to the
// default, $XDG_DATA_HOME or else ~/.local/share.
void store_set_base_dir(const char* dir);
// The file of a value: <base>/<key path less a leading "Software\", with
// backslashes as folders>/<value name>. Returns 0 when the names are unusable
// ("." or ".." components, slashes in the value name) or the path is too long.
int store_value_path(const char* key_path, const char* value_name, char* buffer, int bytes);
// Called between writing and renaming the temporary file; tests use it to
// stand for a crash at the worst moment. Null in the game.
extern void (*store_before_rename_hook)(void);
