// The subcommands of kilnbatch. Each adds itself and its options to the
// program's command line; once that is parsed, the chosen one runs and returns
// the process exit code: 0 done, 1 a file or data failure (reported on
// stderr), 2 a usage error.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <string_view>

inline constexpr int ExitDone = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

struct Command {
  CLI::App* app;              // the subcommand, owned by the program's CLI::App
  std::function<int()> run;   // runs it with the options parsed
};

Command AddSheetCommand(CLI::App& kilnbatch);
Command AddCaptionCommand(CLI::App& kilnbatch);
Command AddConvertCommand(CLI::App& kilnbatch);

// A usage error, found by CLI11 or once the options are parsed:
// "kilnbatch COMMAND: MESSAGE" on standard error. Returns ExitUsage.
int UsageError(std::string_view command, const std::string& message);
// A failure of a file or of the data: the same one line. Returns ExitFailed.
int Failure(std::string_view command, const std::string& message);
