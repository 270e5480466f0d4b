#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/app_setting.h"

namespace app {

/// The program's settings title: HKEY_CURRENT_USER\Software\Orvalis\Vaultline.
inline constexpr const char* kSettingsTitle = "Orvalis\\Vaultline";
/// The section of the proxy values.
inline constexpr const char* kProxySection = "Proxy";

/// The main window's design size in pixels, used when no usable size is stored.
inline constexpr std::int32_t kDesignWindowWidth = 760;
inline constexpr std::int32_t kDesignWindowHeight = 480;
/// Stored sizes below these read as the design size.
inline constexpr std::int32_t kMinWindowWidth = 700;
inline constexpr std::int32_t kMinWindowHeight = 390;

inline constexpr std::int32_t kDefaultChunkSize = 6144;
inline constexpr std::int32_t kDefaultProgressRefreshRate = 400;  ///< tmrProgress, ms
inline constexpr std::int32_t kDefaultProxyPort = 8080;

/// The proxy of the parameters fetch: type 0 none, 1 HTTP (2 and 3 pass the
/// start-up check and are refused when connecting).
struct ProxySettings {
  std::int32_t type = 0;
  std::string server;
  std::int32_t port = kDefaultProxyPort;
};

/// Every stored setting, with its default. No setting is read again while the
/// program runs.
struct Settings {
  std::int32_t button_style = 0;  ///< only 1 (flat buttons) has an effect
  std::int32_t progress_refresh_rate = kDefaultProgressRefreshRate;
  std::int32_t chunk_size = kDefaultChunkSize;
  std::int32_t pf_port = 0;  ///< with pf_server, skips the parameters fetch
  std::string pf_server;
  std::string user_id;
  /// The remembered password, unscrambled; nothing when none is stored.
  std::optional<std::string> password;
  std::int32_t debug = 0;  ///< the log's debug level
  ProxySettings proxy;
  std::int32_t width = kDesignWindowWidth;  ///< pixels
  std::int32_t height = kDesignWindowHeight;
};

/// Reads every setting in the start-up order: ButtonStyle, ProgressRefreshRate,
/// ChunkSize, PFPort, PFServer (an error among these five leaves the defaults
/// of the rest of them), then UserID and Password (skipped when the credentials
/// were handed over; Password only for a non-empty UserID), Debug,
/// Proxy\Type, Proxy\Server, Proxy\Port, Width and Height. Range rules:
/// ChunkSize and ProgressRefreshRate below 1 read as their defaults, PFPort
/// outside 0..65535 as 0, Proxy\Type outside 0..3 as 0, Width below 700 and
/// Height below 390 as the design size.
Settings LoadSettings(AppSetting& store, bool credentials_handed_over);

/// What the main window knows when it closes.
struct ExitSettings {
  bool window_normal = true;  ///< neither minimised nor maximised
  std::int32_t width = 0;     ///< pixels
  std::int32_t height = 0;
  bool credentials_handed_over = false;
  bool save_login = false;  ///< chkSaveLogin ticked
  std::string user_id;      ///< txtID
  std::string password;     ///< txtPassword
};

/// Writes at exit, in this order: Width and Height (normal state only); then,
/// unless the credentials were handed over, either UserID and the scrambled
/// Password (box ticked and both fields non-empty; a ticked box with an empty
/// field writes and deletes nothing) or the deletion of both (box not ticked).
/// Write errors reach the caller.
void SaveSettingsAtExit(AppSetting& store, const ExitSettings& state);

/// The proxy values are stored as soon as they change: the type always as a
/// number; an empty server deletes Proxy\Server; a port of 0 deletes
/// Proxy\Port and the port in memory becomes 8080.
void StoreProxyType(AppSetting& store, ProxySettings& proxy, std::int32_t type);
void StoreProxyServer(AppSetting& store, ProxySettings& proxy, std::string server);
void StoreProxyPort(AppSetting& store, ProxySettings& proxy, std::int32_t port);

}  // namespace app
