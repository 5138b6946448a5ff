// Process services that every POSIX backend shares: the executable's own
// path, read from /proc so that it does not depend on how we were started.
#include <unistd.h>

#include "platform/platform.h"

int platform_executable_path(char* buffer, int bytes) {
  if (bytes <= 1) return 0;
  ssize_t n = readlink("/proc/self/exe", buffer, bytes - 1);
  if (n <= 0 || n >= bytes - 1) {
    buffer[0] = 0;
    return 0;
  }
  buffer[n] = 0;
  return (int)n;
}
