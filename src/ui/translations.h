#pragma once

#include <QCoreApplication>

namespace ui {

/// Installs, once per application, a translator with the Greek texts of the Qt
/// widgets our users meet: the non-native file dialog (labels, buttons, tooltips,
/// context menus and its questions), the headers and type names of the file
/// system model, the line-edit and text-edit context menus, the standard dialog
/// buttons and the message box's details button. Debian ships no Greek catalogue
/// of Qt's own texts, so ours is built into the library as a resource. The
/// locale (numbers, dates, sizes) is left as the system sets it. The translator
/// is a child of `app`; calling this again does nothing.
void InstallGreekTranslation(QCoreApplication& app);

/// Removes the translator that InstallGreekTranslation installed, if any.
void RemoveGreekTranslation(QCoreApplication& app);

}  // namespace ui
