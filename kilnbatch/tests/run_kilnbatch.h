// Runs the real kilnbatch program from tests, as an asset pipeline would.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "raster/tests/test_files.h"

struct Outcome {
  int exitCode = -1;
  std::string output;
  std::string errors;
};

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// `args` are already quoted; standard output and error are captured.
inline Outcome Kilnbatch(const std::string& args, const TempFolder& folder) {
  const std::string outFile = folder / "stdout.txt";
  const std::string errFile = folder / "stderr.txt";
  const std::string command =
      Quote(KILNBATCH_PATH) + " " + args + " >" + Quote(outFile) + " 2>" + Quote(errFile) + " </dev/null";
  const int status = std::system(command.c_str());
  Outcome run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const auto out = ReadBytes(outFile);
  const auto err = ReadBytes(errFile);
  run.output.assign(out.begin(), out.end());
  run.errors.assign(err.begin(), err.end());
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return run;
}
