// Threads: the completion order promised to waiters, the cooperative stop the
// music decoder relies on, the processor count and the semaphore maximum.
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

TEST(Thread, SimpleStartAndNullHandles) {
  Work work;
  Thread* thread = thread_start_simple(compute_then_return, &work);
  ASSERT_NE(thread, nullptr);
  thread_join(thread);
  EXPECT_EQ(work.value, 1234);
  thread_terminate(nullptr);
  thread_join(nullptr);
  EXPECT_EQ(thread_stop_requested(), 0);  // main thread: never asked to stop
}

TEST(CpuCount, PopcountAndAffinity) {
  EXPECT_EQ(popcount32(0x5), 2u);
  EXPECT_EQ(popcount32(0x1), 1u);
  EXPECT_EQ(popcount32(0), 0u);
  EXPECT_EQ(popcount32(0xFFFFFFFFu), 32u);
  EXPECT_EQ(popcount32(0x80000001u), 2u);
  EXPECT_EQ(popcount32(0xF0F0F0F0u), 16u);
  cpu_set_t set;
  ASSERT_EQ(sched_getaffinity(0, sizeof(set), &set), 0);
  EXPECT_EQ(cpu_count(), CPU_COUNT(&set));
  EXPECT_GE(cpu_count(), 1);
}

TEST(Semaphore, CountsAndRefusesAboveMaximum) {
  Semaphore* s = semaphore_create(2, 1);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(semaphore_release(s), 1);
  EXPECT_EQ(semaphore_release(s), 0);  // already at 2
  semaphore_wait(s);
  semaphore_wait(s);
  EXPECT_EQ(semaphore_release(s), 1);
  semaphore_free(s);
  EXPECT_EQ(semaphore_create(0, 0), nullptr);
  EXPECT_EQ(semaphore_create(1, 2), nullptr);
}

}  // namespace
