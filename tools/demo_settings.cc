// demo_settings HTTP_PORT: writes the settings of a demo start into the
// user's settings (XDG_CONFIG_HOME or QUARRYTAB_HIVE_DIR pick where): the
// demo login remembered with its scrambled password, and an HTTP proxy on
// loopback at HTTP_PORT, where the demo server answers the parameters request
// the way a proxy would, so that Connect runs the whole bootstrap.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "app/app_setting.h"
#include "app/settings.h"
#include "support/error.h"

int main(int argc, char** argv) {
  int port = 0;
  const std::string_view text = argc == 2 ? argv[1] : "";
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), port);
  if (argc != 2 || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
      port < 1 || port > 65535) {
    std::fprintf(stderr, "usage: demo_settings HTTP_PORT\n");
    return 2;
  }
  try {
    app::AppSetting store;
    store.SetAppSettingTitle(app::kSettingsTitle);
    app::ExitSettings login;
    login.window_normal = false;  // no size: the window opens at its design size
    login.save_login = true;
    login.user_id = "demo";
    login.password = "demo";
    app::SaveSettingsAtExit(store, login);
    app::ProxySettings proxy;
    app::StoreProxyType(store, proxy, 1);
    app::StoreProxyServer(store, proxy, "127.0.0.1");
    app::StoreProxyPort(store, proxy, port);
  } catch (const support::Error& e) {
    std::fprintf(stderr, "demo_settings: %s\n", e.Description().c_str());
    return 1;
  }
  return 0;
}
