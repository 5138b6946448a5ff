// Child processes for the tests (see test_run.h). system() keeps the shell's
// redirections and `cd dir &&` prefixes the tests rely on.
#include "common/test_run.h"

#include <stdlib.h>
#include <sys/wait.h>

int test_run(const std::string& command) {
  int status = system(command.c_str());
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
