#pragma once

#include <QMessageBox>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace ui {

enum class MessageIcon { kNone, kCritical, kQuestion, kExclamation, kInformation };
enum class MessageButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };
enum class MessageAnswer { kOk, kCancel, kYes, kNo };

/// Shows a modal message box centred over `owner`'s window (over the screen
/// when `owner` is null or its window is hidden) and returns the button the
/// user chose. The caption is `title`, or the application's display name when
/// `title` is empty. Buttons read "OK", "Ναι", "Όχι", "Άκυρο"; the first one
/// is the default. Escape and the close box answer Cancel when there is a
/// Cancel button, No for Yes/No and OK for OK alone. `text` is plain text.
MessageAnswer ShowCenteredMessage(QWidget* owner, const QString& text, MessageIcon icon,
                                  MessageButtons buttons, const QString& title);

/// Answers in place of the user: called with the finished box (texts, icon,
/// buttons, default and escape buttons, geometry centred as it would show)
/// instead of showing it; its answer is returned.
using MessageAnswerer = std::function<MessageAnswer(const QMessageBox&)>;
/// Sets the answerer; an empty one puts back the real box.
void SetMessageAnswerer(MessageAnswerer answerer);

/// The answer a button of a box made by ShowCenteredMessage stands for, or
/// nothing for a button of another box.
std::optional<MessageAnswer> AnswerOfButton(const QAbstractButton* button);

/// Where a box of `size` goes: centred on `owner`'s window when it is
/// visible, else on the screen `owner` is on (the primary one without an
/// owner), and kept inside that screen's available area.
QRect CenteredGeometry(const QWidget* owner, QSize size);

}  // namespace ui
