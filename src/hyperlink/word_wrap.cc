#include "hyperlink/word_wrap.h"

#include <QRegularExpression>

#include <algorithm>

namespace hyperlink {

namespace {

QString WrapParagraph(QString rest, int limit, const TextWidthFn& width) {
  QStringList lines;
  while (!rest.isEmpty() && width(rest) > limit) {
    // The longest part before a space that fits; else the first word alone.
    qsizetype cut = -1;
    for (qsizetype space = rest.indexOf(u' '); space >= 0; space = rest.indexOf(u' ', space + 1)) {
      if (width(QStringView(rest).left(space)) > limit) break;
      cut = space;
    }
    if (cut < 0) cut = rest.indexOf(u' ');
    if (cut < 0) break;  // one word is left: it stays whole, however wide
    QString line = rest.left(cut);
    while (line.endsWith(u' ')) line.chop(1);
    lines.append(line);
    rest = rest.mid(cut + 1);
  }
  if (!rest.isEmpty() || lines.isEmpty()) lines.append(rest);
  return lines.join(QStringLiteral("\r\n"));
}

}  // namespace

QStringList SplitLines(const QString& text) {
  static const QRegularExpression kBreak(QStringLiteral("\r\n|\n|\r"));
  return text.split(kBreak);
}

QString WordWrap(const QString& text, int limit, const TextWidthFn& width) {
  if (text.isEmpty() || !text.contains(u' ')) return text;
  limit = std::max(limit, 0);
  QStringList paragraphs = SplitLines(text);
  for (QString& paragraph : paragraphs) paragraph = WrapParagraph(paragraph, limit, width);
  return paragraphs.join(QStringLiteral("\r\n"));
}

}  // namespace hyperlink
