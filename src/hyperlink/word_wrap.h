#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

#include "hyperlink/export.h"

namespace hyperlink {

/// Width of a text in pixels, as drawn.
using TextWidthFn = std::function<int(QStringView)>;

/// Breaks `text` into lines no wider than `limit` (a negative limit counts as
/// 0), at spaces only: each line is the longest part before a space that fits;
/// a first word that does not fit makes a line on its own. The space where a
/// line breaks is dropped. Lines are joined by CR LF. A text with no space is
/// returned as it is. Line breaks already in the text start new lines.
HYPERLINK_EXPORT QString WordWrap(const QString& text, int limit, const TextWidthFn& width);

/// The lines of a text, split at CR LF, LF or CR.
HYPERLINK_EXPORT QStringList SplitLines(const QString& text);

}  // namespace hyperlink
