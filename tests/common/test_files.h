// Whole files in and out and scratch folders under /tmp, for tests that check
// what a run or a tool left on disk. Reads give an empty result when the file
// cannot be read; the caller's assertions say what that means.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

std::string test_read_file(const std::string& path);
std::vector<uint8_t> test_read_bytes(const std::string& path);

// 1 when every byte reached the file and it closed cleanly, 0 otherwise.
int test_write_file(const std::string& path, const void* data, size_t bytes);
int test_write_file(const std::string& path, const std::string& text);
int test_write_file(const std::string& path, const std::vector<uint8_t>& bytes);

// A fresh folder "/tmp/<prefix>XXXXXX"; empty when it cannot be made.
std::string test_temp_dir(const char* prefix);
// Removes a folder made by test_temp_dir and all it holds: rm's exit status,
// 0 for an empty name (nothing was made), -1 for a path outside /tmp.
int test_remove_dir(const std::string& dir);
