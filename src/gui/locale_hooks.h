#pragma once

#include <QString>

#include <string>

namespace gui {

/// The list's short date pattern ("d/m/yyyy" letters: d/dd day, m/mm month,
/// yy/yyyy year) of a Qt date format ("d/M/yy"); other characters stand for
/// themselves and a weekday name is left out. Empty for a format that writes
/// the month as a name ("d MMM yyyy", the C locale's): the list then keeps its
/// own numeric form rather than one with spaces for separators.
std::string ShortDatePatternFromQt(const QString& qt_format);

/// Gives the session the desktop's short date form and decimal separator.
void ApplyLocaleHooks();

}  // namespace gui
