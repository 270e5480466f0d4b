#pragma once

#include <QString>

#include <string>

namespace gui {

/// The list's short date pattern ("d/m/yyyy" letters: d/dd day, m/mm month,
/// yy/yyyy year) of a Qt date format ("d/M/yy"). Month and day names are
/// written as numbers; other characters stand for themselves.
std::string ShortDatePatternFromQt(const QString& qt_format);

/// Gives the session the desktop's short date form and decimal separator.
void ApplyLocaleHooks();

}  // namespace gui
