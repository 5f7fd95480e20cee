// Runs the real kilnbatch program from tests (its path given by the test target), as an asset pipeline would.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/tests/test_files.h"

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
  const std::string out = folder / "stdout.txt", err = folder / "stderr.txt";
  const int status = std::system((Quote(KILNBATCH_PATH) + " " + args + " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null").c_str());
  const auto output = ReadBytes(out), errors = ReadBytes(err);
  std::filesystem::remove(out), std::filesystem::remove(err);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, {output.begin(), output.end()}, {errors.begin(), errors.end()}};
}
