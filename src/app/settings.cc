#include "app/settings.h"

#include "app/crypto.h"
#include "quarrytab/registry.h"
#include "support/error.h"

namespace app {
namespace {

constexpr const char* kBase = "";

/// The stored password through a registry object of its own, as it is binary.
std::optional<std::string> ReadPassword(AppSetting& store) {
  quarrytab::Registry reg(store.Store());
  reg.SetClassKey(quarrytab::kHkeyCurrentUser);
  reg.SetSectionKey(store.BasePath());
  reg.SetValueKey("Password");
  reg.SetValueType(quarrytab::kRegBinary);
  const quarrytab::Variant v = reg.Value();
  const auto* bytes = std::get_if<quarrytab::Bytes>(&v);
  if (bytes == nullptr) return std::nullopt;
  return PasswordFromStoredBytes(std::string(bytes->begin(), bytes->end()));
}

void WritePassword(AppSetting& store, std::string_view password) {
  const std::string stored = PasswordToStoredBytes(password);
  quarrytab::Registry reg(store.Store());
  reg.SetClassKey(quarrytab::kHkeyCurrentUser);
  reg.SetSectionKey(store.BasePath());
  reg.SetValueKey("Password");
  reg.SetValueType(quarrytab::kRegBinary);
  reg.SetValue(quarrytab::Bytes(stored.begin(), stored.end()));
}

}  // namespace

Settings LoadSettings(AppSetting& store, bool credentials_handed_over) {
  Settings s;
  try {
    s.button_style = store.GetAppSettingNumber(kBase, "ButtonStyle", 0);
    // A refresh interval below 1 ms is no timer interval at all.
    s.progress_refresh_rate = store.GetAppSettingNumberInRange(
        kBase, "ProgressRefreshRate", kDefaultProgressRefreshRate, 1, INT32_MAX);
    s.chunk_size =
        store.GetAppSettingNumberInRange(kBase, "ChunkSize", kDefaultChunkSize, 1, INT32_MAX);
    s.pf_port = store.GetAppSettingNumberInRange(kBase, "PFPort", 0, 0, 65535);
    s.pf_server = store.GetAppSettingString(kBase, "PFServer", "");
  } catch (const support::Error&) {
    // The tuning values are optional: whatever was not read keeps its default.
  }
  if (!credentials_handed_over) {
    s.user_id = store.GetAppSettingString(kBase, "UserID", "");
    if (!s.user_id.empty()) s.password = ReadPassword(store);
  }
  s.debug = store.GetAppSettingNumber(kBase, "Debug", 0);
  s.proxy.type = store.GetAppSettingNumberInRange(kProxySection, "Type", 0, 0, 3);
  s.proxy.server = store.GetAppSettingString(kProxySection, "Server", "");
  s.proxy.port = store.GetAppSettingNumber(kProxySection, "Port", kDefaultProxyPort);
  s.width = store.GetAppSettingNumber(kBase, "Width", kDesignWindowWidth);
  if (s.width < kMinWindowWidth) s.width = kDesignWindowWidth;
  s.height = store.GetAppSettingNumber(kBase, "Height", kDesignWindowHeight);
  if (s.height < kMinWindowHeight) s.height = kDesignWindowHeight;
  return s;
}

void SaveSettingsAtExit(AppSetting& store, const ExitSettings& state) {
  if (state.window_normal) {
    store.SaveAppSettingNumber(kBase, "Width", state.width);
    store.SaveAppSettingNumber(kBase, "Height", state.height);
  }
  if (state.credentials_handed_over) return;
  if (state.save_login) {
    if (state.user_id.empty() || state.password.empty()) return;
    store.SaveAppSettingString(kBase, "UserID", state.user_id);
    WritePassword(store, state.password);
  } else {
    store.DeleteAppSetting(kBase, "UserID");
    store.DeleteAppSetting(kBase, "Password");
  }
}

void StoreProxyType(AppSetting& store, ProxySettings& proxy, std::int32_t type) {
  proxy.type = type;
  store.SaveAppSettingNumber(kProxySection, "Type", type);
}

void StoreProxyServer(AppSetting& store, ProxySettings& proxy, std::string server) {
  proxy.server = std::move(server);
  if (proxy.server.empty()) {
    store.DeleteAppSetting(kProxySection, "Server");
  } else {
    store.SaveAppSettingString(kProxySection, "Server", proxy.server);
  }
}

void StoreProxyPort(AppSetting& store, ProxySettings& proxy, std::int32_t port) {
  if (port == 0) {
    proxy.port = kDefaultProxyPort;
    store.DeleteAppSetting(kProxySection, "Port");
  } else {
    proxy.port = port;
    store.SaveAppSettingNumber(kProxySection, "Port", port);
  }
}

}  // namespace app
