// Command-line options of the form "--name value", "--name=value" or a bare
// "--flag", with strict number and colour parsing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct OptionSpec {
  std::string_view name;  // "--size", or "-o"
  bool takesValue;
};

struct ParsedOptions {
  std::vector<std::pair<std::string, std::string>> values;  // in the order given
  std::vector<std::string> positional;
  std::string error;  // non-empty when the command line is malformed

  bool Has(std::string_view name) const;
  // The last value given for `name`.
  std::optional<std::string> Value(std::string_view name) const;
  // Every value given for `name`, in order.
  std::vector<std::string> Values(std::string_view name) const;
};

ParsedOptions ParseOptions(int argc, char** argv, const std::vector<OptionSpec>& specs);

// The image format of an output at `path`: `--format png|bmp` when given
// (nothing when it names neither), else PNG for a ".png" name, else BMP.
std::optional<int> OutputFormat(const ParsedOptions& opts, std::string_view path);

// A whole decimal number, optionally signed, within [lo, hi].
std::optional<int> ParseInt(std::string_view text, int lo, int hi);
// Six hex digits, red first, with or without "#": the colour as 0x00BBGGRR.
std::optional<std::uint32_t> ParseColour(std::string_view text);
// "X,Y" (another separator if given) with each within [lo, hi].
std::optional<std::pair<int, int>> ParsePair(std::string_view text, int lo, int hi, char separator = ',');
