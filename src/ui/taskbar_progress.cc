#include "ui/taskbar_progress.h"

#include <QDBusMessage>
#include <QLatin1String>
#include <QVariantMap>
#include <algorithm>
#include <utility>

namespace ui {

TaskbarProgress::TaskbarProgress(QString desktop_id)
    : TaskbarProgress(std::move(desktop_id), QDBusConnection::sessionBus()) {}

TaskbarProgress::TaskbarProgress(QString desktop_id, QDBusConnection connection)
    : app_uri_(QLatin1String("application://") + desktop_id + QLatin1String(".desktop")),
      connection_(std::move(connection)) {}

void TaskbarProgress::SetValue(int value) {
  value_ = std::max(value, 0);
  maximum_ = std::max(maximum_, value_);
  Show();
}

void TaskbarProgress::SetMaximum(int maximum) {
  maximum_ = std::max(maximum, 0);
  value_ = std::min(value_, maximum_);
  Show();
}

void TaskbarProgress::Clear() {
  value_ = 0;
  if (shown_) {
    shown_ = false;
    Send(0, false);
  }
}

double TaskbarProgress::Fraction() const {
  return maximum_ > 0 ? static_cast<double>(value_) / maximum_ : 0.0;
}

void TaskbarProgress::Show() {
  // Equal ratios of ints give the same double, so 50/100 and 1/2 count as one
  // fraction and send once.
  const double fraction = Fraction();
  if (shown_ && fraction == shown_fraction_) {
    return;
  }
  shown_ = true;
  shown_fraction_ = fraction;
  Send(fraction, true);
}

void TaskbarProgress::Send(double progress, bool visible) {
  if (!Available()) {
    return;
  }
  QDBusMessage signal = QDBusMessage::createSignal(
      QLatin1String(kObjectPath), QLatin1String(kInterface), QLatin1String(kSignal));
  QVariantMap properties;
  properties.insert(QStringLiteral("progress"), progress);
  properties.insert(QStringLiteral("progress-visible"), visible);
  signal << app_uri_ << properties;
  connection_.send(signal);
}

}  // namespace ui
