#include "hyperlink/property_bag.h"

namespace hyperlink {

QVariantMap::const_iterator PropertyBag::Find(const QString& name) const {
  auto exact = values_.constFind(name);
  if (exact != values_.cend()) return exact;
  for (auto it = values_.cbegin(); it != values_.cend(); ++it) {
    if (it.key().compare(name, Qt::CaseInsensitive) == 0) return it;
  }
  return values_.cend();
}

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& fallback) const {
  auto it = Find(name);
  return it == values_.cend() ? fallback : it.value();
}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value) {
  auto it = Find(name);
  if (it != values_.cend()) {
    const QString stored = it.key();
    values_.remove(stored);
  }
  values_.insert(name, value);
}

}  // namespace hyperlink
