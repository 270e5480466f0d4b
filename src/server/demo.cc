#include "server/demo.h"

#include <fstream>
#include <system_error>

#include "server/transfer_files.h"

namespace server {

namespace fs = std::filesystem;

namespace {

struct DemoFile {
  const char* path;  ///< relative, "/" separated, UTF-8
  const char* text;
  const char* stamp;
};

constexpr DemoFile kPersonal[] = {
    {"Καλωσόρισμα.txt", "Καλώς ήρθατε στον προσωπικό σας χώρο.\n", "20240105093000"},
    {"readme.txt", "Demo account of the Vaultline reference server.\n", "20240105093500"},
    {"Έγγραφα/Προσφορά 2024.txt", "Προσφορά για το 2024.\n", "20240212101500"},
    {"Έγγραφα/Συμβόλαια/σύμβαση.txt", "Σύμβαση συντήρησης.\n", "20240301120000"},
    {"Φωτογραφίες/notes.txt", "Photos go here.\n", "20240315080000"},
    {"Αντίγραφα ασφαλείας/backup.bin", nullptr, "20240320233000"},
};

constexpr DemoFile kManuals[] = {
    {"Οδηγός χρήσης.txt", "Οδηγός χρήσης της εφαρμογής.\n", "20231120100000"},
    {"Εγκατάσταση/install.txt", "Installation notes.\n", "20231121100000"},
};

constexpr DemoFile kDealers[] = {
    {"Τιμοκατάλογος 2024.txt", "Τιμοκατάλογος συνεργατών.\n", "20240110090000"},
    {"Ενημερώσεις/release-notes.txt", "Release notes for dealers.\n", "20240201090000"},
};

bool WriteFiles(const fs::path& root, const DemoFile* begin, const DemoFile* end,
                std::string& error) {
  for (const DemoFile* f = begin; f != end; ++f) {
    const fs::path file = root / fs::path(f->path);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) {
      error = "cannot create " + file.parent_path().string() + ": " + ec.message();
      return false;
    }
    if (fs::exists(file, ec)) continue;
    std::ofstream out(file, std::ios::binary);
    if (f->text != nullptr) {
      out << f->text;
    } else {
      // A binary file of some size, so that transfers show progress.
      std::string block(4096, '\0');
      for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7);
      for (int i = 0; i < 256; ++i)
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    out.close();
    if (!out) {
      error = "cannot write " + file.string();
      return false;
    }
    SetModificationStamp(file, f->stamp);
  }
  return true;
}

}  // namespace

bool SeedDemo(const fs::path& data, ServerConfig& config, std::string& error) {
  if (config.FindUser(kDemoUser) == nullptr) {
    UserConfig demo;
    demo.id = kDemoUser;
    demo.password = kDemoPassword;
    demo.quota = 100 * 1024 * 1024;
    demo.dealers = true;
    demo.over_quota_warning = true;
    config.users.push_back(demo);
  }
  if (config.links.empty()) config.links.push_back(LinkConfig{"Εγχειρίδια", "manuals"});
  const fs::path personal = data / "users" / kDemoUser;
  std::error_code ec;
  const bool fresh = !fs::exists(personal, ec);
  if (fresh && !WriteFiles(personal, std::begin(kPersonal), std::end(kPersonal), error))
    return false;
  const fs::path manuals = data / "links" / config.links.front().target;
  if (!fs::exists(manuals, ec) &&
      !WriteFiles(manuals, std::begin(kManuals), std::end(kManuals), error))
    return false;
  const fs::path dealers = data / "dealers";
  if ((!fs::exists(dealers, ec) || fs::is_empty(dealers, ec)) &&
      !WriteFiles(dealers, std::begin(kDealers), std::end(kDealers), error))
    return false;
  return true;
}

}  // namespace server
