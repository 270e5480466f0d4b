#pragma once

#include <QDBusConnection>
#include <QString>

namespace ui {

/// The progress bar over the program's button on the taskbar, as the
/// "Unity LauncherEntry" D-Bus protocol shows it (docks and panels of KDE
/// Plasma, Dash to Dock, Plank, ... read it): a value out of a maximum, shown
/// as the fraction value / maximum.
///
/// Every change of the shown fraction sends one signal
/// com.canonical.Unity.LauncherEntry.Update(app_uri, {progress, progress-visible})
/// from kObjectPath, with app_uri "application://<desktop_id>.desktop"; a call
/// that leaves the fraction as it is sends nothing. Without a session bus the
/// object is unavailable and every call only keeps the numbers.
class TaskbarProgress {
 public:
  static constexpr char kObjectPath[] = "/org/vaultline/LauncherEntry";
  static constexpr char kInterface[] = "com.canonical.Unity.LauncherEntry";
  static constexpr char kSignal[] = "Update";

  /// Sends on the session bus; `desktop_id` is the name of the program's
  /// .desktop file without the suffix.
  explicit TaskbarProgress(QString desktop_id);
  /// Sends on `connection` (a private bus in tests).
  TaskbarProgress(QString desktop_id, QDBusConnection connection);

  /// Shows `value` (negative counts as 0) out of the maximum; a value above the
  /// maximum raises the maximum to it.
  void SetValue(int value);
  /// Sets the maximum (negative counts as 0) and cuts the value down to it. A
  /// maximum of 0 shows an empty bar.
  void SetMaximum(int maximum);
  /// Hides the bar and sets the value back to 0; the maximum stays. The next
  /// SetValue or SetMaximum shows the bar again.
  void Clear();

  /// Whether a bus is connected to send on.
  bool Available() const { return connection_.isConnected(); }
  int Value() const { return value_; }
  int Maximum() const { return maximum_; }
  /// The app_uri the signals carry.
  QString AppUri() const { return app_uri_; }

 private:
  double Fraction() const;
  /// Shows the current fraction unless it is the one already shown.
  void Show();
  void Send(double progress, bool visible);

  QString app_uri_;
  QDBusConnection connection_;
  int value_ = 0;
  int maximum_ = 100;
  bool shown_ = false;
  double shown_fraction_ = 0;
};

}  // namespace ui
