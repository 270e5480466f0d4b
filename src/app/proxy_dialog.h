#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "app/settings.h"

namespace app {

/// The rules of the proxy dialog, apart from its window.

/// What the dialog shows when it opens: the type list entry, the server name
/// and the port in decimal. A stored type without an entry (2 or 3) selects
/// "none", which leaves the settings alone until the user presses OK.
struct ProxyDialogFields {
  int type_entry = 0;
  std::string name;
  std::string port_text;
};
ProxyDialogFields ProxyDialogFieldsOf(const ProxySettings& proxy);

/// The name and port boxes are editable only for an HTTP proxy.
inline bool ProxyBoxesEnabled(int type_entry) { return type_entry != 0; }

/// The port box holds a number or "0": a text that is not a number (an empty
/// one included) is replaced by "0". Returns the text the box must hold.
std::string ProxyPortBoxText(const std::string& text);

/// The largest port the dialog accepts.
inline constexpr std::int64_t kMaxProxyPort = 65335;

/// OK refused: the balloon to show on the name or the port box.
struct ProxyDialogProblem {
  enum class Box { kName, kPort };
  Box box;
  std::string title;
  std::string text;
};

/// OK: the settings to store (type 0 stores no server and port 0, which
/// removes the stored port), or why the dialog stays open.
std::variant<ProxySettings, ProxyDialogProblem> AcceptProxyDialog(int type_entry,
                                                                  const std::string& name,
                                                                  const std::string& port_text);

}  // namespace app
