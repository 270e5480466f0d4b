#pragma once

#include <QString>
#include <QWidget>

namespace ui {

/// Balloon tips on edit boxes: a small frameless popup just below the box,
/// with a tail pointing at it, an optional bold title with a message icon and
/// the text under it. At most one balloon is up at a time.
///
/// Showing a balloon gives its box the keyboard focus; the balloon itself
/// never takes the focus or activates. It goes away when the user types in
/// the box, presses a mouse button anywhere in the program, when the box
/// loses the focus, is hidden or destroyed, or after kTimeoutMs.
class BalloonTip {
 public:
  /// The icons of `ShowBalloonTip`.
  enum Icon { kIconNone = 0, kIconInformation = 1, kIconWarning = 2, kIconError = 3 };
  static constexpr int kTimeoutMs = 10000;

  /// Shows a balloon on `edit` (nothing when `edit` is null), taking down the
  /// one already up. `icon` is one of Icon; the icon shows with a title only.
  static void ShowBalloonTip(QWidget* edit, const QString& text, const QString& title, int icon);
  /// The balloon on screen, or null.
  static QWidget* Current();
  /// Takes the balloon down, if one is up.
  static void HideBalloon();
};

}  // namespace ui
