#pragma once

#include <filesystem>
#include <string>

#include "server/config.h"

namespace server {

/// The demo account's ID and password.
inline constexpr const char* kDemoUser = "demo";
inline constexpr const char* kDemoPassword = "demo";

/// Prepares the demo: adds the account "demo" (password "demo", dealers
/// access) to `config` unless it has one, adds the linked folder
/// "Εγχειρίδια" -> "manuals" when no link is configured, and fills, where
/// they do not exist yet, the demo's personal folder (folders and files with
/// Greek names among them), the link's folder and the dealers folder. Files
/// already there are left alone, so a second run changes nothing. Answers
/// false with `error` set when the folders cannot be written.
bool SeedDemo(const std::filesystem::path& data, ServerConfig& config, std::string& error);

}  // namespace server
