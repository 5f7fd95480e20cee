#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "kiln_version.h"
#include "kilnbatch/commands.h"
#include "kilnbatch/options.h"
#include "raster/bmp_file.h"

namespace {

constexpr const char* Footer =
    "An output named \"-\" is standard output.\n"
    "Exit codes: 0 done, 1 a file could not be read or written, 2 a usage error.";

// Every command with its options, for `kilnbatch help` and `kilnbatch --help`.
std::string EveryCommandsHelp(const CLI::App& kilnbatch) {
  return kilnbatch.get_formatter()->make_help(&kilnbatch, kilnbatch.get_name(), CLI::AppFormatMode::All);
}

// The command a failed command line was for, so that its message names it.
std::string CommandName(const CLI::App& kilnbatch) {
  const auto chosen = kilnbatch.get_subcommands();
  return chosen.empty() ? "" : chosen.front()->get_name();
}

// "kilnbatch COMMAND", or "kilnbatch" alone before any command.
std::string Program(std::string_view command) {
  return command.empty() ? "kilnbatch" : "kilnbatch " + std::string(command);
}

}  // namespace

int UsageError(std::string_view command, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", Program(command).c_str(), message.c_str());
  return ExitUsage;
}

int Failure(std::string_view command, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", Program(command).c_str(), message.c_str());
  return ExitFailed;
}

int main(int argc, char** argv) {
  RemovePartialWriteOnSignals();  // an interrupted save leaves no temporary file behind
  CLI::App kilnbatch("kilnbatch: the bitmap lettering engine on the command line.", "kilnbatch");
  kilnbatch.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);  // a repeated option: the last counts
  kilnbatch.footer(Footer);
  kilnbatch.set_help_flag("-h,--help", "print this command's options");  // each command takes it as it is made
  const Command commands[] = {AddSheetCommand(kilnbatch), AddCaptionCommand(kilnbatch), AddConvertCommand(kilnbatch)};
  CLI::App* help = kilnbatch.add_subcommand("help", "print the options of every command, or of COMMAND");
  std::string topic;
  AddChoice(*help, "COMMAND", topic, {"sheet", "caption", "convert"}, "the command");
  // The program's own -h and --help print every command's options.
  kilnbatch.set_help_flag();
  kilnbatch.set_help_all_flag("-h,--help", "print the options of every command");
  kilnbatch.set_version_flag("--version", std::string("kilnbatch ") + KilnVersion, "print the version");
  kilnbatch.require_subcommand(1);
  try {
    kilnbatch.parse(argc, argv);
  } catch (const CLI::CallForAllHelp&) {
    std::fputs(EveryCommandsHelp(kilnbatch).c_str(), stdout);
    return ExitDone;
  } catch (const CLI::CallForHelp&) {
    std::fputs(kilnbatch.help().c_str(), stdout);
    return ExitDone;
  } catch (const CLI::CallForVersion& version) {
    std::printf("%s\n", version.what());
    return ExitDone;
  } catch (const CLI::ParseError& error) {
    if (argc < 2) return UsageError("", "a command is needed: sheet, caption, convert or help");
    if (kilnbatch.get_subcommands().empty() && argv[1][0] != '-') {
      return UsageError("", std::string("unknown command '") + argv[1] + "'");
    }
    return UsageError(CommandName(kilnbatch), error.what());
  }
  if (help->parsed()) {
    const std::string text =
        topic.empty() ? EveryCommandsHelp(kilnbatch) : kilnbatch.get_subcommand(topic)->help(kilnbatch.get_name());
    std::fputs(text.c_str(), stdout);
    return ExitDone;
  }
  for (const Command& command : commands) {
    if (!command.app->parsed()) continue;
    // Sizes are checked before anything large is taken; what memory still runs out is a failure, not a crash.
    try {
      return command.run();
    } catch (const std::bad_alloc&) {
      return Failure(command.app->get_name(), "out of memory");
    }
  }
  return ExitUsage;  // require_subcommand leaves no way here
}
