#pragma once

#include <QString>

namespace ui {

/// The sound played when a transfer finishes: the desktop's "complete" event
/// of the freedesktop sound theme, played by canberra-gtk-play in a process of
/// its own so the GUI never waits; the bell when that player is not installed.
class CompletionSound {
 public:
  static constexpr char kPlayer[] = "canberra-gtk-play";

  /// Looks the player up on PATH once.
  CompletionSound();

  /// Starts the player detached (`canberra-gtk-play -i complete`)
  /// and returns at once; rings the application's bell when there is no player
  /// or it cannot be started. Does nothing without a GUI application.
  void Play();

  /// Whether the player was found on PATH.
  bool Available() const { return !player_.isEmpty(); }

 private:
  QString player_;
};

}  // namespace ui
