#include "kilnbatch/options.h"

#include <charconv>

#include "raster/bmp_file.h"

bool ParsedOptions::Has(std::string_view name) const {
  for (const auto& [n, v] : values) {
    if (n == name) return true;
  }
  return false;
}

std::optional<std::string> ParsedOptions::Value(std::string_view name) const {
  std::optional<std::string> found;
  for (const auto& [n, v] : values) {
    if (n == name) found = v;
  }
  return found;
}

std::vector<std::string> ParsedOptions::Values(std::string_view name) const {
  std::vector<std::string> found;
  for (const auto& [n, v] : values) {
    if (n == name) found.push_back(v);
  }
  return found;
}

ParsedOptions ParseOptions(int argc, char** argv, const std::vector<OptionSpec>& specs) {
  ParsedOptions out;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg.size() < 2 || arg[0] != '-') {
      out.positional.emplace_back(arg);
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string_view name = arg.substr(0, eq);
    const OptionSpec* known = nullptr;
    for (const OptionSpec& s : specs) {
      if (s.name == name) known = &s;
    }
    if (!known) {
      out.error = "unknown option '" + std::string(name) + "'";
      return out;
    }
    if (!known->takesValue) {
      if (eq != std::string_view::npos) {
        out.error = "option " + std::string(name) + " takes no value";
        return out;
      }
      out.values.emplace_back(name, "");
      continue;
    }
    if (eq != std::string_view::npos) {
      out.values.emplace_back(name, arg.substr(eq + 1));
    } else if (i + 1 < argc) {
      out.values.emplace_back(name, argv[++i]);
    } else {
      out.error = "option " + std::string(name) + " needs a value";
      return out;
    }
  }
  return out;
}

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

std::optional<std::pair<int, int>> ParsePair(std::string_view text, int lo, int hi, char separator) {
  const std::size_t at = text.find(separator);
  if (at == std::string_view::npos) return std::nullopt;
  const auto x = ParseInt(text.substr(0, at), lo, hi);
  const auto y = ParseInt(text.substr(at + 1), lo, hi);
  if (!x || !y) return std::nullopt;
  return std::make_pair(*x, *y);
}

std::optional<int> OutputFormat(const ParsedOptions& opts, std::string_view path) {
  const auto format = opts.Value("--format");
  if (!format) return ImageFormatForName(path);
  if (*format == "png") return ImageFormatPng;
  if (*format == "bmp") return ImageFormatBmp;
  return std::nullopt;
}
