// Parses arbitrary bytes as the reference server's config file. Checks that a
// text gives either a config or an error naming a line of the text, that a
// config keeps the rules the parser promises (unique users and links, wire
// names, a target for every link, numbers in range), and that the config,
// written out again as a config file, parses to the same config.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "server/config.h"
#include "server/paths.h"
#include "support/text.h"

namespace {

using server::ServerConfig;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string_view Bool(bool value) { return value ? "true" : "false"; }

std::string Write(const ServerConfig& config) {
  std::string text = "[server]\n";
  text += "max_sessions_per_user=" + std::to_string(config.max_sessions_per_user) + "\n";
  text += "maintenance=" + std::string(Bool(config.maintenance)) + "\n";
  text += "protocol=" + config.protocol + "\n";
  text += "cleanup_days=" + std::to_string(config.cleanup_days) + "\n";
  text += "cleanup_interval=" + std::to_string(config.cleanup_interval) + "\n";
  text += "ping_every=" + std::to_string(config.ping_every) + "\n";
  for (const auto& user : config.users) {
    text += "[user " + user.id + "]\n";
    text += "password=" + user.password + "\n";
    text += "quota=" + std::to_string(user.quota) + "\n";
    text += "dealers=" + std::string(Bool(user.dealers)) + "\n";
    text += "over_quota_warning=" + std::string(Bool(user.over_quota_warning)) + "\n";
    text += "allowed=" + std::string(Bool(user.allowed)) + "\n";
  }
  for (const auto& link : config.links) {
    text += "[link " + link.name + "]\ntarget=" + link.target + "\n";
  }
  return text;
}

bool Same(const ServerConfig& a, const ServerConfig& b) {
  if (a.max_sessions_per_user != b.max_sessions_per_user || a.maintenance != b.maintenance ||
      a.protocol != b.protocol || a.cleanup_days != b.cleanup_days ||
      a.cleanup_interval != b.cleanup_interval || a.ping_every != b.ping_every ||
      a.users.size() != b.users.size() || a.links.size() != b.links.size())
    return false;
  for (std::size_t i = 0; i < a.users.size(); ++i) {
    const auto& x = a.users[i];
    const auto& y = b.users[i];
    if (x.id != y.id || x.password != y.password || x.quota != y.quota || x.dealers != y.dealers ||
        x.over_quota_warning != y.over_quota_warning || x.allowed != y.allowed)
      return false;
  }
  for (std::size_t i = 0; i < a.links.size(); ++i) {
    if (a.links[i].name != b.links[i].name || a.links[i].target != b.links[i].target) return false;
  }
  return true;
}

void CheckRules(const ServerConfig& config) {
  Check(config.max_sessions_per_user >= 0 && config.max_sessions_per_user <= 100000);
  Check(config.cleanup_days >= 0 && config.cleanup_interval >= 0);
  Check(config.ping_every >= 0 && config.ping_every <= 86400);
  Check(!config.protocol.empty() && config.protocol.find('|') == std::string::npos);
  for (std::size_t i = 0; i < config.users.size(); ++i) {
    const auto& user = config.users[i];
    Check(server::IsWireName(user.id));
    Check(user.quota >= 0);
    Check(config.FindUser(user.id) == &user);  // the first of that ID is itself
    Check(user.password == support::TrimBlanks(user.password));
  }
  for (std::size_t i = 0; i < config.links.size(); ++i) {
    const auto& link = config.links[i];
    Check(server::IsWireName(link.name) && server::IsWireName(link.target));
    for (std::size_t j = 0; j < i; ++j)
      Check(!support::EqualsIgnoreCase(config.links[j].name, link.name));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const server::ConfigResult result = server::ParseConfig(text);
  if (!result.config) {
    Check(!result.error.empty());
    if (result.error.rfind("line ", 0) == 0) {
      // "line N: ..." with N a line of the text.
      const auto colon = result.error.find(':');
      Check(colon != std::string::npos);
      const auto n = support::ParseNonNegative(result.error.substr(5, colon - 5));
      std::size_t lines = 1;
      for (char c : text) lines += c == '\n';
      Check(n && *n >= 1 && static_cast<std::size_t>(*n) <= lines);
    } else {
      Check(result.error.rfind("link \"", 0) == 0);
    }
    return 0;
  }
  Check(result.error.empty());
  CheckRules(*result.config);
  const server::ConfigResult again = server::ParseConfig(Write(*result.config));
  Check(again.config && Same(*again.config, *result.config));
  return 0;
}
