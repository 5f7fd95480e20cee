#include "kilnbatch/options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "raster/bmp_file.h"

namespace {

// Parsed here rather than by CLI11, which reads "010" as octal and "0x10" as hex.
std::optional<int> ParseInt(std::string_view text, int lo, int hi) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::uint32_t> ParseColour(std::string_view text) {
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  if (text.size() != 6) return std::nullopt;
  std::uint32_t rgb = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + 6, rgb, 16);
  if (ec != std::errc() || end != text.data() + 6) return std::nullopt;
  const std::uint32_t red = rgb >> 16, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
  return red | (green << 8) | (blue << 16);
}

std::optional<std::pair<int, int>> ParsePair(std::string_view text, NumberRange range, char separator) {
  const std::size_t at = text.find(separator);
  if (at == std::string_view::npos) return std::nullopt;
  const auto x = ParseInt(text.substr(0, at), range.lo, range.hi);
  const auto y = ParseInt(text.substr(at + 1), range.lo, range.hi);
  if (!x || !y) return std::nullopt;
  return std::make_pair(*x, *y);
}

std::string RangeText(NumberRange range) {
  std::string text = std::to_string(range.lo) + " to " + std::to_string(range.hi);
  return range.unit.empty() ? text : text + " " + std::string(range.unit);
}

// "a, b or c", and "a|b|c" for the label.
std::string ChoicesText(const std::vector<std::string>& choices, std::string_view comma, std::string_view last) {
  std::string text;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    text += i == 0 ? "" : i + 1 == choices.size() ? last : comma;
    text += choices[i];
  }
  return text;
}

// A check that refuses a value `accepts` does not take, saying what it must be.
template <typename Accepts>
CLI::Validator MustBe(std::string what, Accepts accepts) {
  return CLI::Validator([what = std::move(what), accepts](std::string& value) {
    return accepts(value) ? std::string() : "must be " + what + ", not '" + value + "'";
  }, "");
}

CLI::Validator OneOf(const std::vector<std::string>& choices) {
  return MustBe(ChoicesText(choices, ", ", " or "), [choices](const std::string& v) {
    return std::find(choices.begin(), choices.end(), v) != choices.end();
  });
}

}  // namespace

CLI::Option* AddNumber(CLI::App& command, const std::string& name, const std::string& label, int& into,
                       NumberRange range, const std::string& meaning, const std::string& shown) {
  // The range and default close the meaning's first line; what follows explains.
  std::string help = meaning;
  help.insert(std::min(help.find('\n'), help.size()),
              ", " + RangeText(range) + " (" + (shown.empty() ? std::to_string(into) : shown) + ")");
  const auto store = [&into, range](const std::string& v) { into = *ParseInt(v, range.lo, range.hi); };
  return command.add_option_function<std::string>(name, store, help)
      ->type_name(label)
      ->check(MustBe(RangeText(range), [range](const std::string& v) { return ParseInt(v, range.lo, range.hi).has_value(); }));
}

CLI::Option* AddColour(CLI::App& command, const std::string& name, std::uint32_t& into, const std::string& meaning) {
  char shown[8];
  std::snprintf(shown, sizeof shown, "%02X%02X%02X", into & 0xFF, (into >> 8) & 0xFF, (into >> 16) & 0xFF);
  return command
      .add_option_function<std::string>(name, [&into](const std::string& v) { into = *ParseColour(v); },
                                        meaning + ", a leading # allowed (" + shown + ")")
      ->type_name("RRGGBB")
      ->check(MustBe("six hex digits, RRGGBB", [](const std::string& v) { return ParseColour(v).has_value(); }));
}

CLI::Option* AddColourPair(CLI::App& command, const std::string& name, const std::string& label,
                           std::pair<std::uint32_t, std::uint32_t>& into, const std::string& meaning) {
  const auto parse = [](std::string_view v) -> std::optional<std::pair<std::uint32_t, std::uint32_t>> {
    const std::size_t at = v.find(',');
    if (at == std::string_view::npos) return std::nullopt;
    const auto first = ParseColour(v.substr(0, at)), second = ParseColour(v.substr(at + 1));
    if (!first || !second) return std::nullopt;
    return std::pair(*first, *second);
  };
  return command.add_option_function<std::string>(name, [&into, parse](const std::string& v) { into = *parse(v); }, meaning)
      ->type_name(label)
      ->check(MustBe("two colours RRGGBB,RRGGBB", [parse](const std::string& v) { return parse(v).has_value(); }));
}

CLI::Option* AddPair(CLI::App& command, const std::string& name, const std::string& label, std::pair<int, int>& into,
                     NumberRange range, char separator, const std::string& meaning, bool shown) {
  const std::string help = meaning + ", each " + RangeText(range) +
                           (shown ? " (" + std::to_string(into.first) + separator + std::to_string(into.second) + ")" : "");
  const auto store = [&into, range, separator](const std::string& v) { into = *ParsePair(v, range, separator); };
  return command.add_option_function<std::string>(name, store, help)
      ->type_name(label)
      ->check(MustBe(label + " with each " + RangeText(range),
                     [range, separator](const std::string& v) { return ParsePair(v, range, separator).has_value(); }));
}

CLI::Option* AddChoice(CLI::App& command, const std::string& name, std::string& into,
                       const std::vector<std::string>& choices, const std::string& meaning) {
  return command.add_option(name, into, into.empty() ? meaning : meaning + " (" + into + ")")
      ->type_name(ChoicesText(choices, "|", "|"))
      ->check(OneOf(choices));
}

CLI::Option* AddChoices(CLI::App& command, const std::string& name, std::vector<std::string>& into,
                        const std::vector<std::string>& choices, const std::string& meaning) {
  return command.add_option(name, into, meaning + "; repeatable")
      ->type_name(ChoicesText(choices, "|", "|"))
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(OneOf(choices));
}

CLI::Option* AddOutput(CLI::App& command, const std::string& name, const std::string& label, std::string& into,
                       const std::string& meaning) {
  const bool shortName = name.size() == 2;
  return command.add_option(name, into, meaning + " (\"-\" is standard output)")
      ->type_name(label)
      ->transform(CLI::Validator([shortName](std::string& path) {
        // "-o=NAME" is "-o NAME", as it always was; CLI11 alone would keep the "=".
        if (shortName && path.starts_with('=')) path.erase(0, 1);
        if (path == "-") path = "/dev/stdout";
        return path.empty() ? std::string("needs a file name") : std::string();
      }, ""));
}

CLI::Option* AddImageFormat(CLI::App& command, std::string& into) {
  return AddChoice(command, "--format", into, {"png", "bmp"},
                   "the image format, whatever the name; without it a .png name is PNG, any other BMP");
}

CLI::Option* NeedsOneOf(CLI::Option* option, const std::vector<const CLI::Option*>& others) {
  std::vector<std::string> names;
  for (const CLI::Option* other : others) names.push_back(other->get_name());
  const std::string needed = "needs " + ChoicesText(names, ", ", " or ");
  // Checked once the whole command line is read, so every option's count is known.
  return option->description(option->get_description() + "; " + needed)->check(CLI::Validator([others, needed](std::string&) {
    const bool given = std::any_of(others.begin(), others.end(), [](const CLI::Option* o) { return o->count() > 0; });
    return given ? std::string() : needed;
  }, ""));
}

int OutputFormat(const std::string& format, std::string_view path) {
  if (format.empty()) return ImageFormatForName(path);
  return format == "png" ? ImageFormatPng : ImageFormatBmp;
}
