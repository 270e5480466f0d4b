#include "gui/art_images.h"

#include <QFile>
#include <QHash>

namespace gui {
namespace {

QString ResourceOf(const std::string& key) {
  static const QHash<QString, QString> kAliases = {
      {"imgGoToDF", "gotodf"},
      {"imgGoToPF", "gotopf"},
  };
  const QString name = QString::fromStdString(key);
  return ":/art/" + kAliases.value(name, name) + ".svg";
}

}  // namespace

QIcon ArtIcon(const std::string& key) {
  static QHash<QString, QIcon> cache;
  const QString path = ResourceOf(key);
  auto found = cache.find(path);
  if (found != cache.end()) return *found;
  QIcon icon;
  if (!key.empty() && QFile::exists(path)) icon = QIcon(path);
  cache.insert(path, icon);
  return icon;
}

QPixmap ArtPixmap(const std::string& key, int size, qreal ratio) {
  const QIcon icon = ArtIcon(key);
  if (icon.isNull()) return {};
  QPixmap pixmap = icon.pixmap(QSize(size, size), ratio);
  return pixmap;
}

}  // namespace gui
