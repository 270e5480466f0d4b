#pragma once

#include <QIcon>
#include <QString>

#include <string>

namespace ui {

/// The file list's icons, by the session's image-list keys:
/// - "I." the folder icon of the icon theme (the style's when the theme has
///   none);
/// - "I" + extension ("I.pdf", "I.docx") the theme's icon of the type the
///   extension stands for, else its generic kind's, else the plain document;
///   "Idummyfile" (no extension) the unknown-file icon;
/// - "program" the application's own window icon.
/// Icons are made once per key (except "program", which follows the
/// application's icon).
class FileTypeIcons {
 public:
  static QIcon IconForKey(const std::string& key);
  /// Forgets the icons made so far (after a change of the icon theme).
  static void ClearCache();
};

/// The icon theme the program falls back to: the first of its preferred
/// themes that is installed, or an empty string when none is.
QString FallbackIconTheme();

/// Makes sure file and folder icons come from a theme: when the desktop set
/// no icon theme, or one without a folder or a plain document icon, the
/// FallbackIconTheme() becomes the theme. A theme that has them is kept and
/// only gets the fallback theme for the icons it lacks.
void EnsureIconTheme();

}  // namespace ui
