#include "server/config.h"

#include <fstream>
#include <sstream>

#include "server/paths.h"
#include "support/text.h"

namespace server {

namespace {

std::optional<bool> ParseBoolValue(std::string_view value) {
  const std::string folded = support::FoldCase(value);
  if (folded == "true" || folded == "yes" || folded == "on" || folded == "1") return true;
  if (folded == "false" || folded == "no" || folded == "off" || folded == "0") return false;
  return std::nullopt;
}

/// Cuts a comment: from a "#" or ";" at the start or after a blank (the
/// blanks that TrimBlanks takes off, so that "[user \r#x]" is a header
/// cut short and not the user "#x", which no config file could name again).
std::string_view StripComment(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if ((line[i] == '#' || line[i] == ';') &&
        (i == 0 || support::kBlanks.find(line[i - 1]) != std::string_view::npos))
      return line.substr(0, i);
  }
  return line;
}

class Parser {
 public:
  ConfigResult Run(std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      ++line_number_;
      auto end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      const auto line = support::TrimBlanks(StripComment(text.substr(start, end - start)));
      if (!line.empty() && !Line(line)) return ConfigResult{std::nullopt, error_};
      start = end + 1;
    }
    return ConfigResult{std::move(config_), {}};
  }

 private:
  enum class Section { kNone, kServer, kUser, kLink };

  bool Fail(const std::string& what) {
    error_ = "line " + std::to_string(line_number_) + ": " + what;
    return false;
  }

  bool Line(std::string_view line) {
    if (line.front() == '[') return Header(line);
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return Fail("expected key = value");
    const std::string key(support::TrimBlanks(line.substr(0, eq)));
    const std::string value(support::TrimBlanks(line.substr(eq + 1)));
    switch (section_) {
      case Section::kServer:
        return ServerKey(key, value);
      case Section::kUser:
        return UserKey(key, value);
      case Section::kLink:
        return LinkKey(key, value);
      case Section::kNone:
        break;
    }
    return Fail("key outside a section");
  }

  bool Header(std::string_view line) {
    if (line.back() != ']') return Fail("unclosed section header");
    const auto inner = support::TrimBlanks(line.substr(1, line.size() - 2));
    const auto space = inner.find(' ');
    const std::string kind(inner.substr(0, space));
    const std::string name(space == std::string_view::npos
                               ? std::string_view{}
                               : support::TrimBlanks(inner.substr(space + 1)));
    if (kind == "server" && name.empty()) {
      section_ = Section::kServer;
      return true;
    }
    if (kind == "user" && !name.empty()) {
      if (!IsWireName(name) || name.find('|') != std::string::npos)
        return Fail("user ID \"" + name + "\" cannot be a folder name");
      if (config_.FindUser(name) != nullptr) return Fail("user \"" + name + "\" defined twice");
      config_.users.push_back(UserConfig{});
      config_.users.back().id = name;
      section_ = Section::kUser;
      return true;
    }
    if (kind == "link" && !name.empty()) {
      if (!IsWireName(name)) return Fail("link name \"" + name + "\" cannot be shown on the wire");
      for (const auto& link : config_.links)
        if (support::EqualsIgnoreCase(link.name, name))
          return Fail("link \"" + name + "\" defined twice");
      config_.links.push_back(LinkConfig{name, {}});
      section_ = Section::kLink;
      return true;
    }
    return Fail("unknown section [" + std::string(inner) + "]");
  }

  bool Number(const std::string& value, std::int64_t max, std::int64_t& out) {
    const auto parsed = support::ParseNonNegative(value);
    if (!parsed || *parsed > max) return Fail("\"" + value + "\" is not a number in range");
    out = *parsed;
    return true;
  }

  bool Bool(const std::string& value, bool& out) {
    const auto parsed = ParseBoolValue(value);
    if (!parsed) return Fail("\"" + value + "\" is not true or false");
    out = *parsed;
    return true;
  }

  bool ServerKey(const std::string& key, const std::string& value) {
    std::int64_t n = 0;
    if (key == "max_sessions_per_user") {
      if (!Number(value, 100000, n)) return false;
      config_.max_sessions_per_user = static_cast<int>(n);
      return true;
    }
    if (key == "maintenance") return Bool(value, config_.maintenance);
    if (key == "protocol") {
      if (value.empty() || value.find('|') != std::string::npos) return Fail("bad protocol");
      config_.protocol = value;
      return true;
    }
    if (key == "cleanup_days") {
      if (!Number(value, INT32_MAX, n)) return false;
      config_.cleanup_days = static_cast<std::int32_t>(n);
      return true;
    }
    if (key == "cleanup_interval") {
      if (!Number(value, INT16_MAX, n)) return false;
      config_.cleanup_interval = static_cast<std::int16_t>(n);
      return true;
    }
    if (key == "ping_every") {
      if (!Number(value, 86400, n)) return false;
      config_.ping_every = static_cast<int>(n);
      return true;
    }
    return Fail("unknown key \"" + key + "\" in [server]");
  }

  bool UserKey(const std::string& key, const std::string& value) {
    UserConfig& user = config_.users.back();
    if (key == "password") {
      user.password = value;
      return true;
    }
    if (key == "quota") return Number(value, INT64_MAX / 2, user.quota);
    if (key == "dealers") return Bool(value, user.dealers);
    if (key == "over_quota_warning") return Bool(value, user.over_quota_warning);
    if (key == "allowed") return Bool(value, user.allowed);
    return Fail("unknown key \"" + key + "\" in [user]");
  }

  bool LinkKey(const std::string& key, const std::string& value) {
    if (key == "target") {
      if (!IsWireName(value)) return Fail("link target \"" + value + "\" is not a folder name");
      config_.links.back().target = value;
      return true;
    }
    return Fail("unknown key \"" + key + "\" in [link]");
  }

  ServerConfig config_;
  Section section_ = Section::kNone;
  int line_number_ = 0;
  std::string error_;
};

}  // namespace

const UserConfig* ServerConfig::FindUser(std::string_view id) const {
  for (const auto& user : users)
    if (user.id == id) return &user;
  return nullptr;
}

const LinkConfig* ServerConfig::FindLinkTarget(std::string_view target) const {
  for (const auto& link : links)
    if (link.target == target) return &link;
  return nullptr;
}

ConfigResult ParseConfig(std::string_view text) {
  auto result = Parser().Run(text);
  if (result.config) {
    for (const auto& link : result.config->links)
      if (link.target.empty())
        return ConfigResult{std::nullopt, "link \"" + link.name + "\" has no target"};
  }
  return result;
}

ConfigResult LoadConfig(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return ConfigResult{std::nullopt, "cannot read " + path};
  std::ostringstream text;
  text << in.rdbuf();
  auto result = ParseConfig(text.str());
  if (!result.config) result.error = path + ": " + result.error;
  return result;
}

}  // namespace server
