#include "quarrytab/linux_facts.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "support/text.h"

namespace quarrytab {
namespace {

/// "key : value" of a cpuinfo line; false when the line has no colon.
bool SplitField(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  key = support::TrimBlanks(line.substr(0, colon));
  value = line.substr(colon + 1);
  if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
  return true;
}

/// Removes the quotes and backslash escapes of a shell-style value.
std::string Unquote(std::string_view value) {
  value = support::TrimBlanks(value);
  std::string out;
  char quote = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (quote != 0 && c == quote) {
      quote = 0;
    } else if (c == '\\' && quote != '\'' && i + 1 < value.size()) {
      out.push_back(value[++i]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

/// Undoes the octal escapes (\040) of mountinfo fields.
std::string UnescapeOctal(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string_view::npos) {
        out.push_back(
            static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    const std::size_t end = line.find(' ', pos);
    const std::size_t stop = end == std::string_view::npos ? line.size() : end;
    if (stop > pos) words.push_back(line.substr(pos, stop - pos));
    pos = stop;
  }
  return words;
}

}  // namespace

CpuFacts ParseCpuInfo(std::string_view text) {
  CpuFacts facts;
  bool seen_processor = false;
  for (const std::string& line : support::Split(text, '\n')) {
    std::string_view key, value;
    if (!SplitField(line, key, value)) continue;
    if (key == "processor") {
      if (seen_processor) break;  // the first processor only
      seen_processor = true;
    } else if (key == "model name" && facts.name.empty()) {
      facts.name = std::string(support::TrimBlanks(value));
    } else if (key == "cpu MHz" && facts.mhz == 0) {
      const std::string number(support::TrimBlanks(value));
      char* end = nullptr;
      const double mhz = std::strtod(number.c_str(), &end);
      if (end != number.c_str() && mhz > 0 && mhz < 1e7) {
        facts.mhz = static_cast<std::int32_t>(std::lround(mhz));
      }
    }
  }
  return facts;
}

std::optional<std::int64_t> ParseMemInfoBytes(std::string_view text, std::string_view field) {
  for (const std::string& line : support::Split(text, '\n')) {
    std::string_view key, value;
    if (!SplitField(line, key, value) || key != field) continue;
    const std::vector<std::string_view> words = Words(support::TrimBlanks(value));
    if (words.empty()) return std::nullopt;
    const std::optional<std::int64_t> n = support::ParseNonNegative(words[0]);
    if (!n) return std::nullopt;
    const bool kilobytes = words.size() > 1 && words[1] == "kB";
    if (kilobytes && *n > (INT64_MAX >> 10)) return std::nullopt;
    return kilobytes ? *n * 1024 : *n;
  }
  return std::nullopt;
}

std::string ParseOsReleaseName(std::string_view text) {
  std::map<std::string, std::string> fields;
  for (const std::string& line : support::Split(text, '\n')) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || line.starts_with("#")) continue;
    fields[std::string(support::TrimBlanks(line.substr(0, eq)))] = Unquote(line.substr(eq + 1));
  }
  if (!fields["PRETTY_NAME"].empty()) return fields["PRETTY_NAME"];
  if (!fields["NAME"].empty() && !fields["VERSION"].empty()) {
    return fields["NAME"] + " " + fields["VERSION"];
  }
  return fields["NAME"];
}

std::map<std::string, std::string> ParseUserDirs(std::string_view text, std::string_view home) {
  std::map<std::string, std::string> dirs;
  for (const std::string& line : support::Split(text, '\n')) {
    const std::string_view l = support::TrimBlanks(line);
    const std::size_t eq = l.find('=');
    if (l.starts_with("#") || eq == std::string_view::npos || !l.starts_with("XDG_")) continue;
    std::string_view name = l.substr(4, eq - 4);
    if (!name.ends_with("_DIR")) continue;
    name.remove_suffix(4);
    std::string value = Unquote(l.substr(eq + 1));
    if (value.starts_with("$HOME")) {
      value = std::string(home) + value.substr(5);
    } else if (!value.starts_with("/")) {
      continue;
    }
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    dirs[std::string(name)] = value;
  }
  return dirs;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  for (const std::string& line : support::Split(text, '\n')) {
    const std::vector<std::string_view> words = Words(line);
    std::size_t dash = 0;
    while (dash < words.size() && words[dash] != "-") ++dash;
    if (words.size() < 5 || dash + 2 >= words.size()) continue;
    mounts.push_back(MountEntry{UnescapeOctal(words[4]), UnescapeOctal(words[dash + 1]),
                                UnescapeOctal(words[dash + 2])});
  }
  return mounts;
}

const MountEntry* MountOf(const std::vector<MountEntry>& mounts, std::string_view path) {
  const MountEntry* best = nullptr;
  for (const MountEntry& m : mounts) {
    const std::string_view mp = m.mount_point;
    const bool above =
        mp == "/" ? path.starts_with("/")
                  : path.starts_with(mp) && (path.size() == mp.size() || path[mp.size()] == '/');
    if (above && (best == nullptr || mp.size() >= best->mount_point.size())) best = &m;
  }
  return best;
}

KernelVersion ParseKernelRelease(std::string_view release) {
  KernelVersion v;
  std::uint32_t* parts[] = {&v.major, &v.minor, &v.patch};
  std::size_t pos = 0;
  for (std::uint32_t* part : parts) {
    std::uint32_t n = 0;
    std::size_t digits = 0;
    while (pos < release.size() && release[pos] >= '0' && release[pos] <= '9' && digits < 9) {
      n = n * 10 + static_cast<std::uint32_t>(release[pos++] - '0');
      ++digits;
    }
    if (digits == 0) break;
    *part = n;
    if (pos >= release.size() || release[pos] != '.') break;
    ++pos;
  }
  return v;
}

}  // namespace quarrytab
