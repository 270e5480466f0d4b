#include "ui/centered_message.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <utility>
#include <vector>

namespace ui {

namespace {

const char kAnswerProperty[] = "vaultline_message_answer";

MessageAnswerer& Answerer() {
  static MessageAnswerer answerer;
  return answerer;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kCritical:
      return QMessageBox::Critical;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
    case MessageIcon::kExclamation:
      return QMessageBox::Warning;
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

struct ButtonPlan {
  QMessageBox::StandardButton standard;
  MessageAnswer answer;
  const char* text;  // UTF-8
};

/// The buttons of a set, first (the default) to last.
std::vector<ButtonPlan> PlanButtons(MessageButtons buttons) {
  const ButtonPlan ok{QMessageBox::Ok, MessageAnswer::kOk, "OK"};
  const ButtonPlan cancel{QMessageBox::Cancel, MessageAnswer::kCancel, "Άκυρο"};
  const ButtonPlan yes{QMessageBox::Yes, MessageAnswer::kYes, "Ναι"};
  const ButtonPlan no{QMessageBox::No, MessageAnswer::kNo, "Όχι"};
  switch (buttons) {
    case MessageButtons::kOk:
      return {ok};
    case MessageButtons::kOkCancel:
      return {ok, cancel};
    case MessageButtons::kYesNo:
      return {yes, no};
    case MessageButtons::kYesNoCancel:
      return {yes, no, cancel};
  }
  return {ok};
}

/// What Escape and the close box answer.
MessageAnswer EscapeAnswer(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::kOk:
      return MessageAnswer::kOk;
    case MessageButtons::kYesNo:
      return MessageAnswer::kNo;
    case MessageButtons::kOkCancel:
    case MessageButtons::kYesNoCancel:
      return MessageAnswer::kCancel;
  }
  return MessageAnswer::kCancel;
}

QString Caption(const QString& title) {
  if (!title.isEmpty()) return title;
  const QString display = QGuiApplication::applicationDisplayName();
  return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

/// A message box that centres itself once it has its final size, which
/// QMessageBox works out only as it is shown.
class CenteredBox : public QMessageBox {
 public:
  CenteredBox(QWidget* parent, const QWidget* owner) : QMessageBox(parent), owner_(owner) {}

  /// Lays the box out as showing it would, without showing it.
  void Prepare() {
    QShowEvent show;
    QMessageBox::showEvent(&show);
    Center();
  }

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    Center();
  }

 private:
  void Center() { setGeometry(CenteredGeometry(owner_, size())); }

  const QWidget* owner_;
};

}  // namespace

QRect CenteredGeometry(const QWidget* owner, QSize size) {
  const QWidget* window = owner ? owner->window() : nullptr;
  const bool over_window = window && window->isVisible() && !window->isMinimized();
  const QScreen* screen = nullptr;
  if (owner) screen = owner->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const QRect around = over_window ? window->frameGeometry() : area;

  QRect box(QPoint(0, 0), size);
  box.moveCenter(around.center());
  // Kept inside the screen, the top-left corner winning when the box is
  // larger than the screen.
  box.moveLeft(std::max(area.left(), std::min(box.left(), area.right() + 1 - box.width())));
  box.moveTop(std::max(area.top(), std::min(box.top(), area.bottom() + 1 - box.height())));
  return box;
}

std::optional<MessageAnswer> AnswerOfButton(const QAbstractButton* button) {
  if (!button) return std::nullopt;
  const QVariant value = button->property(kAnswerProperty);
  if (!value.isValid()) return std::nullopt;
  return static_cast<MessageAnswer>(value.toInt());
}

void SetMessageAnswerer(MessageAnswerer answerer) { Answerer() = std::move(answerer); }

MessageAnswer ShowCenteredMessage(QWidget* owner, const QString& text, MessageIcon icon,
                                  MessageButtons buttons, const QString& title) {
  QWidget* window = owner ? owner->window() : nullptr;
  // A hidden window is no parent: the box would belong to something that is
  // not on screen.
  QWidget* parent = window && window->isVisible() ? window : nullptr;
  CenteredBox box(parent, owner);
  // Modal to the whole program: while the box waits in its own loop no other
  // window takes input.
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowTitle(Caption(title));
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  box.setIcon(BoxIcon(icon));

  const MessageAnswer escape = EscapeAnswer(buttons);
  bool first = true;
  for (const ButtonPlan& plan : PlanButtons(buttons)) {
    QPushButton* button = box.addButton(plan.standard);
    button->setText(QString::fromUtf8(plan.text));
    button->setProperty(kAnswerProperty, static_cast<int>(plan.answer));
    if (first) box.setDefaultButton(button);
    if (plan.answer == escape) box.setEscapeButton(button);
    first = false;
  }

  if (const MessageAnswerer& answerer = Answerer()) {
    box.Prepare();
    return answerer(box);
  }
  box.exec();
  return AnswerOfButton(box.clickedButton()).value_or(escape);
}

}  // namespace ui
