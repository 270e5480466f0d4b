#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <set>
#include <string_view>

#include "ui/balloon_tip.h"
#include "ui/centered_message.h"
#include "ui/ctl_tool_tip.h"
#include "ui/dc_button.h"
#include "ui/file_type_icons.h"
#include "ui/hand_pointer.h"
#include "ui/logo_strip.h"
#include "ui/qt_app.h"

namespace ui {
namespace {

QImage Grab(QWidget& widget) {
  return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

/// Shows `window` and waits (with a time-out) until it is the active window.
bool ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  return QTest::qWaitForWindowActive(&window);
}

class DcButtonTest : public ::testing::Test {
 protected:
  DcButtonTest() {
    button_.setText(QStringLiteral("Σύνδεση"));
    button_.setIcon(button_.style()->standardIcon(QStyle::SP_DialogOkButton));
    button_.resize(110, 28);
  }
  QRgb Highlight() const { return button_.palette().color(QPalette::Highlight).rgb(); }
  QRgb Face() const { return button_.palette().color(QPalette::Button).rgb(); }

  qt_test::UsesApp app_;
  DcButton button_;
};

TEST_F(DcButtonTest, TheFlatLookHasAHighlightBorderATintUnderTheMouseAndFitsItsContent) {
  const QImage normal = Grab(button_);
  button_.setButtonStyle(DcButton::kStyleFlat);
  const QImage flat = Grab(button_);
  EXPECT_NE(normal, flat);
  EXPECT_EQ(flat.pixel(0, 14), Highlight());
  EXPECT_EQ(flat.pixel(55, 0), Highlight());
  EXPECT_EQ(flat.pixel(1, 14), Face());
  EXPECT_EQ(flat.pixel(108, 3), Face());
  button_.setDefaultRole(true);  // two pixels for the default button
  EXPECT_TRUE(button_.isDefaultRole());
  EXPECT_EQ(Grab(button_).pixel(1, 14), Highlight());
  button_.setDefaultRole(false);

  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(&button_, &enter);
  EXPECT_TRUE(button_.isHovered());
  EXPECT_NE(Grab(button_).pixel(3, 3), flat.pixel(3, 3));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button_, &leave);
  EXPECT_EQ(Grab(button_), flat);
  button_.setEnabled(false);
  EXPECT_NE(Grab(button_), flat);

  EXPECT_GT(button_.sizeHint().width(),
            button_.fontMetrics().horizontalAdvance(button_.text()) + 16);
  button_.setText(QString());
  EXPECT_EQ(button_.sizeHint(), QSize(28, 26));
}

TEST_F(DcButtonTest, TheMnemonicClicksTheButtonAndEnterIsLeftToTheOwner) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(new QLineEdit(&window));
  auto* button = new DcButton(&window);
  layout->addWidget(button);
  button->setButtonStyle(DcButton::kStyleFlat);
  button->setText(QStringLiteral("&Refresh"));
  button->setDefaultRole(true);
  ASSERT_TRUE(ShowActive(window));
  QSignalSpy clicked(button, &QAbstractButton::clicked);

  QTest::keyClick(&window, Qt::Key_R, Qt::AltModifier);
  EXPECT_TRUE(clicked.count() == 1 || clicked.wait(2000));
  EXPECT_EQ(clicked.count(), 1);

  // The default role draws; it does not press the button on Enter.
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Return);
  QTest::keyClick(button, Qt::Key_Enter);
  EXPECT_EQ(clicked.count(), 1);
}

TEST(LogoStripTest, APressTakesNoFocusAndGoesNoFurther) {
  qt_test::App();
  qt_test::PressCounter window;
  auto* layout = new QVBoxLayout(&window);
  auto* edit = new QLineEdit(&window);
  auto* strip = new LogoStrip(&window);
  strip->setText(QStringLiteral("NORVANE"));
  layout->addWidget(edit);
  layout->addWidget(strip);
  ASSERT_TRUE(ShowActive(window));
  edit->setFocus();
  QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(QApplication::focusWidget(), edit);
  EXPECT_EQ(window.presses, 0);
}

TEST(LogoStripTest, TheTextStartsFivePixelsAboveTheBottomAndFillsTheWidth) {
  qt_test::App();
  LogoStrip strip;
  strip.resize(44, 300);
  const QImage empty = Grab(strip);
  strip.setText(QStringLiteral("NORVANE Α.Ε."));
  const QImage text = Grab(strip);

  // The background: white on the left, the button face on the right.
  EXPECT_EQ(empty.pixel(0, 150), qRgb(255, 255, 255));
  const QColor face = strip.palette().color(QPalette::Button);
  const QColor right = empty.pixelColor(43, 150);
  EXPECT_LE(std::abs(right.red() - face.red()) + std::abs(right.blue() - face.blue()), 12);

  int lowest = -1, highest = -1, left = 44, right_edge = -1;
  for (int y = 0; y < text.height(); ++y) {
    for (int x = 0; x < text.width(); ++x) {
      if (text.pixel(x, y) == empty.pixel(x, y)) continue;
      if (highest < 0) highest = y;
      lowest = y;
      left = std::min(left, x);
      right_edge = std::max(right_edge, x);
    }
  }
  ASSERT_GE(lowest, 0) << "no text drawn";
  // The bottom five rows are background only; the text starts right above.
  EXPECT_LT(lowest, 300 - LogoStrip::kBottomPadding);
  EXPECT_GE(lowest, 300 - LogoStrip::kBottomPadding - 5);
  EXPECT_GT(highest, 0);  // the whole text fits
  // Large: the capitals take about half of the width, roughly centred.
  EXPECT_GE(right_edge - left, 18);
  EXPECT_LE(std::abs((left + right_edge) / 2 - 22), 4);
}

/// What a box answers: the answers of its buttons, on Escape (or its close box) and on
/// Enter.
struct BoxCase {
  MessageButtons buttons;
  std::set<MessageAnswer> answers;
  MessageAnswer on_escape;
  MessageAnswer on_enter;
};
using A = MessageAnswer;
const BoxCase kBoxes[] = {
    {MessageButtons::kOk, {A::kOk}, A::kOk, A::kOk},
    {MessageButtons::kOkCancel, {A::kOk, A::kCancel}, A::kCancel, A::kOk},
    {MessageButtons::kYesNo, {A::kYes, A::kNo}, A::kNo, A::kYes},
    {MessageButtons::kYesNoCancel, {A::kYes, A::kNo, A::kCancel}, A::kCancel, A::kYes},
};

/// Records what the answerer saw of the last box.
class CenteredMessageTest : public ::testing::Test {
 protected:
  CenteredMessageTest() {
    SetMessageAnswerer([this](const QMessageBox& box) {
      title_ = box.windowTitle();
      text_ = box.text();
      icon_ = box.icon();
      geometry_ = box.geometry();
      answers_.clear();
      for (const QAbstractButton* b : box.buttons()) answers_.insert(AnswerOfButton(b).value());
      return A::kNo;
    });
  }
  ~CenteredMessageTest() override { SetMessageAnswerer(nullptr); }

  qt_test::UsesApp app_;
  QString title_;
  QString text_;
  QMessageBox::Icon icon_ = QMessageBox::NoIcon;
  QRect geometry_;
  std::set<MessageAnswer> answers_;
};

TEST_F(CenteredMessageTest, TheAnswererSeesTheFinishedBoxAndAnswersForTheUser) {
  for (const BoxCase& c : kBoxes) {
    SCOPED_TRACE(static_cast<int>(c.buttons));
    EXPECT_EQ(
        ShowCenteredMessage(nullptr, "Κείμενο <b>", MessageIcon::kExclamation, c.buttons, "Τίτλος"),
        A::kNo);
    EXPECT_EQ(answers_, c.answers);
    EXPECT_EQ(text_, "Κείμενο <b>");
    EXPECT_EQ(title_, "Τίτλος");
    EXPECT_EQ(icon_, QMessageBox::Warning);
  }
  EXPECT_FALSE(AnswerOfButton(nullptr));
  QPushButton other;
  EXPECT_FALSE(AnswerOfButton(&other));

  // An empty title gives the application's name.
  const QString saved = QGuiApplication::applicationDisplayName();
  QGuiApplication::setApplicationDisplayName("Vaultline Δοκιμή");
  ShowCenteredMessage(nullptr, "x", MessageIcon::kInformation, MessageButtons::kOk, QString());
  EXPECT_EQ(title_, "Vaultline Δοκιμή");
  QGuiApplication::setApplicationDisplayName(QString());
  ShowCenteredMessage(nullptr, "x", MessageIcon::kNone, MessageButtons::kOk, QString());
  EXPECT_EQ(title_, QCoreApplication::applicationName());
  QGuiApplication::setApplicationDisplayName(saved);
}

TEST_F(CenteredMessageTest, TheBoxIsCentredOverItsOwnersWindowOrTheScreen) {
  QWidget window;
  auto* inner = new QWidget(&window);
  window.setGeometry(40, 60, 420, 300);
  window.show();
  ShowCenteredMessage(inner, "Μήνυμα", MessageIcon::kCritical, MessageButtons::kYesNo, "T");
  EXPECT_GT(geometry_.width(), 50);
  EXPECT_LE((geometry_.center() - window.frameGeometry().center()).manhattanLength(), 2);

  window.hide();
  ShowCenteredMessage(inner, "Μήνυμα", MessageIcon::kCritical, MessageButtons::kYesNo, "T");
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((geometry_.center() - screen.center()).manhattanLength(), 2);
}

/// Runs a real box, sending `key` to it once it is up (or closing it with its close box
/// when `key` is 0). A box that never answers is shut by a guard, which fails the test.
MessageAnswer ExecAndPress(MessageButtons buttons, int key) {
  QTimer::singleShot(0, [key] {
    QWidget* box = QApplication::activeModalWidget();
    if (key == 0 && box) box->close();
    if (key != 0 && box) QTest::keyClick(box, static_cast<Qt::Key>(key));
  });
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] {
    ADD_FAILURE() << "the box did not answer";
    if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->done(0);
  });
  guard.start(10000);
  return ShowCenteredMessage(nullptr, "Συνέχεια;", MessageIcon::kQuestion, buttons, "T");
}

TEST_F(CenteredMessageTest, EscapeTheCloseBoxAndEnterAnswerAsTheButtonsSay) {
  SetMessageAnswerer(nullptr);
  for (const BoxCase& c : kBoxes) {
    SCOPED_TRACE(static_cast<int>(c.buttons));
    EXPECT_EQ(ExecAndPress(c.buttons, Qt::Key_Escape), c.on_escape);
    EXPECT_EQ(ExecAndPress(c.buttons, 0), c.on_escape);
    EXPECT_EQ(ExecAndPress(c.buttons, Qt::Key_Return), c.on_enter);
  }
}

class BalloonTipTest : public ::testing::Test {
 protected:
  BalloonTipTest() {
    auto* layout = new QVBoxLayout(&window_);
    box_ = new QLineEdit(&window_);
    other_ = new QLineEdit(&window_);
    layout->addWidget(box_);
    layout->addWidget(other_);
    layout->addStretch();
    window_.setGeometry(100, 80, 320, 200);
  }
  ~BalloonTipTest() override { BalloonTip::HideBalloon(); }

  /// Shows the window, then a balloon on the first box, and lets it start watching.
  QWidget* Show() {
    EXPECT_TRUE(window_.isActiveWindow() || ShowActive(window_));
    BalloonTip::ShowBalloonTip(box_, "Πληκτρολογήστε το όνομα χρήστη.", "Κενό πεδίο",
                               BalloonTip::kIconWarning);
    QCoreApplication::processEvents();
    return BalloonTip::Current();
  }
  QRect BoxOnScreen() const { return QRect(box_->mapToGlobal(QPoint(0, 0)), box_->size()); }

  qt_test::UsesApp app_;
  QWidget window_;
  QLineEdit* box_;
  QLineEdit* other_;
};

TEST_F(BalloonTipTest, ShowsBelowItsBoxWhichGetsTheFocusAndGoesOnTypingClickingOrFocusLost) {
  ASSERT_TRUE(ShowActive(window_));
  other_->setFocus();
  QWidget* balloon = Show();
  ASSERT_NE(balloon, nullptr);
  EXPECT_TRUE(balloon->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), box_);
  EXPECT_EQ(QApplication::activeWindow(), &window_);  // the balloon took no activation
  const QRect box = BoxOnScreen();
  const QRect tip = balloon->geometry();
  EXPECT_GT(tip.top(), box.center().y());
  EXPECT_LE(tip.top(), box.bottom() + 1);
  EXPECT_LT(tip.left(), box.left() + box.width() / 2);
  EXPECT_GT(tip.right(), box.left());
  QTest::keyPress(box_, Qt::Key_A);
  EXPECT_EQ(BalloonTip::Current(), nullptr);
  EXPECT_FALSE(balloon->isVisible());
  QTest::keyRelease(box_, Qt::Key_A);

  ASSERT_NE(Show(), nullptr);
  QTest::mouseClick(&window_, Qt::LeftButton, {}, QPoint(300, 190));
  EXPECT_EQ(BalloonTip::Current(), nullptr);
  ASSERT_NE(Show(), nullptr);
  other_->setFocus();
  EXPECT_EQ(BalloonTip::Current(), nullptr);

  // Only one balloon is up.
  QPointer<QWidget> first = Show();
  ASSERT_NE(first, nullptr);
  BalloonTip::ShowBalloonTip(other_, "δεύτερο", QString(), BalloonTip::kIconNone);
  EXPECT_NE(BalloonTip::Current(), first.data());
  EXPECT_TRUE(first.isNull() || !first->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), other_);
}

TEST_F(BalloonTipTest, ShowsAboveABoxAtTheBottomOfTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  window_.move(screen.left() + 50, screen.bottom() - 90);
  QWidget* balloon = Show();
  ASSERT_NE(balloon, nullptr);
  const QRect box = BoxOnScreen();
  if (box.bottom() + balloon->height() <= screen.bottom()) GTEST_SKIP() << "window not at bottom";
  EXPECT_LT(balloon->geometry().bottom(), box.center().y());
  EXPECT_LE(balloon->geometry().bottom(), screen.bottom());
}

TEST(FileTypeIconsTest, EveryKindOfKeyHasAnIconMadeOnceAndAThemeWithoutFileIconsIsReplaced) {
  qt_test::App();
  struct Restore {
    QString theme = QIcon::themeName();
    QString fallback = QIcon::fallbackThemeName();
    ~Restore() {
      QIcon::setThemeName(theme);
      QIcon::setFallbackThemeName(fallback);
      FileTypeIcons::ClearCache();
    }
  } restore;
  EnsureIconTheme();
  for (const char* key : {"I.", "I.pdf", "I.PDF", "Idummyfile", "I.zz9unknown", "program"}) {
    SCOPED_TRACE(key);
    const QIcon icon = FileTypeIcons::IconForKey(key);
    EXPECT_FALSE(icon.pixmap(16, 16).isNull());
    if (std::string_view(key) != "program") {
      EXPECT_EQ(FileTypeIcons::IconForKey(key).cacheKey(), icon.cacheKey());
    }
  }
  EXPECT_NE(FileTypeIcons::IconForKey("I.").cacheKey(),
            FileTypeIcons::IconForKey("I.pdf").cacheKey());
  if (QIcon::hasThemeIcon("folder")) {
    EXPECT_EQ(FileTypeIcons::IconForKey("I.").name(), "folder");
  }
  if (QIcon::hasThemeIcon("application-pdf")) {
    EXPECT_EQ(FileTypeIcons::IconForKey("I.pdf").name(), "application-pdf");
    EXPECT_EQ(FileTypeIcons::IconForKey("I.PDF").name(), "application-pdf");
  }
  // The program key follows the application's icon.
  const QIcon saved = QApplication::windowIcon();
  QApplication::setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon));
  EXPECT_EQ(FileTypeIcons::IconForKey("program").cacheKey(), QApplication::windowIcon().cacheKey());
  QApplication::setWindowIcon(saved);

  const QString fallback = FallbackIconTheme();
  if (fallback.isEmpty()) GTEST_SKIP() << "no icon theme installed";
  QIcon::setThemeName("no-such-theme");
  EnsureIconTheme();
  EXPECT_EQ(QIcon::themeName(), fallback);
  EXPECT_TRUE(QIcon::hasThemeIcon("folder"));
  // hicolor holds no folder icon; Adwaita, where installed, does.
  for (const QString& working :
       {QStringLiteral("Adwaita"), QStringLiteral("Papirus"), QStringLiteral("breeze")}) {
    QIcon::setThemeName(working);
    if (working == fallback || !QIcon::hasThemeIcon("folder")) continue;
    EnsureIconTheme();
    EXPECT_EQ(QIcon::themeName(), working);
  }
}

class HandPointerTest : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;
  void Move() { qt_test::SendMouse(&widget_, QEvent::MouseMove, QPointF(5, 5)); }
  bool Hand() const { return widget_.cursor().shape() == Qt::PointingHandCursor; }

  QWidget widget_;
  HandPointer tracker_{&widget_};
  QSignalSpy enter_{&tracker_, &HandPointer::MouseEnter};
  QSignalSpy leave_{&tracker_, &HandPointer::MouseLeave};
};

TEST_F(HandPointerTest, EntersOnTheFirstMoveWhileEnabledAndLeavesOnLeave) {
  qt_test::SendLeave(&widget_);  // no leave without an enter
  EXPECT_EQ(leave_.count(), 0);
  Move();
  Move();
  EXPECT_EQ(enter_.count(), 1);
  EXPECT_TRUE(tracker_.Inside());
  qt_test::SendLeave(&widget_);
  EXPECT_EQ(leave_.count(), 1);
  EXPECT_FALSE(tracker_.Inside());
  Move();
  EXPECT_EQ(enter_.count(), 2);
  qt_test::SendLeave(&widget_);
  widget_.setEnabled(false);  // a disabled widget is not entered
  Move();
  EXPECT_EQ(enter_.count(), 2);
}

TEST_F(HandPointerTest, ShowsTheHandWhileOnButNeverOverTheWaitCursor) {
  Move();
  EXPECT_TRUE(Hand());
  tracker_.SetUseHand(false);
  EXPECT_FALSE(Hand());
  tracker_.SetUseHand(true);
  EXPECT_TRUE(Hand());

  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  Move();
  EXPECT_FALSE(Hand());
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  QGuiApplication::restoreOverrideCursor();
  Move();
  EXPECT_TRUE(Hand());
}

TEST(CtlToolTipTest, IsAttachedAnewAfterAReleaseOfTheLeftRightOrMiddleButton) {
  qt_test::App();
  QWidget widget;
  CtlToolTip tip(&widget);
  tip.SetText("help");
  EXPECT_EQ(widget.toolTip(), "help");
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    widget.setToolTip(QString());
    qt_test::SendMouse(&widget, QEvent::MouseButtonRelease, QPointF(1, 1), button);
    EXPECT_EQ(widget.toolTip(), "help") << button;
  }
  widget.setToolTip(QString());
  qt_test::SendMouse(&widget, QEvent::MouseButtonRelease, QPointF(1, 1), Qt::BackButton);
  EXPECT_EQ(widget.toolTip(), QString());
}

}  // namespace
}  // namespace ui
