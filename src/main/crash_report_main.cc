// vaultline-crash-report MESSAGE: the box a crashed Vaultline_N1 leaves
// behind. The crashing process cannot run the toolkit any more, so it starts
// this program with the report's text and ends; the box stays until the user
// closes it.
#include <QApplication>
#include <QString>

#include "ui/centered_message.h"
#include "ui/translations.h"

int main(int argc, char** argv) {
  // Taken before QApplication reads the command line for options of its own.
  const QString message = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  QApplication app(argc, argv);
  ui::InstallGreekTranslation(app);
  ui::ShowCenteredMessage(nullptr, message, ui::MessageIcon::kCritical, ui::MessageButtons::kOk,
                          QStringLiteral("Unhandled exception"));
  return 0;
}
