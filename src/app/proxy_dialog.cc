#include "app/proxy_dialog.h"

#include <limits>

namespace app {
namespace {

/// Optional spaces, an optional sign, digits, optional spaces.
bool IsWholeNumber(const std::string& text, std::int64_t* value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t digits_begin = i;
  std::int64_t number = 0;
  constexpr std::int64_t kCap = std::numeric_limits<std::int32_t>::max();
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    // Anything this large is refused as a port anyway: keep it from overflowing.
    number = std::min<std::int64_t>(number * 10 + (text[i] - '0'), kCap);
    ++i;
  }
  if (i == digits_begin) return false;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i != text.size()) return false;
  if (value) *value = negative ? -number : number;
  return true;
}

std::string TrimSpaces(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  const std::size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

}  // namespace

ProxyDialogFields ProxyDialogFieldsOf(const ProxySettings& proxy) {
  ProxyDialogFields fields;
  fields.type_entry = proxy.type == 1 ? 1 : 0;
  fields.name = proxy.server;
  fields.port_text = std::to_string(proxy.port);
  return fields;
}

std::string ProxyPortBoxText(const std::string& text) {
  return IsWholeNumber(text, nullptr) ? text : "0";
}

std::variant<ProxySettings, ProxyDialogProblem> AcceptProxyDialog(int type_entry,
                                                                  const std::string& name,
                                                                  const std::string& port_text) {
  std::int64_t port = 0;
  if (!IsWholeNumber(port_text, &port)) port = 0;
  ProxySettings chosen;
  chosen.type = type_entry;
  if (type_entry == 0) {
    chosen.server.clear();
    chosen.port = 0;
    return chosen;
  }
  const std::string server = TrimSpaces(name);
  if (server.empty()) {
    return ProxyDialogProblem{ProxyDialogProblem::Box::kName, "Απαιτείται όνομα διακομιστή",
                              "Εισάγετε το όνομα του διακομιστή μεσολάβησης."};
  }
  if (port < 1 || port > kMaxProxyPort) {
    return ProxyDialogProblem{ProxyDialogProblem::Box::kPort, "Μη έγκυρος αριθμός πόρτας",
                              "Εισάγετε έναν έγκυρο αριθμό πόρτας."};
  }
  chosen.server = server;
  chosen.port = static_cast<std::int32_t>(port);
  return chosen;
}

}  // namespace app
