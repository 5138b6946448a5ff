// Start record and trampoline over the os layer. The record is made by the
// starting thread and freed by the new one so the caller may return at once;
// the stop flag lives in the handle, which outlives the body until joined.
#include "support/thread.h"

#include <atomic>
#include <stdlib.h>

#include "support/os.h"

struct Thread {
  OsThread* os_thread;
  std::atomic<int> stop;  // 0 run, 1 stop requested
};

struct Semaphore {
  OsSemaphore* os_semaphore;
};

struct ThreadStart {
  ThreadFunction function;
  void* argument;
  int* result_slot;       // may be null
  Semaphore* completion;  // may be null
  Thread* thread;
};

static thread_local Thread* t_current_thread = nullptr;

static void thread_trampoline(void* raw) {
  ThreadStart start = *(ThreadStart*)raw;
  free(raw);
  t_current_thread = start.thread;
  int result = start.function(start.argument);
  if (start.result_slot) *start.result_slot = result;
  // The release is a synchronising operation: a waiter sees the result.
  if (start.completion) semaphore_release(start.completion);
}

Thread* thread_start(ThreadFunction function, void* argument, int* result_slot,
                     Semaphore* completion) {
  Thread* thread = (Thread*)calloc(1, sizeof(Thread));
  ThreadStart* start = (ThreadStart*)malloc(sizeof(ThreadStart));
  if (!thread || !start) {
    free(thread);
    free(start);
    return nullptr;
  }
  thread->stop.store(0);
  *start = ThreadStart{function, argument, result_slot, completion, thread};
  thread->os_thread = os_thread_create(thread_trampoline, start);
  if (!thread->os_thread) {
    free(start);
    free(thread);
    return nullptr;
  }
  return thread;
}

Thread* thread_start_simple(ThreadFunction function, void* argument) {
  return thread_start(function, argument, nullptr, nullptr);
}

void thread_terminate(Thread* thread) {
  if (!thread) return;
  thread->stop.store(1);
  thread_join(thread);
}

void thread_join(Thread* thread) {
  if (!thread) return;
  os_thread_join(thread->os_thread);
  free(thread);
}

int thread_stop_requested(void) {
  return t_current_thread && t_current_thread->stop.load() ? 1 : 0;
}

uint32_t popcount32(uint32_t x) {
  x = (x >> 1 & 0x55555555u) + (x & 0x55555555u);
  uint32_t y = (x & 0x33333333u) + (x >> 2 & 0x33333333u);
  y = (y + (y >> 4)) & 0x0F0F0F0Fu;
  y = y + (y >> 8);
  return (y + (y >> 16)) & 0xFF;
}

int cpu_count(void) {
  uint32_t words[32];
  int n = os_affinity_mask(words, 32);
  int count = 0;
  for (int i = 0; i < n; i++) count += (int)popcount32(words[i]);
  return count;
}

void memory_barrier(void) { std::atomic_thread_fence(std::memory_order_seq_cst); }

Semaphore* semaphore_create(int maximum, int initial) {
  OsSemaphore* os_semaphore = os_semaphore_create(maximum, initial);
  if (!os_semaphore) return nullptr;
  Semaphore* semaphore = (Semaphore*)malloc(sizeof(Semaphore));
  if (!semaphore) {
    os_semaphore_destroy(os_semaphore);
    return nullptr;
  }
  semaphore->os_semaphore = os_semaphore;
  return semaphore;
}

int semaphore_release(Semaphore* semaphore) {
  return semaphore ? os_semaphore_release(semaphore->os_semaphore) : 0;
}

void semaphore_wait(Semaphore* semaphore) {
  if (semaphore) os_semaphore_wait(semaphore->os_semaphore);
}

void semaphore_free(Semaphore* semaphore) {
  if (!semaphore) return;
  os_semaphore_destroy(semaphore->os_semaphore);
  free(semaphore);
}
