#include "gui/locale_hooks.h"

#include <QLocale>

#include "session/browse_rules.h"
#include "support/text.h"

namespace gui {

std::string ShortDatePatternFromQt(const QString& qt_format) {
  std::string pattern;
  const std::string format = qt_format.toStdString();
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    std::size_t run = 1;
    while (i + run < format.size() && format[i + run] == c) ++run;
    switch (c) {
      case 'd':
        // Weekday names (ddd, dddd) have no place in a numeric date.
        if (run <= 2) pattern += std::string(run, 'd');
        break;
      case 'M':
        if (run > 2) return {};
        pattern += run == 1 ? "m" : "mm";
        break;
      case 'y':
        pattern += run >= 4 ? "yyyy" : "yy";
        break;
      case '\'':
        break;  // quoting marks of literal text
      default:
        pattern += std::string(run, c);
        break;
    }
    i += run;
  }
  // A weekday name dropped from the front leaves its separator behind.
  while (!pattern.empty() && (pattern.front() == ',' || pattern.front() == ' ')) {
    pattern.erase(pattern.begin());
  }
  return pattern;
}

void ApplyLocaleHooks() {
  const QLocale locale = QLocale::system();
  const std::string pattern = ShortDatePatternFromQt(locale.dateFormat(QLocale::ShortFormat));
  if (!pattern.empty()) session::SetShortDatePattern(pattern);
  const QString point = locale.decimalPoint();
  if (point.size() == 1 && point.at(0).unicode() < 0x80) {
    support::SetDecimalSeparator(static_cast<char>(point.at(0).unicode()));
  }
}

}  // namespace gui
