#pragma once

#include <QDialog>
#include <QLayout>
#include <QString>
#include <QWidget>

#include <string>

namespace gui {

/// The core's texts are UTF-8.
inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline QString Q(const char* text) { return QString::fromUtf8(text); }

/// Sets a text only when it differs from what the widget shows, so the cursor
/// and the selection of an edit box stay where the user left them.
template <typename W>
void SetTextIfChanged(W* widget, const QString& text) {
  if (widget->text() != text) widget->setText(text);
}
template <typename W>
void SetTextIfChanged(W* widget, const std::string& text) {
  SetTextIfChanged(widget, Q(text));
}

inline void SetToolTipIfChanged(QWidget* widget, const std::string& text) {
  const QString wanted = Q(text);
  if (widget->toolTip() != wanted) widget->setToolTip(wanted);
}

/// A dialog of fixed size with a title and a close box only (no minimise,
/// maximise or help buttons), sized by its layout. Call once the layout is set.
inline void MakeFixedDialog(QDialog* dialog) {
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  if (dialog->layout() != nullptr) dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace gui
