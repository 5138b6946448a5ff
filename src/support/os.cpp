// POSIX and Win32 implementations of the few services the support library
// needs from the system. Windows keeps the thread handle until it is joined, so
// a handle is never used after the runtime has closed it.
#include "support/os.h"

#include <stdlib.h>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <process.h>
#include <wchar.h>
#include <windows.h>
#else
#include <pthread.h>
#include <sched.h>
#endif

#if defined(_WIN32)

struct OsThread {
  HANDLE handle;
  void (*entry)(void*);
  void* argument;
};

struct OsSemaphore {
  HANDLE handle;
};

static unsigned __stdcall os_thread_main(void* raw) {
  OsThread* thread = (OsThread*)raw;
  thread->entry(thread->argument);
  return 0;
}

OsThread* os_thread_create(void (*entry)(void*), void* argument) {
  OsThread* thread = (OsThread*)calloc(1, sizeof(OsThread));
  if (!thread) return nullptr;
  thread->entry = entry;
  thread->argument = argument;
  uintptr_t handle = _beginthreadex(nullptr, 0, os_thread_main, thread, 0, nullptr);
  if (handle == 0) {
    free(thread);
    return nullptr;
  }
  thread->handle = (HANDLE)handle;
  return thread;
}

void os_thread_join(OsThread* thread) {
  if (!thread) return;
  WaitForSingleObject(thread->handle, INFINITE);
  CloseHandle(thread->handle);
  free(thread);
}

OsSemaphore* os_semaphore_create(int maximum, int initial) {
  HANDLE handle = CreateSemaphoreA(nullptr, initial, maximum, nullptr);
  if (!handle) return nullptr;
  OsSemaphore* semaphore = (OsSemaphore*)calloc(1, sizeof(OsSemaphore));
  if (!semaphore) {
    CloseHandle(handle);
    return nullptr;
  }
  semaphore->handle = handle;
  return semaphore;
}

int os_semaphore_release(OsSemaphore* semaphore) {
  return ReleaseSemaphore(semaphore->handle, 1, nullptr) ? 1 : 0;
}

void os_semaphore_wait(OsSemaphore* semaphore) {
  WaitForSingleObject(semaphore->handle, INFINITE);
}

void os_semaphore_destroy(OsSemaphore* semaphore) {
  if (!semaphore) return;
  CloseHandle(semaphore->handle);
  free(semaphore);
}

int os_affinity_mask(uint32_t* words, int max_words) {
  DWORD_PTR process_mask = 0, system_mask = 0;
  if (max_words < 1 || !GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask))
    return 0;
  uint64_t mask = (uint64_t)process_mask;
  words[0] = (uint32_t)mask;
  if (max_words < 2) return 1;
  words[1] = (uint32_t)(mask >> 32);
  return 2;
}

FILE* os_file_open(const char* utf8_name, const uint16_t* wide_name,
                   const uint16_t* wide_mode, const char* utf8_mode) {
  (void)utf8_name;
  (void)utf8_mode;
  static_assert(sizeof(wchar_t) == sizeof(uint16_t), "UTF-16 wchar_t expected");
  return _wfopen((const wchar_t*)wide_name, (const wchar_t*)wide_mode);
}

#else

struct OsThread {
  pthread_t id;
  void (*entry)(void*);
  void* argument;
};

struct OsSemaphore {
  pthread_mutex_t mutex;
  pthread_cond_t cond;
  int count;    // 0..maximum
  int maximum;
};

static void* os_thread_main(void* raw) {
  OsThread* thread = (OsThread*)raw;
  thread->entry(thread->argument);
  return nullptr;
}

OsThread* os_thread_create(void (*entry)(void*), void* argument) {
  OsThread* thread = (OsThread*)calloc(1, sizeof(OsThread));
  if (!thread) return nullptr;
  thread->entry = entry;
  thread->argument = argument;
  if (pthread_create(&thread->id, nullptr, os_thread_main, thread) != 0) {
    free(thread);
    return nullptr;
  }
  return thread;
}

void os_thread_join(OsThread* thread) {
  if (!thread) return;
  pthread_join(thread->id, nullptr);
  free(thread);
}

OsSemaphore* os_semaphore_create(int maximum, int initial) {
  if (maximum < 1 || initial < 0 || initial > maximum) return nullptr;
  OsSemaphore* semaphore = (OsSemaphore*)calloc(1, sizeof(OsSemaphore));
  if (!semaphore) return nullptr;
  pthread_mutex_init(&semaphore->mutex, nullptr);
  pthread_cond_init(&semaphore->cond, nullptr);
  semaphore->count = initial;
  semaphore->maximum = maximum;
  return semaphore;
}

int os_semaphore_release(OsSemaphore* semaphore) {
  pthread_mutex_lock(&semaphore->mutex);
  int ok = semaphore->count < semaphore->maximum;
  if (ok) semaphore->count++;
  pthread_mutex_unlock(&semaphore->mutex);
  if (ok) pthread_cond_signal(&semaphore->cond);
  return ok;
}

void os_semaphore_wait(OsSemaphore* semaphore) {
  pthread_mutex_lock(&semaphore->mutex);
  while (semaphore->count == 0) pthread_cond_wait(&semaphore->cond, &semaphore->mutex);
  semaphore->count--;
  pthread_mutex_unlock(&semaphore->mutex);
}

void os_semaphore_destroy(OsSemaphore* semaphore) {
  if (!semaphore) return;
  pthread_cond_destroy(&semaphore->cond);
  pthread_mutex_destroy(&semaphore->mutex);
  free(semaphore);
}

int os_affinity_mask(uint32_t* words, int max_words) {
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (max_words < 1 || sched_getaffinity(0, sizeof(set), &set) != 0) return 0;
  int n = (int)(CPU_SETSIZE / 32);
  if (n > max_words) n = max_words;
  for (int w = 0; w < n; w++) {
    uint32_t word = 0;
    for (int b = 0; b < 32; b++)
      if (CPU_ISSET(w * 32 + b, &set)) word |= 1u << b;
    words[w] = word;
  }
  return n;
#else
  // No affinity query here: report one processor, the safe single-thread case.
  if (max_words < 1) return 0;
  words[0] = 1;
  return 1;
#endif
}

FILE* os_file_open(const char* utf8_name, const uint16_t* wide_name,
                   const uint16_t* wide_mode, const char* utf8_mode) {
  (void)wide_name;
  (void)wide_mode;
  return fopen(utf8_name, utf8_mode);
}

#endif

void os_release_large_blocks(int large_bytes) {
#if defined(__GLIBC__)
  // A fixed threshold also stops glibc from raising it each time such a
  // block is freed, which would move the next ones into the heap proper.
  mallopt(M_MMAP_THRESHOLD, large_bytes);
  mallopt(M_TRIM_THRESHOLD, large_bytes);
#else
  (void)large_bytes;
#endif
}

void os_prefer_huge_pages(void* block, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only whole pages inside the block; the advice is a hint, so a kernel
  // that refuses it changes nothing.
  const uintptr_t page = 4096;
  uintptr_t start = ((uintptr_t)block + page - 1) & ~(page - 1);
  uintptr_t end = ((uintptr_t)block + bytes) & ~(page - 1);
  if (end > start) madvise((void*)start, end - start, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}
