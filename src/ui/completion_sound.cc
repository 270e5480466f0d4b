#include "ui/completion_sound.h"

#include <QApplication>
#include <QLatin1String>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace ui {

CompletionSound::CompletionSound()
    : player_(QStandardPaths::findExecutable(QLatin1String(kPlayer))) {}

void CompletionSound::Play() {
  // The bell and the platform behind it exist only in a GUI application.
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    return;
  }
  // startDetached waits only for the exec of the player, never for the sound.
  // Without a player there is no sound of the desktop's to play: nothing.
  if (Available()) {
    QProcess::startDetached(player_, {QStringLiteral("-i"), QLatin1String(kEvent)});
  }
}

}  // namespace ui
