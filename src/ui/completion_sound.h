#pragma once

#include <QString>

namespace ui {

/// The sound played when a transfer finishes: the desktop's information sound
/// ("dialog-information" of the freedesktop sound theme), played through
/// libcanberra by canberra-gtk-play in a process of its own so the GUI never
/// waits; nothing when that player is not installed.
class CompletionSound {
 public:
  static constexpr char kPlayer[] = "canberra-gtk-play";
  static constexpr char kEvent[] = "dialog-information";

  /// Looks the player up on PATH once.
  CompletionSound();

  /// Starts the player detached (`canberra-gtk-play -i dialog-information`)
  /// and returns at once; plays nothing when there is no player or it cannot
  /// be started, or without a GUI application.
  void Play();

  /// Whether the player was found on PATH.
  bool Available() const { return !player_.isEmpty(); }

 private:
  QString player_;
};

}  // namespace ui
