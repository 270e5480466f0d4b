#include <gtest/gtest.h>

#include <QApplication>
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
#include <optional>
#include <string_view>
#include <vector>

#include "ui/balloon_tip.h"
#include "ui/centered_message.h"
#include "ui/dc_button.h"
#include "ui/file_type_icons.h"
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

// ---------------------------------------------------------------------------

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

TEST_F(DcButtonTest, TheFlatStyleHasAHighlightBorderOnTheButtonFace) {
  const QImage normal = Grab(button_);
  button_.setButtonStyle(DcButton::kStyleFlat);
  EXPECT_EQ(button_.buttonStyle(), 1);
  const QImage flat = Grab(button_);
  EXPECT_NE(normal, flat);
  EXPECT_EQ(flat.pixel(0, 14), Highlight());
  EXPECT_EQ(flat.pixel(55, 0), Highlight());
  EXPECT_EQ(flat.pixel(2, 14), Face());
  EXPECT_EQ(flat.pixel(108, 3), Face());
}

TEST_F(DcButtonTest, TheDefaultRoleChangesTheLookInBothStyles) {
  for (int style : {DcButton::kStyleNormal, DcButton::kStyleFlat}) {
    SCOPED_TRACE(style);
    button_.setButtonStyle(style);
    button_.setDefaultRole(false);
    const QImage plain = Grab(button_);
    button_.setDefaultRole(true);
    EXPECT_TRUE(button_.isDefaultRole());
    EXPECT_NE(Grab(button_), plain);
  }
  // Flat: the border grows to two pixels.
  EXPECT_EQ(Grab(button_).pixel(1, 14), Highlight());
}

TEST_F(DcButtonTest, DisabledAndHoveredFlatButtonsLookDifferent) {
  button_.setButtonStyle(DcButton::kStyleFlat);
  const QImage normal = Grab(button_);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(&button_, &enter);
  EXPECT_TRUE(button_.isHovered());
  const QImage hovered = Grab(button_);
  EXPECT_NE(hovered.pixel(3, 3), normal.pixel(3, 3));  // the tint of the face
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button_, &leave);
  EXPECT_EQ(Grab(button_), normal);
  button_.setEnabled(false);
  EXPECT_NE(Grab(button_), normal);
}

TEST_F(DcButtonTest, AnIconOnlyFlatButtonIsSquareish) {
  button_.setButtonStyle(DcButton::kStyleFlat);
  const int with_caption = button_.sizeHint().width();
  EXPECT_GT(with_caption, button_.fontMetrics().horizontalAdvance(button_.text()) + 16);
  button_.setText(QString());
  EXPECT_EQ(button_.sizeHint(), QSize(28, 26));
}

TEST_F(DcButtonTest, TheMnemonicClicksTheButtonAndEnterIsLeftToTheOwner) {
  for (int style : {DcButton::kStyleNormal, DcButton::kStyleFlat}) {
    SCOPED_TRACE(style);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    auto* button = new DcButton(&window);
    layout->addWidget(edit);
    layout->addWidget(button);
    button->setButtonStyle(style);
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
}

// ---------------------------------------------------------------------------

/// A parent that counts the presses that reach it.
class PressCounter : public QWidget {
 public:
  int presses = 0;

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    ++presses;
    QWidget::mousePressEvent(event);
  }
};

class LogoStripTest : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;
};

TEST_F(LogoStripTest, APressTakesNoFocusAndGoesNoFurther) {
  PressCounter window;
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
  EXPECT_EQ(strip->focusPolicy(), Qt::NoFocus);
}

TEST_F(LogoStripTest, TheTextStartsFivePixelsAboveTheBottomAndFillsTheWidth) {
  LogoStrip strip;
  strip.resize(44, 300);
  const QImage empty = Grab(strip);
  strip.setText(QStringLiteral("NORVANE Α.Ε."));
  EXPECT_EQ(strip.text(), QStringLiteral("NORVANE Α.Ε."));
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

// ---------------------------------------------------------------------------

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<QString> buttons;  // sorted
  QString default_button;
  QString escape_button;
  QRect geometry;
};

class CenteredMessageTest : public ::testing::Test {
 protected:
  CenteredMessageTest() {
    SetMessageAnswerer([this](const QMessageBox& box) {
      seen_.title = box.windowTitle();
      seen_.text = box.text();
      seen_.icon = box.icon();
      seen_.buttons.clear();
      for (const QAbstractButton* b : box.buttons()) seen_.buttons.push_back(b->text());
      std::sort(seen_.buttons.begin(), seen_.buttons.end());
      seen_.default_button = box.defaultButton() ? box.defaultButton()->text() : QString();
      seen_.escape_button = box.escapeButton() ? box.escapeButton()->text() : QString();
      seen_.geometry = box.geometry();
      return MessageAnswer::kNo;
    });
  }
  ~CenteredMessageTest() override { SetMessageAnswerer(nullptr); }

  qt_test::UsesApp app_;
  SeenBox seen_;
};

TEST_F(CenteredMessageTest, TheBoxHasGreekButtonsTheFirstAsDefault) {
  struct Case {
    MessageButtons buttons;
    std::vector<QString> texts;  // sorted
    QString default_button;
    QString escape_button;
  };
  const QString ok = "OK", yes = "Ναι", no = "Όχι", cancel = "Άκυρο";
  const Case cases[] = {
      {MessageButtons::kOk, {ok}, ok, ok},
      {MessageButtons::kOkCancel, {ok, cancel}, ok, cancel},
      {MessageButtons::kYesNo, {yes, no}, yes, no},
      {MessageButtons::kYesNoCancel, {yes, no, cancel}, yes, cancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.default_button.toStdString() + " " + std::to_string(c.texts.size()));
    std::vector<QString> expected = c.texts;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(
        ShowCenteredMessage(nullptr, "Κείμενο <b>", MessageIcon::kExclamation, c.buttons, "Τίτλος"),
        MessageAnswer::kNo);  // what the answerer said
    EXPECT_EQ(seen_.buttons, expected);
    EXPECT_EQ(seen_.default_button, c.default_button);
    EXPECT_EQ(seen_.escape_button, c.escape_button);
    EXPECT_EQ(seen_.text, "Κείμενο <b>");
    EXPECT_EQ(seen_.title, "Τίτλος");
    EXPECT_EQ(seen_.icon, QMessageBox::Warning);
  }
}

TEST_F(CenteredMessageTest, AnEmptyTitleGivesTheApplicationsName) {
  const QString saved = QGuiApplication::applicationDisplayName();
  QGuiApplication::setApplicationDisplayName("Vaultline Δοκιμή");
  ShowCenteredMessage(nullptr, "x", MessageIcon::kInformation, MessageButtons::kOk, QString());
  EXPECT_EQ(seen_.title, "Vaultline Δοκιμή");
  EXPECT_EQ(seen_.icon, QMessageBox::Information);
  QGuiApplication::setApplicationDisplayName(QString());
  ShowCenteredMessage(nullptr, "x", MessageIcon::kNone, MessageButtons::kOk, QString());
  EXPECT_EQ(seen_.title, QCoreApplication::applicationName());
  EXPECT_EQ(seen_.icon, QMessageBox::NoIcon);
  QGuiApplication::setApplicationDisplayName(saved);
}

TEST_F(CenteredMessageTest, TheBoxIsCentredOverItsOwnersWindowOrTheScreen) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* inner = new QLineEdit(&window);
  layout->addWidget(inner);
  window.setGeometry(40, 60, 420, 300);
  window.show();
  ShowCenteredMessage(inner, "Μήνυμα", MessageIcon::kCritical, MessageButtons::kYesNo, "T");
  EXPECT_GT(seen_.geometry.width(), 50);
  EXPECT_LE((seen_.geometry.center() - window.frameGeometry().center()).manhattanLength(), 2);

  window.hide();
  ShowCenteredMessage(inner, "Μήνυμα", MessageIcon::kCritical, MessageButtons::kYesNo, "T");
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE((seen_.geometry.center() - screen.center()).manhattanLength(), 2);
}

/// Runs a real box, sending `key` to it once it is up (or closing it with its
/// close box when `key` is 0).
MessageAnswer ExecAndPress(MessageButtons buttons, int key, bool* guard_fired) {
  QTimer::singleShot(0, [key] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    if (key == 0) {
      box->close();
    } else {
      QTest::keyClick(box, static_cast<Qt::Key>(key));
    }
  });
  // A box that never answers is shut after a while, and that fails the test.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [guard_fired] {
    *guard_fired = true;
    if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->done(0);
  });
  guard.start(10000);
  return ShowCenteredMessage(nullptr, "Συνέχεια;", MessageIcon::kQuestion, buttons, "T");
}

TEST_F(CenteredMessageTest, EscapeTheCloseBoxAndEnterAnswerAsTheButtonsSay) {
  SetMessageAnswerer(nullptr);
  struct Case {
    MessageButtons buttons;
    MessageAnswer on_escape;
    MessageAnswer on_enter;
  };
  const Case cases[] = {
      {MessageButtons::kOk, MessageAnswer::kOk, MessageAnswer::kOk},
      {MessageButtons::kOkCancel, MessageAnswer::kCancel, MessageAnswer::kOk},
      {MessageButtons::kYesNo, MessageAnswer::kNo, MessageAnswer::kYes},
      {MessageButtons::kYesNoCancel, MessageAnswer::kCancel, MessageAnswer::kYes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.buttons));
    bool guard_fired = false;
    EXPECT_EQ(ExecAndPress(c.buttons, Qt::Key_Escape, &guard_fired), c.on_escape);
    EXPECT_EQ(ExecAndPress(c.buttons, 0, &guard_fired), c.on_escape);
    EXPECT_EQ(ExecAndPress(c.buttons, Qt::Key_Return, &guard_fired), c.on_enter);
    EXPECT_FALSE(guard_fired);
  }
}

// ---------------------------------------------------------------------------

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

  /// Shows a balloon on the first box and lets it start watching.
  QWidget* Show() {
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

TEST_F(BalloonTipTest, ShowsBelowItsBoxWhichGetsTheFocusAndGoesOnTyping) {
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
}

TEST_F(BalloonTipTest, GoesOnAClickAnywhereOrWhenTheBoxLosesTheFocus) {
  ASSERT_TRUE(ShowActive(window_));
  ASSERT_NE(Show(), nullptr);
  QTest::mouseClick(&window_, Qt::LeftButton, {}, QPoint(300, 190));
  EXPECT_EQ(BalloonTip::Current(), nullptr);

  ASSERT_NE(Show(), nullptr);
  other_->setFocus();
  EXPECT_EQ(BalloonTip::Current(), nullptr);
}

TEST_F(BalloonTipTest, OnlyOneBalloonIsUp) {
  ASSERT_TRUE(ShowActive(window_));
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
  ASSERT_TRUE(ShowActive(window_));
  QWidget* balloon = Show();
  ASSERT_NE(balloon, nullptr);
  const QRect box = BoxOnScreen();
  if (box.bottom() + balloon->height() <= screen.bottom()) GTEST_SKIP() << "window not at bottom";
  EXPECT_LT(balloon->geometry().bottom(), box.center().y());
  EXPECT_LE(balloon->geometry().bottom(), screen.bottom());
}

// ---------------------------------------------------------------------------

class FileTypeIconsTest : public ::testing::Test {
 protected:
  FileTypeIconsTest() : theme_(QIcon::themeName()), fallback_(QIcon::fallbackThemeName()) {}
  ~FileTypeIconsTest() override {
    QIcon::setThemeName(theme_);
    QIcon::setFallbackThemeName(fallback_);
    FileTypeIcons::ClearCache();
  }

  qt_test::UsesApp app_;
  QString theme_;
  QString fallback_;
};

TEST_F(FileTypeIconsTest, EveryKindOfKeyHasAnIconMadeOnce) {
  EnsureIconTheme();
  for (const char* key : {"I.", "I.pdf", "I.PDF", "Idummyfile", "I.zz9unknown", "program"}) {
    SCOPED_TRACE(key);
    const QIcon icon = FileTypeIcons::IconForKey(key);
    EXPECT_FALSE(icon.isNull());
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
}

TEST_F(FileTypeIconsTest, TheProgramKeyFollowsTheApplicationsIcon) {
  const QIcon saved = QApplication::windowIcon();
  const QIcon own = QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon);
  QApplication::setWindowIcon(own);
  EXPECT_EQ(FileTypeIcons::IconForKey("program").cacheKey(), QApplication::windowIcon().cacheKey());
  QApplication::setWindowIcon(saved);
}

TEST_F(FileTypeIconsTest, AThemeWithoutFileIconsIsReplacedAWorkingOneKept) {
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

}  // namespace
}  // namespace ui
