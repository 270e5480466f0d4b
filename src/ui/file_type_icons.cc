#include "ui/file_type_icons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStyle>

#include <unordered_map>

namespace ui {

namespace {

constexpr char kFolderKey[] = "I.";
constexpr char kProgramKey[] = "program";

/// Installed themes the program may fall back to, best first: full-colour
/// icons for the common document, archive and media types at list sizes.
constexpr const char* kPreferredThemes[] = {"elementary-xfce", "Papirus", "breeze", "Adwaita",
                                            "hicolor"};

std::unordered_map<std::string, QIcon>& Cache() {
  static std::unordered_map<std::string, QIcon> cache;
  return cache;
}

QIcon StyleIcon(QStyle::StandardPixmap pixmap) {
  return QApplication::style()->standardIcon(pixmap);
}

QIcon PlainDocumentIcon() {
  return QIcon::fromTheme(QStringLiteral("text-x-generic"), StyleIcon(QStyle::SP_FileIcon));
}

QIcon FolderIcon() {
  return QIcon::fromTheme(QStringLiteral("folder"), StyleIcon(QStyle::SP_DirIcon));
}

/// The icon of a file with `extension` ("" for none).
QIcon TypeIcon(const QString& extension) {
  const QMimeDatabase mime_db;
  const QMimeType mime =
      mime_db.mimeTypeForFile(QStringLiteral("x") + extension, QMimeDatabase::MatchExtension);
  if (extension.isEmpty() || mime.isDefault()) {
    // Nothing known about the contents: a blank page, as for any unknown file.
    return QIcon::fromTheme(QStringLiteral("application-x-generic"), PlainDocumentIcon());
  }
  return QIcon::fromTheme(mime.iconName(),
                          QIcon::fromTheme(mime.genericIconName(), PlainDocumentIcon()));
}

QIcon MakeIcon(const std::string& key) {
  if (key == kFolderKey) return FolderIcon();
  if (key.size() > 1 && key[0] == 'I') {
    const QString extension = QString::fromStdString(key.substr(1));
    return TypeIcon(extension.startsWith(QLatin1Char('.')) ? extension : QString());
  }
  return PlainDocumentIcon();
}

/// Adds the desktop's icon folders that Qt does not search by itself (it
/// searches none of them on some platforms, such as the offscreen one).
void AddStandardIconPaths() {
  QStringList paths = QIcon::themeSearchPaths();
  QStringList wanted =
      QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                QStandardPaths::LocateDirectory);
  wanted.prepend(QDir::homePath() + QStringLiteral("/.icons"));
  bool changed = false;
  for (const QString& dir : wanted) {
    if (!paths.contains(dir) && QFileInfo(dir).isDir()) {
      paths.append(dir);
      changed = true;
    }
  }
  if (changed) QIcon::setThemeSearchPaths(paths);
}

bool ThemeInstalled(const QString& name) {
  for (const QString& dir : QIcon::themeSearchPaths()) {
    if (QFileInfo::exists(dir + QLatin1Char('/') + name + QStringLiteral("/index.theme"))) {
      return true;
    }
  }
  return false;
}

/// Whether the theme itself (and what it inherits) has the folder and plain
/// document icons; icons found only in the fallback theme do not count.
bool CurrentThemeWorks() {
  if (QIcon::themeName().isEmpty()) return false;
  const QString fallback = QIcon::fallbackThemeName();
  QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
  const bool works = QIcon::hasThemeIcon(QStringLiteral("folder")) &&
                     QIcon::hasThemeIcon(QStringLiteral("text-x-generic"));
  QIcon::setFallbackThemeName(fallback);
  return works;
}

}  // namespace

QIcon FileTypeIcons::IconForKey(const std::string& key) {
  if (key == kProgramKey) {
    const QIcon own = QApplication::windowIcon();
    if (!own.isNull()) return own;
    return QIcon::fromTheme(QStringLiteral("application-x-executable"),
                            StyleIcon(QStyle::SP_ComputerIcon));
  }
  auto& cache = Cache();
  const auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  return cache.emplace(key, MakeIcon(key)).first->second;
}

void FileTypeIcons::ClearCache() { Cache().clear(); }

QString FallbackIconTheme() {
  AddStandardIconPaths();
  for (const char* name : kPreferredThemes) {
    const QString theme = QString::fromLatin1(name);
    if (ThemeInstalled(theme)) return theme;
  }
  return {};
}

void EnsureIconTheme() {
  const QString fallback = FallbackIconTheme();
  if (fallback.isEmpty()) return;
  if (CurrentThemeWorks()) {
    const QString current_fallback = QIcon::fallbackThemeName();
    if ((current_fallback.isEmpty() || current_fallback == QLatin1String("hicolor")) &&
        QIcon::themeName() != fallback) {
      QIcon::setFallbackThemeName(fallback);
    }
    return;
  }
  QIcon::setThemeName(fallback);
  FileTypeIcons::ClearCache();
}

}  // namespace ui
