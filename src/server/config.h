#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace server {

/// One account of the folder server.
struct UserConfig {
  std::string id;                          ///< user ID as typed in the client, also the folder name
  std::string password;                    ///< UTF-8, compared after Windows-1253 conversion
  std::int64_t quota = 100 * 1024 * 1024;  ///< bytes
  bool dealers = false;                    ///< may switch to the dealers folder
  bool over_quota_warning = true;          ///< fourth field of LOGINOK
  bool allowed = true;                     ///< false: log-in refused with NOPERMISSION
};

/// A linked folder shown at the root of every personal folder.
struct LinkConfig {
  std::string name;    ///< shown in the listing (UTF-8)
  std::string target;  ///< folder name under DIR/links/
  /// The link target as the listing carries it and the client sends it back:
  /// a backslash, the target and a backslash.
  std::string WirePath() const { return "\\" + target + "\\"; }
};

/// Everything the config file sets.
struct ServerConfig {
  int max_sessions_per_user = 2;
  bool maintenance = false;
  std::string protocol = "5";
  std::int32_t cleanup_days = 30;
  std::int16_t cleanup_interval = 7;
  int ping_every = 0;  ///< seconds; 0 sends no PING of the server's own
  std::vector<UserConfig> users;
  std::vector<LinkConfig> links;

  const UserConfig* FindUser(std::string_view id) const;
  /// The link whose target is `target` (compared exactly), or nullptr.
  const LinkConfig* FindLinkTarget(std::string_view target) const;
};

/// The outcome of reading a config text: the config, or the first error as
/// "line N: what".
struct ConfigResult {
  std::optional<ServerConfig> config;
  std::string error;
};

/// Parses the INI-style config. Sections "[server]", "[user ID]" and
/// "[link NAME]"; "key = value" lines; blank lines and lines starting with "#"
/// or ";" are ignored, and so is the rest of a line from a "#" or ";" that
/// follows a blank. Unknown sections and keys, malformed numbers and booleans,
/// duplicate users or links, and names that cannot be used as folder names on
/// the wire are errors, so a typo never silently changes behaviour.
ConfigResult ParseConfig(std::string_view text);

/// Reads and parses a config file.
ConfigResult LoadConfig(const std::string& path);

}  // namespace server
