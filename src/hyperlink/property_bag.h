#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include "hyperlink/export.h"

namespace hyperlink {

/// Named values that a control reads when it is loaded and writes when its
/// container is saved. Names are matched without regard to case, so a layout
/// that stores "forecolorhover" serves the property "ForeColorHover".
class HYPERLINK_EXPORT PropertyBag {
 public:
  PropertyBag() = default;
  explicit PropertyBag(QVariantMap values) : values_(std::move(values)) {}

  /// The value stored under `name`, or `fallback` when there is none.
  QVariant ReadProperty(const QString& name, const QVariant& fallback = {}) const;
  /// Stores `value` under `name`, replacing a value stored under any casing of
  /// the name.
  void WriteProperty(const QString& name, const QVariant& value);
  const QVariantMap& Values() const { return values_; }

 private:
  QVariantMap::const_iterator Find(const QString& name) const;

  QVariantMap values_;
};

}  // namespace hyperlink
