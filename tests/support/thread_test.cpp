// Threads: the completion order promised to waiters and the cooperative stop
// the music decoder relies on.
#include <gtest/gtest.h>

#include <sched.h>

#include <atomic>

#include "support/thread.h"

namespace {

struct Work {
  std::atomic<int> units{0};
  int value = 0;
};

int compute_then_return(void* raw) {
  Work* work = (Work*)raw;
  work->value = 1234;
  return 42;
}

TEST(Thread, ResultIsStoredBeforeCompletionIsSignalled) {
  for (int round = 0; round < 50; round++) {
    Semaphore* done = semaphore_create(1, 0);
    ASSERT_NE(done, nullptr);
    Work work;
    int result = -1;
    Thread* thread = thread_start(compute_then_return, &work, &result, done);
    ASSERT_NE(thread, nullptr);
    semaphore_wait(done);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(work.value, 1234);
    thread_join(thread);
    semaphore_free(done);
  }
}

int endless_units(void* raw) {
  Work* work = (Work*)raw;
  while (!thread_stop_requested()) {
    work->units.fetch_add(1);
    memory_barrier();
  }
  return 7;
}

TEST(Thread, TerminateStopsACooperativeBodyAndWaitsForIt) {
  Work work;
  int result = 0;
  Thread* thread = thread_start(endless_units, &work, &result, nullptr);
  ASSERT_NE(thread, nullptr);
  while (work.units.load() < 1000) sched_yield();
  thread_terminate(thread);
  // The body has returned and stored its result before terminate returned.
  EXPECT_EQ(result, 7);
  int units = work.units.load();
  EXPECT_EQ(work.units.load(), units);
}

}  // namespace
