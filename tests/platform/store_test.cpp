// The persistent value file: neither a crash nor a failure between writing
// the temporary file and renaming it ever loses the previous value. (Round
// trips are played end to end in headless_game_test.)
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "common/test_files.h"
#include "platform/platform.h"
#include "platform/posix/store.h"

namespace {

const char* const KEY = "Software\\Orrinvale\\qorvel";

struct StoreTest : ::testing::Test {
  std::string dir;
  void SetUp() override {
    dir = test_temp_dir("vantrel_store_");
    ASSERT_FALSE(dir.empty());
    store_set_base_dir(dir.c_str());
    store_before_rename_hook = nullptr;
  }
  void TearDown() override {
    store_set_base_dir(nullptr);
    store_before_rename_hook = nullptr;
    ASSERT_EQ(0, test_remove_dir(dir));
  }
  std::string save_path() const { return dir + "/Orrinvale/qorvel/save"; }
};

void fill(unsigned char* data, unsigned char seed) {
  for (int i = 0; i < 24; i++) data[i] = (unsigned char)(seed + i * 7);
}

// A process that dies after the new value reached the temporary file but
// before the rename must leave the old value readable, and the next write
// must still succeed over the stale temporary file.
TEST_F(StoreTest, CrashBetweenWritingAndRenamingKeepsThePreviousValue) {
  unsigned char old_value[24], new_value[24], back[24];
  fill(old_value, 1);
  fill(new_value, 50);
  ASSERT_EQ(1, platform_store_write(KEY, "save", old_value, 24));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    store_before_rename_hook = [] { _exit(42); };
    platform_store_write(KEY, "save", new_value, 24);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(42, WEXITSTATUS(status));  // it really died at the hook
  struct stat st;
  EXPECT_EQ(0, stat((save_path() + ".tmp").c_str(), &st));  // the new bytes were written
  ASSERT_EQ(24, platform_store_read(KEY, "save", back, 24));
  EXPECT_EQ(0, memcmp(old_value, back, 24));
  ASSERT_EQ(1, platform_store_write(KEY, "save", new_value, 24));
  ASSERT_EQ(24, platform_store_read(KEY, "save", back, 24));
  EXPECT_EQ(0, memcmp(new_value, back, 24));
  EXPECT_NE(0, stat((save_path() + ".tmp").c_str(), &st));  // renamed into place
  ASSERT_EQ(0, stat(save_path().c_str(), &st));
  EXPECT_EQ(24, st.st_size);
}

// A rename that fails (here: a folder is in the way) is reported, leaves
// no temporary file behind, and the value in the way is untouched.
TEST_F(StoreTest, FailedRenameReportsFailureAndCleansUp) {
  unsigned char data[24];
  fill(data, 5);
  ASSERT_EQ(0, system(("mkdir -p '" + save_path() + "/keep'").c_str()));
  EXPECT_EQ(0, platform_store_write(KEY, "save", data, 24));
  struct stat st;
  EXPECT_NE(0, stat((save_path() + ".tmp").c_str(), &st));
  EXPECT_EQ(0, stat((save_path() + "/keep").c_str(), &st));
}

}  // namespace
