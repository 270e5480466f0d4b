// Tests of the desktop services of the user interface: the Greek texts of Qt's
// own widgets, the taskbar progress over D-Bus and the completion sound.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServer>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <QVariantMap>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "common/process.h"
#include "ui/completion_sound.h"
#include "ui/qt_app.h"
#include "ui/taskbar_progress.h"
#include "ui/translations.h"

namespace ui {
namespace {

// ---------------------------------------------------------------------------
// Greek texts of Qt's widgets

/// A visible text with the mnemonic marks and the shortcut after a tab removed.
QString Shown(QString text) {
  text = text.section(QLatin1Char('\t'), 0, 0);
  text.remove(QRegularExpression(QStringLiteral("&(?=[^&])")));
  return text.trimmed();
}

/// Fails on texts with Latin letters, as untranslated English texts have. "OK" is what
/// the Greek desktops write on that button too.
void ExpectGreek(const QStringList& texts) {
  QStringList english;
  for (const QString& text : texts) {
    const QString shown = Shown(text);
    if (shown != QLatin1String("OK") && shown.contains(QRegularExpression("[A-Za-z]"))) {
      english << text;
    }
  }
  EXPECT_TRUE(english.isEmpty()) << english.join(QStringLiteral(" | ")).toStdString();
}

/// A folder with a file and a subfolder, for the file dialog to show.
class GreekTranslationTest : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;
  void SetUp() override {
    InstallGreekTranslation(qt_test::App());
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("sub")));
    QFile file(dir_.filePath(QStringLiteral("a.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  void TearDown() override { RemoveGreekTranslation(qt_test::App()); }

  /// Qt's own file dialog on the folder, shown.
  std::unique_ptr<QFileDialog> Dialog(QFileDialog::AcceptMode accept_mode,
                                      QFileDialog::FileMode file_mode) {
    auto dialog = std::make_unique<QFileDialog>(nullptr, QString(), dir_.path());
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(accept_mode);
    dialog->setFileMode(file_mode);
    dialog->setViewMode(QFileDialog::Detail);
    dialog->show();
    return dialog;
  }

  QTemporaryDir dir_;
};

TEST_F(GreekTranslationTest, InstallsOnceAndRemovesBackToEnglish) {
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"),
            QStringLiteral("Αναζήτηση σε:"));
  InstallGreekTranslation(qt_test::App());
  EXPECT_EQ(qt_test::App().findChildren<QTranslator*>().size(), 1);
  RemoveGreekTranslation(qt_test::App());
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
  EXPECT_TRUE(qt_test::App().findChildren<QTranslator*>().isEmpty());
}

/// Every text a user reads on `dialog`: labels, buttons, tool tips, the actions of its
/// context menus, the view's column headers and the file type filters.
QStringList DialogTexts(QFileDialog& dialog) {
  QStringList texts{dialog.windowTitle()};
  for (auto* label : dialog.findChildren<QLabel*>()) {
    if (label->isVisibleTo(&dialog)) texts << label->text();
  }
  for (auto* button : dialog.findChildren<QAbstractButton*>()) {
    if (button->isVisibleTo(&dialog)) texts << button->text() << button->toolTip();
  }
  for (auto* action : dialog.findChildren<QAction*>()) {
    if (!action->isSeparator()) texts << action->text();
  }
  if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    for (int column = 0; column < tree->model()->columnCount(); ++column) {
      texts << tree->model()->headerData(column, Qt::Horizontal).toString();
    }
  }
  if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
    for (int i = 0; i < types->count(); ++i) texts << types->itemText(i);
  }
  texts.removeAll(QString());
  return texts;
}

TEST_F(GreekTranslationTest, FileDialogsShowNoEnglishTextInEveryModeNorForAFoldersType) {
  struct Case {
    QFileDialog::AcceptMode accept_mode;
    QFileDialog::FileMode file_mode;
    const char* title;
    const char* accept_button;
  };
  const Case kCases[] = {
      {QFileDialog::AcceptOpen, QFileDialog::ExistingFile, "Άνοιγμα", "Άνοιγμα"},
      {QFileDialog::AcceptSave, QFileDialog::AnyFile, "Αποθήκευση ως", "Αποθήκευση"},
      {QFileDialog::AcceptOpen, QFileDialog::Directory, "Αναζήτηση φακέλου", "Επιλογή"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.title);
    auto dialog = Dialog(c.accept_mode, c.file_mode);
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(c.title));
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(Shown(buttons->buttons().constFirst()->text()), QString::fromUtf8(c.accept_button));
    // The type of the subfolder too, which the model reads on a thread of its own.
    QModelIndex type;
    ASSERT_TRUE(QTest::qWaitFor([&] {
      type = dialog->findChild<QFileSystemModel*>()->index(dir_.filePath("sub"), 2);
      return !type.data().toString().isEmpty();
    }));
    ExpectGreek(DialogTexts(*dialog) << type.data().toString());
  }
}

TEST_F(GreekTranslationTest, TheFileDialogAsksInGreekBeforeReplacingAFile) {
  auto dialog = Dialog(QFileDialog::AcceptSave, QFileDialog::AnyFile);
  dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("a.txt"));

  // The question is modal: read it and answer No from inside its loop.
  std::optional<QString> question;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      question = box->text();
      box->button(QMessageBox::No)->click();
    }
  });
  answer.start(10);
  ASSERT_TRUE(QMetaObject::invokeMethod(dialog.get(), "accept"));
  answer.stop();
  EXPECT_EQ(question, QStringLiteral("Το a.txt υπάρχει ήδη.\nΘέλετε να το αντικαταστήσετε;"));
  EXPECT_TRUE(dialog->isVisible());  // "No" keeps the dialog open
}

TEST_F(GreekTranslationTest, ContextMenusStandardButtonsAndTheDetailsButtonAreGreek) {
  QStringList texts;
  QLineEdit edit(QStringLiteral("abc"));
  std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator()) texts << action->text();
  }
  QDialogButtonBox box;
  for (int b = QDialogButtonBox::FirstButton; b <= QDialogButtonBox::LastButton; b <<= 1) {
    texts << box.addButton(static_cast<QDialogButtonBox::StandardButton>(b))->text();
  }
  QMessageBox message(QMessageBox::Warning, QStringLiteral("Τίτλος"), QStringLiteral("Κείμενο"),
                      QMessageBox::Ok);
  message.setDetailedText(QStringLiteral("Λεπτομέρειες"));
  message.show();
  for (auto* button : message.findChildren<QPushButton*>()) texts << button->text();
  ExpectGreek(texts);
}

// ---------------------------------------------------------------------------
// Taskbar progress

/// Receives the LauncherEntry signals on its own connection.
class LauncherListener : public QObject {
  Q_OBJECT

 public:
  std::vector<QDBusMessage> updates;

 public slots:
  void OnUpdate(const QDBusMessage& message) { updates.push_back(message); }
};

/// A connection of the test's own, peer to peer with the listener's: no bus daemon.
class TaskbarProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QObject::connect(&server_, &QDBusServer::newConnection, [this](const QDBusConnection& peer) {
      listener_bus_ = std::make_unique<QDBusConnection>(peer);
    });
    const QDBusConnection sender =
        QDBusConnection::connectToPeer(server_.address(), QStringLiteral("taskbar_sender"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener_bus_ != nullptr; }));
    ASSERT_TRUE(listener_bus_->connect(
        QString(), QString(), QLatin1String(TaskbarProgress::kInterface),
        QLatin1String(TaskbarProgress::kSignal), &listener_, SLOT(OnUpdate(QDBusMessage))));
    progress_ = std::make_unique<TaskbarProgress>(QStringLiteral("vaultline"), sender);
  }
  void TearDown() override {
    progress_.reset();
    QDBusConnection::disconnectFromPeer(QStringLiteral("taskbar_sender"));
  }

  qt_test::UsesApp app_;
  QDBusServer server_;
  std::unique_ptr<QDBusConnection> listener_bus_;
  LauncherListener listener_;
  std::unique_ptr<TaskbarProgress> progress_;
};

TEST_F(TaskbarProgressTest, SendsTheFractionForTheDesktopFileOnlyWhenTheShownFractionChanges) {
  EXPECT_TRUE(progress_->Available());
  /// One step of a run: the call, then the numbers it leaves.
  struct Step {
    enum Call { kValue, kMaximum, kClear } call;
    int arg;
    int value;
    int maximum;
  };
  const Step kSteps[] = {
      {Step::kValue, 50, 50, 100},      // 0.5
      {Step::kValue, 50, 50, 100},      // same: nothing
      {Step::kMaximum, 100, 50, 100},   // same: nothing
      {Step::kValue, 150, 150, 150},    // raises the maximum: 1.0
      {Step::kValue, 200, 200, 200},    // raises it again, still full: nothing
      {Step::kMaximum, 400, 200, 400},  // 0.5
      {Step::kMaximum, 800, 200, 800},  // 0.25
      {Step::kMaximum, 100, 100, 100},  // cuts the value: 1.0
      {Step::kValue, -5, 0, 100},       // 0
      {Step::kValue, 30, 30, 100},      // 0.3
      {Step::kClear, 0, 0, 100},        // hidden
      {Step::kClear, 0, 0, 100},        // already hidden: nothing
      {Step::kValue, 0, 0, 100},        // shown again at 0
  };
  for (const Step& s : kSteps) {
    if (s.call == Step::kValue) progress_->SetValue(s.arg);
    if (s.call == Step::kMaximum) progress_->SetMaximum(s.arg);
    if (s.call == Step::kClear) progress_->Clear();
    EXPECT_EQ(progress_->Value(), s.value);
    EXPECT_EQ(progress_->Maximum(), s.maximum);
  }
  const std::vector<double> kSent = {0.5, 1.0, 0.5, 0.25, 1.0, 0.0, 0.3, -1, 0.0};
  ASSERT_TRUE(QTest::qWaitFor([&] { return listener_.updates.size() >= kSent.size(); }));
  std::vector<double> sent;  // -1 for a hidden bar
  for (const QDBusMessage& m : listener_.updates) {
    EXPECT_EQ(m.path(), QLatin1String(TaskbarProgress::kObjectPath));
    ASSERT_EQ(m.arguments().size(), 2);
    EXPECT_EQ(m.arguments()[0].toString(), QStringLiteral("application://vaultline.desktop"));
    const QVariantMap properties = qdbus_cast<QVariantMap>(m.arguments()[1]);
    EXPECT_TRUE(properties.contains(QStringLiteral("progress")));
    sent.push_back(properties.value(QStringLiteral("progress-visible")).toBool()
                       ? properties.value(QStringLiteral("progress")).toDouble()
                       : -1);
  }
  EXPECT_EQ(sent, kSent);
}

TEST(TaskbarProgressWithoutBusTest, IsUnavailableAndStillKeepsTheNumbers) {
  qt_test::App();
  TaskbarProgress progress(QStringLiteral("vaultline"),
                           QDBusConnection::connectToPeer("unix:path=/nonexistent", "no_bus"));
  EXPECT_FALSE(progress.Available());
  progress.SetValue(150);
  EXPECT_EQ(progress.Value(), 150);
}

// ---------------------------------------------------------------------------
// Completion sound

/// A fake player that writes its arguments, one a line, to player.args beside it (written
/// under another name and moved, so the file is whole once it exists).
TEST(CompletionSoundTest, PlaysTheInformationSoundWithThePlayerOnPathAndNothingWithout) {
  qt_test::App();
  test_common::TempDir bin;
  const std::filesystem::path player = bin.Path() / CompletionSound::kPlayer;
  test_common::WriteProgram(
      player, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.part\" && mv \"$0.part\" \"$0.args\"\n");
  const QString args = QString::fromStdString(player.string() + ".args");
  const QByteArray saved_path = qgetenv("PATH");
  // Without: only an empty folder, so a player installed on this machine does not count.
  // With: our folder first, then the system's (for sh and mv).
  for (const bool on_path : {false, true}) {
    SCOPED_TRACE(on_path ? "on PATH" : "not on PATH");
    test_common::TempDir empty;
    qputenv("PATH", on_path ? QByteArray::fromStdString(bin.Path().string()) + ':' + saved_path
                            : QByteArray::fromStdString(empty.Path().string()));
    CompletionSound sound;
    qputenv("PATH", saved_path);
    EXPECT_EQ(sound.Available(), on_path);
    sound.Play();  // without a player: plays nothing, and returns
    if (on_path) {
      ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(args); }));
      EXPECT_EQ(test_common::ReadFile(args.toStdString()), "-i\ndialog-information\n");
    } else {
      EXPECT_FALSE(QFile::exists(args));
    }
  }
}

}  // namespace
}  // namespace ui

#include "ui_services_test.moc"
