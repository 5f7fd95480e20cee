#include "kilnbatch/standard_output.h"

#include <sys/stat.h>

bool IsStandardOutput(const std::string& path) {
  struct stat console {}, file {};
  return ::fstat(1, &console) == 0 && ::stat(path.c_str(), &file) == 0 && file.st_dev == console.st_dev &&
         file.st_ino == console.st_ino;
}
