// Threads, a full memory fence, counting semaphores and the processor count.
// The game starts one thread (the music decoder) and only when the process may
// use two or more processors.
//
// Stopping is cooperative: thread_terminate asks the body to stop and waits for
// it. Killing a thread from outside (TerminateThread; POSIX has no safe form at
// all) can leave a heap or stdio lock held by the victim and deadlock the
// process on its way out, so a long-running body calls thread_stop_requested
// between units of work (one decoded block for the music) and returns when it
// says so.
#pragma once

#include <stdint.h>

struct Thread;
struct Semaphore;

typedef int (*ThreadFunction)(void* argument);

// Starts function(argument). When the function returns, its result is stored
// in *result_slot (if given) and then the completion semaphore (if given) is
// released once. Null when the thread cannot be started. The handle must be
// given back through thread_terminate or thread_join exactly once.
Thread* thread_start(ThreadFunction function, void* argument, int* result_slot,
                     Semaphore* completion);
Thread* thread_start_simple(ThreadFunction function, void* argument);

// Asks the thread to stop, waits until its body has returned, and releases the
// handle. A null handle is ignored.
void thread_terminate(Thread* thread);

// Waits for the body to return on its own and releases the handle.
void thread_join(Thread* thread);

// Called from inside a thread body: 1 once thread_terminate was called for the
// calling thread, else 0 (always 0 on threads not started here).
int thread_stop_requested(void);

int cpu_count(void);               // processors in the process affinity mask
uint32_t popcount32(uint32_t x);  // set bits of x
void memory_barrier(void);        // full fence, both compiler and processor

Semaphore* semaphore_create(int maximum, int initial);
int semaphore_release(Semaphore* semaphore);  // 1, or 0 when already at maximum
void semaphore_wait(Semaphore* semaphore);
void semaphore_free(Semaphore* semaphore);
