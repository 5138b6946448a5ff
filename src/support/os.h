// The only place that knows which operating system and compiler we are on:
// thread creation and joining, counting semaphores, the affinity mask and the
// file open. Everything above this file is portable C++.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

struct OsThread;
struct OsSemaphore;

// Starts entry(argument) on a new thread with the default stack size. The
// thread stays joinable; exactly one os_thread_join releases it.
OsThread* os_thread_create(void (*entry)(void*), void* argument);
void os_thread_join(OsThread* thread);

// Counting semaphore that refuses to count above `maximum` (the Win32 rule).
OsSemaphore* os_semaphore_create(int maximum, int initial);
int os_semaphore_release(OsSemaphore* semaphore);  // 1, or 0 when at maximum
void os_semaphore_wait(OsSemaphore* semaphore);
void os_semaphore_destroy(OsSemaphore* semaphore);

// Fills up to max_words 32-bit words of the process affinity mask, lowest
// processors first, and returns the number of words filled (0 on failure).
int os_affinity_mask(uint32_t* words, int max_words);

// Asks the C library to hand blocks of large_bytes and more straight back to
// the system when they are freed, rather than keep them for reuse. A game
// whose big blocks are either kept for good or used once (a decoded image
// on its way to classes) then holds no freed image-sized holes. Nothing
// happens where the library offers no such setting.
void os_release_large_blocks(int large_bytes);

// Hints that a large block about to be written whole be backed by huge
// pages where the system offers them: one fault per 2 MiB instead of one per
// 4 KiB. Nothing happens elsewhere.
void os_prefer_huge_pages(void* block, size_t bytes);

// Opens a file. Windows takes the UTF-16 name and mode (so every name the file
// system allows is reachable); POSIX systems take the UTF-8 name as it is.
FILE* os_file_open(const char* utf8_name, const uint16_t* wide_name,
                   const uint16_t* wide_mode, const char* utf8_mode);
