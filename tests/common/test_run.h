// Runs a child process through the shell, the way the end-to-end tests start
// the real executables with redirected output.
#pragma once

#include <string>

// The command's exit status, or -1 when it did not exit normally (killed by
// a signal, or the shell could not be started).
int test_run(const std::string& command);
