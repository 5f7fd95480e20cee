// The subcommands of kilnbatch. Each returns the process exit code:
// 0 done, 1 a file or data failure (reported on stderr), 2 a usage error.
// Given --help or -h where an option may stand, each prints its usage on
// standard output and returns 0.
#pragma once

inline constexpr int ExitDone = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

int RunConvert(int argc, char** argv);
int RunSheet(int argc, char** argv);
int RunCaption(int argc, char** argv);
