#include "ui/translations.h"

#include <QLatin1String>
#include <QTranslator>
#include <QtGlobal>

namespace ui {
namespace {

/// Built from translations/qt_el.ts at build time (see CMakeLists.txt).
constexpr char kCatalogue[] = ":/vaultline/translations/qt_el.qm";
/// Marks our translator among the application's children.
constexpr char kTranslatorName[] = "vaultline_greek_translator";

QTranslator* Installed(QCoreApplication& app) {
  return app.findChild<QTranslator*>(QLatin1String(kTranslatorName), Qt::FindDirectChildrenOnly);
}

}  // namespace

void InstallGreekTranslation(QCoreApplication& app) {
  if (Installed(app) != nullptr) {
    return;
  }
  auto* translator = new QTranslator(&app);
  translator->setObjectName(QLatin1String(kTranslatorName));
  if (!translator->load(QLatin1String(kCatalogue))) {
    qWarning("Greek translation of the Qt texts is missing from the resources (%s)", kCatalogue);
    delete translator;
    return;
  }
  QCoreApplication::installTranslator(translator);
}

void RemoveGreekTranslation(QCoreApplication& app) {
  if (QTranslator* translator = Installed(app)) {
    QCoreApplication::removeTranslator(translator);
    delete translator;
  }
}

}  // namespace ui
