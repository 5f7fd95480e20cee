// kilnbatch's options on CLI11. Each is declared once, with its range,
// default and meaning: the checks and the help are both made from that.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct NumberRange {
  int lo;
  int hi;
  std::string_view unit;  // "points", or empty
};

// A whole decimal number (a leading "+" allowed) within `range` into `into`,
// whose value is the default the help shows, unless `shown` says otherwise.
CLI::Option* AddNumber(CLI::App& command, const std::string& name, const std::string& label, int& into,
                       NumberRange range, const std::string& meaning, const std::string& shown = {});
// Six hex digits, red first, with or without "#", into `into` as 0x00BBGGRR.
CLI::Option* AddColour(CLI::App& command, const std::string& name, std::uint32_t& into, const std::string& meaning);
// Two colours parted by a comma ("TOP,BOTTOM"), each as AddColour takes it.
CLI::Option* AddColourPair(CLI::App& command, const std::string& name, const std::string& label,
                           std::pair<std::uint32_t, std::uint32_t>& into, const std::string& meaning);
// Two numbers parted by `separator` ("X,Y", "WxH"), each within `range`.
// Without `shown`, the help shows no default.
CLI::Option* AddPair(CLI::App& command, const std::string& name, const std::string& label, std::pair<int, int>& into,
                     NumberRange range, char separator, const std::string& meaning, bool shown = true);
// One of `choices`; a non-empty `into` is the default the help shows.
CLI::Option* AddChoice(CLI::App& command, const std::string& name, std::string& into,
                       const std::vector<std::string>& choices, const std::string& meaning);
// The same, repeatable, each value given once into `into`, in order.
CLI::Option* AddChoices(CLI::App& command, const std::string& name, std::vector<std::string>& into,
                        const std::vector<std::string>& choices, const std::string& meaning);
// A file to write, at any position: "-" is standard output, written through
// as "/dev/stdout" is.
CLI::Option* AddOutput(CLI::App& command, const std::string& name, const std::string& label, std::string& into,
                       const std::string& meaning);
// `--format png|bmp` into `into`.
CLI::Option* AddImageFormat(CLI::App& command, std::string& into);

// Refuses `option` given without any of `others`; its help says so.
CLI::Option* NeedsOneOf(CLI::Option* option, const std::vector<const CLI::Option*>& others);

// The image format of an output at `path`: `format` ("png" or "bmp") when
// given, else PNG for a ".png" name, else BMP.
int OutputFormat(const std::string& format, std::string_view path);
