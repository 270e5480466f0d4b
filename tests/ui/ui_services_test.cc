// Tests of the desktop services of the user interface: the Greek texts of Qt's
// own widgets, the taskbar progress over D-Bus and the completion sound.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QTreeView>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "ui/completion_sound.h"
#include "ui/qt_app.h"
#include "ui/taskbar_progress.h"
#include "ui/translations.h"

namespace ui {
namespace {

/// Waits for `done` by pumping events, at most `rounds` rounds of 10 ms; the
/// bound is a guard against a hang, not a measure of speed.
bool PumpUntil(const std::function<bool()>& done, int rounds = 1000) {
  for (int i = 0; i < rounds && !done(); ++i) {
    QTest::qWait(10);
  }
  return done();
}

// ---------------------------------------------------------------------------
// Greek texts of Qt's widgets

/// A visible text with the mnemonic marks and the shortcut after a tab removed.
QString Shown(QString text) {
  text = text.section(QLatin1Char('\t'), 0, 0);
  text.remove(QRegularExpression(QStringLiteral("&(?=[^&])")));
  return text.trimmed();
}

/// True when `text` has Latin letters, as an untranslated English text has.
/// "OK" is what the Greek desktops write on that button too.
bool LooksEnglish(const QString& text) {
  const QString shown = Shown(text);
  if (shown == QLatin1String("OK")) {
    return false;
  }
  return shown.contains(QRegularExpression(QStringLiteral("[A-Za-z]")));
}

class GreekTranslationTest : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;
  void SetUp() override { InstallGreekTranslation(qt_test::App()); }
  void TearDown() override { RemoveGreekTranslation(qt_test::App()); }
};

struct Text {
  const char* context;
  const char* source;
  const char* disambiguation;
  const char* greek;
};

TEST_F(GreekTranslationTest, TranslatesQtTextsUnderQtsOwnContexts) {
  const Text kTexts[] = {
      {"QFileDialog", "Look in:", nullptr, "Αναζήτηση σε:"},
      {"QFileDialog", "File &name:", nullptr, "Ό&νομα αρχείου:"},
      {"QFileDialog", "Files of type:", nullptr, "Αρχεία τύπου:"},
      {"QFileDialog", "Save As", nullptr, "Αποθήκευση ως"},
      {"QFileDialog", "%1 already exists.\nDo you want to replace it?", nullptr,
       "Το %1 υπάρχει ήδη.\nΘέλετε να το αντικαταστήσετε;"},
      {"QFileDialog", "All Files (*)", nullptr, "Όλα τα αρχεία (*)"},
      {"QFileSystemModel", "Type", "All other platforms", "Τύπος"},
      {"QFileSystemModel", "Date Modified", nullptr, "Τροποποιήθηκε"},
      {"QAbstractFileIconProvider", "Folder", "All other platforms", "Φάκελος"},
      {"QLineEdit", "&Paste", nullptr, "&Επικόλληση"},
      {"QPlatformTheme", "Cancel", nullptr, "Άκυρο"},
      {"QPlatformTheme", "&Yes", nullptr, "&Ναι"},
      {"QMessageBox", "Show Details...", nullptr, "Εμφάνιση λεπτομερειών..."},
  };
  for (const Text& t : kTexts) {
    EXPECT_EQ(QCoreApplication::translate(t.context, t.source, t.disambiguation),
              QString::fromUtf8(t.greek))
        << t.context << " / " << t.source;
  }
  // A text of another context stays as it is.
  EXPECT_EQ(QCoreApplication::translate("QColorDialog", "Look in:"), QStringLiteral("Look in:"));
}

TEST_F(GreekTranslationTest, InstallsOnceAndRemovesBackToEnglish) {
  InstallGreekTranslation(qt_test::App());
  EXPECT_EQ(qt_test::App().findChildren<QTranslator*>().size(), 1);
  RemoveGreekTranslation(qt_test::App());
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
  EXPECT_TRUE(qt_test::App().findChildren<QTranslator*>().isEmpty());
}

/// Every text a user reads on `dialog`: labels, buttons, tool tips, the
/// actions of its context menus, the view's column headers and the file type
/// filters.
QStringList DialogTexts(QFileDialog& dialog) {
  QStringList texts{dialog.windowTitle()};
  for (auto* label : dialog.findChildren<QLabel*>()) {
    if (label->isVisibleTo(&dialog)) texts << label->text();
  }
  for (auto* button : dialog.findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(&dialog)) continue;
    texts << button->text() << button->toolTip();
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

struct DialogCase {
  const char* name;
  QFileDialog::AcceptMode accept_mode;
  QFileDialog::FileMode file_mode;
  const char* title;
  const char* accept_button;
};

void PrintTo(const DialogCase& c, std::ostream* os) { *os << c.name; }

/// A folder with a file and a subfolder to show.
class GreekFileDialogTest : public GreekTranslationTest {
 protected:
  void SetUp() override {
    GreekTranslationTest::SetUp();
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("sub")));
    QFile file(dir_.filePath(QStringLiteral("a.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("text");
  }
  QTemporaryDir dir_;
};

class GreekFileDialogModesTest : public GreekFileDialogTest,
                                 public ::testing::WithParamInterface<DialogCase> {};

TEST_P(GreekFileDialogModesTest, ShowsNoEnglishText) {
  const DialogCase& c = GetParam();
  QFileDialog dialog(nullptr, QString(), dir_.path());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(c.accept_mode);
  dialog.setFileMode(c.file_mode);
  dialog.setViewMode(QFileDialog::Detail);
  dialog.show();

  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(c.title));
  EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"))->text(),
            QStringLiteral("Αναζήτηση σε:"));
  auto* buttons = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  ASSERT_NE(buttons, nullptr);
  EXPECT_EQ(Shown(buttons->buttons().constFirst()->text()), QString::fromUtf8(c.accept_button));
  EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Άκυρο"));

  QStringList english;
  for (const QString& text : DialogTexts(dialog)) {
    if (LooksEnglish(text)) english << text;
  }
  EXPECT_TRUE(english.isEmpty()) << english.join(QStringLiteral(" | ")).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    OpenSaveAndFolder, GreekFileDialogModesTest,
    ::testing::Values(DialogCase{"Open", QFileDialog::AcceptOpen, QFileDialog::ExistingFile,
                                 "Άνοιγμα", "Άνοιγμα"},
                      DialogCase{"Save", QFileDialog::AcceptSave, QFileDialog::AnyFile,
                                 "Αποθήκευση ως", "Αποθήκευση"},
                      DialogCase{"Folder", QFileDialog::AcceptOpen, QFileDialog::Directory,
                                 "Αναζήτηση φακέλου", "Επιλογή"}),
    [](const ::testing::TestParamInfo<DialogCase>& info) { return std::string(info.param.name); });

TEST_F(GreekFileDialogTest, NamesTheTypeOfAFolderInGreek) {
  QFileDialog dialog(nullptr, QString(), dir_.path());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setViewMode(QFileDialog::Detail);
  dialog.show();
  auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(tree, nullptr);
  QModelIndex folder;
  // The model reads the folder on a thread of its own.
  ASSERT_TRUE(PumpUntil([&] {
    auto* model = dialog.findChild<QFileSystemModel*>();
    folder = model ? model->index(dir_.filePath(QStringLiteral("sub")), 2) : QModelIndex();
    return folder.isValid() && !folder.data().toString().isEmpty();
  }));
  EXPECT_EQ(folder.data().toString(), QStringLiteral("Φάκελος"));
}

TEST_F(GreekFileDialogTest, AsksInGreekBeforeReplacingAFile) {
  QFileDialog dialog(nullptr, QString(), dir_.path());
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.show();
  dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("a.txt"));

  // The question is modal: read it and answer No from inside its loop.
  std::optional<QString> question;
  QStringList answers;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      question = box->text();
      answers.clear();
      for (auto* button : box->buttons()) answers << Shown(button->text());
      if (auto* no = box->button(QMessageBox::No)) {
        no->click();
      } else {
        box->reject();
      }
    }
  });
  answer.start(10);
  ASSERT_TRUE(QMetaObject::invokeMethod(&dialog, "accept"));
  answer.stop();

  ASSERT_TRUE(question.has_value());
  EXPECT_EQ(*question, QStringLiteral("Το a.txt υπάρχει ήδη.\nΘέλετε να το αντικαταστήσετε;"));
  QStringList expected{QStringLiteral("Ναι"), QStringLiteral("Όχι")};
  answers.sort();
  expected.sort();
  EXPECT_EQ(answers, expected);
  EXPECT_TRUE(dialog.isVisible());  // "No" keeps the dialog open
}

TEST_F(GreekTranslationTest, LineEditContextMenuIsGreek) {
  QLineEdit edit(QStringLiteral("abc"));
  std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  QStringList shown;
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator()) shown << Shown(action->text());
  }
  EXPECT_EQ(shown, (QStringList{QStringLiteral("Αναίρεση"), QStringLiteral("Επανάληψη"),
                                QStringLiteral("Αποκοπή"), QStringLiteral("Αντιγραφή"),
                                QStringLiteral("Επικόλληση"), QStringLiteral("Διαγραφή"),
                                QStringLiteral("Επιλογή όλων")}));
}

TEST_F(GreekTranslationTest, StandardButtonsAreGreek) {
  struct Button {
    QDialogButtonBox::StandardButton button;
    const char* greek;
  };
  const Button kButtons[] = {
      {QDialogButtonBox::Ok, "OK"},
      {QDialogButtonBox::Cancel, "Άκυρο"},
      {QDialogButtonBox::Yes, "Ναι"},
      {QDialogButtonBox::No, "Όχι"},
      {QDialogButtonBox::YesToAll, "Ναι σε όλα"},
      {QDialogButtonBox::NoToAll, "Όχι σε όλα"},
      {QDialogButtonBox::Open, "Άνοιγμα"},
      {QDialogButtonBox::Save, "Αποθήκευση"},
      {QDialogButtonBox::SaveAll, "Αποθήκευση όλων"},
      {QDialogButtonBox::Close, "Κλείσιμο"},
      {QDialogButtonBox::Discard, "Απόρριψη"},
      {QDialogButtonBox::Abort, "Διακοπή"},
      {QDialogButtonBox::Retry, "Επανάληψη"},
      {QDialogButtonBox::Ignore, "Παράβλεψη"},
      {QDialogButtonBox::Help, "Βοήθεια"},
      {QDialogButtonBox::Apply, "Εφαρμογή"},
      {QDialogButtonBox::Reset, "Επαναφορά"},
      {QDialogButtonBox::RestoreDefaults, "Επαναφορά προεπιλογών"},
  };
  for (const Button& b : kButtons) {
    QDialogButtonBox box;
    EXPECT_EQ(Shown(box.addButton(b.button)->text()), QString::fromUtf8(b.greek)) << b.greek;
  }
}

TEST_F(GreekTranslationTest, MessageBoxDetailsButtonIsGreek) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Τίτλος"), QStringLiteral("Κείμενο"),
                  QMessageBox::Ok);
  box.setDetailedText(QStringLiteral("Λεπτομέρειες"));
  box.show();
  QStringList texts;
  for (auto* button : box.findChildren<QPushButton*>()) texts << Shown(button->text());
  EXPECT_TRUE(texts.contains(QStringLiteral("Εμφάνιση λεπτομερειών...")))
      << texts.join(QStringLiteral(" | ")).toStdString();
}

// ---------------------------------------------------------------------------
// Taskbar progress

/// One Update signal as a listener on the bus received it.
struct Update {
  QString path;
  QString app_uri;
  double progress = -1;
  bool visible = false;
  bool has_progress = false;
};

/// Receives the LauncherEntry signals on its own connection.
class LauncherListener : public QObject {
  Q_OBJECT

 public:
  std::vector<Update> updates;

 public slots:
  void OnUpdate(const QDBusMessage& message) {
    Update update;
    update.path = message.path();
    const QList<QVariant> args = message.arguments();
    if (args.size() == 2) {
      update.app_uri = args[0].toString();
      const QVariantMap properties = qdbus_cast<QVariantMap>(args[1]);
      update.has_progress = properties.contains(QStringLiteral("progress"));
      update.progress = properties.value(QStringLiteral("progress"), -1.0).toDouble();
      update.visible = properties.value(QStringLiteral("progress-visible")).toBool();
    }
    updates.push_back(update);
  }
};

/// A private session bus of the test's own, with a sending and a listening
/// connection on it.
class TaskbarProgressTest : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;

  void SetUp() override {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
      GTEST_SKIP() << "dbus-daemon is not installed";
    }
    daemon_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--print-address"),
                           QStringLiteral("--nofork")});
    ASSERT_TRUE(daemon_.waitForStarted(10000));
    ASSERT_TRUE(PumpUntil([&] { return daemon_.canReadLine(); }));
    const QString address = QString::fromUtf8(daemon_.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());

    sender_bus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address, QStringLiteral("taskbar_sender")));
    listener_bus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address, QStringLiteral("taskbar_listener")));
    ASSERT_TRUE(sender_bus_->isConnected());
    ASSERT_TRUE(listener_bus_->isConnected());
    ASSERT_TRUE(listener_bus_->connect(
        QString(), QString(), QLatin1String(TaskbarProgress::kInterface),
        QLatin1String(TaskbarProgress::kSignal), &listener_, SLOT(OnUpdate(QDBusMessage))));
    // A call to the bus after the match rule: the rule is in place once it returns.
    ASSERT_TRUE(
        listener_bus_->interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus")));
    progress_ = std::make_unique<TaskbarProgress>(QStringLiteral("vaultline"), *sender_bus_);
  }

  void TearDown() override {
    progress_.reset();
    sender_bus_.reset();
    listener_bus_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("taskbar_sender"));
    QDBusConnection::disconnectFromBus(QStringLiteral("taskbar_listener"));
    if (daemon_.state() != QProcess::NotRunning) {
      daemon_.terminate();
      if (!daemon_.waitForFinished(10000)) daemon_.kill();
    }
  }

  /// Waits until `count` updates have arrived in all.
  bool Received(std::size_t count) {
    return PumpUntil([&] { return listener_.updates.size() >= count; });
  }
  std::vector<double> Fractions() const {
    std::vector<double> fractions;
    for (const Update& u : listener_.updates) fractions.push_back(u.visible ? u.progress : -1);
    return fractions;
  }

  QProcess daemon_;
  std::unique_ptr<QDBusConnection> sender_bus_;
  std::unique_ptr<QDBusConnection> listener_bus_;
  LauncherListener listener_;
  std::unique_ptr<TaskbarProgress> progress_;
};

TEST_F(TaskbarProgressTest, SendsTheFractionForTheDesktopFile) {
  EXPECT_TRUE(progress_->Available());
  progress_->SetValue(50);
  ASSERT_TRUE(Received(1));
  const Update& u = listener_.updates[0];
  EXPECT_EQ(u.path, QLatin1String(TaskbarProgress::kObjectPath));
  EXPECT_EQ(u.app_uri, QStringLiteral("application://vaultline.desktop"));
  EXPECT_TRUE(u.has_progress);
  EXPECT_DOUBLE_EQ(u.progress, 0.5);
  EXPECT_TRUE(u.visible);
}

/// One step of a run: the call, then the numbers it leaves.
struct Step {
  enum Call { kValue, kMaximum, kClear } call;
  int arg;
  int value;
  int maximum;
};

TEST_F(TaskbarProgressTest, SendsOnlyWhenTheShownFractionChanges) {
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
      {Step::kClear, 0, 0, 100},        // hidden
      {Step::kClear, 0, 0, 100},        // already hidden: nothing
      {Step::kValue, 0, 0, 100},        // shown again at 0
  };
  for (const Step& s : kSteps) {
    switch (s.call) {
      case Step::kValue:
        progress_->SetValue(s.arg);
        break;
      case Step::kMaximum:
        progress_->SetMaximum(s.arg);
        break;
      case Step::kClear:
        progress_->Clear();
        break;
    }
    EXPECT_EQ(progress_->Value(), s.value);
    EXPECT_EQ(progress_->Maximum(), s.maximum);
  }
  // -1 stands for a hidden bar.
  const std::vector<double> kSent = {0.5, 1.0, 0.5, 0.25, 1.0, 0.0, -1, 0.0};
  ASSERT_TRUE(Received(kSent.size()));
  EXPECT_EQ(Fractions(), kSent);
}

TEST_F(TaskbarProgressTest, ClearHidesTheBarAndTheNextValueShowsIt) {
  progress_->SetValue(30);
  progress_->Clear();
  EXPECT_EQ(progress_->Value(), 0);
  progress_->SetValue(30);
  ASSERT_TRUE(Received(3));
  ASSERT_EQ(listener_.updates.size(), 3u);
  EXPECT_TRUE(listener_.updates[0].visible);
  EXPECT_FALSE(listener_.updates[1].visible);
  EXPECT_TRUE(listener_.updates[2].visible);
  EXPECT_DOUBLE_EQ(listener_.updates[2].progress, 0.3);
}

TEST(TaskbarProgressWithoutBusTest, KeepsTheNumbersAndSendsNothing) {
  qt_test::App();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString nowhere = QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-bus"));
  const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SESSION_BUS_ADDRESS", nowhere.toUtf8());
  {
    TaskbarProgress on_session_bus(QStringLiteral("vaultline"));
    EXPECT_FALSE(on_session_bus.Available());
    on_session_bus.SetValue(40);
    on_session_bus.Clear();
  }
  TaskbarProgress progress(QStringLiteral("vaultline"),
                           QDBusConnection::connectToBus(nowhere, QStringLiteral("no_bus")));
  EXPECT_FALSE(progress.Available());
  progress.SetValue(150);
  EXPECT_EQ(progress.Value(), 150);
  EXPECT_EQ(progress.Maximum(), 150);
  progress.SetMaximum(50);
  EXPECT_EQ(progress.Value(), 50);
  progress.Clear();
  EXPECT_EQ(progress.Value(), 0);
  QDBusConnection::disconnectFromBus(QStringLiteral("no_bus"));
  if (saved.isNull()) {
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  } else {
    qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
  }
}

// ---------------------------------------------------------------------------
// Completion sound

/// A fake player on a PATH of the test's own that writes its arguments, one a
/// line, to a file beside it.
class CompletionSoundTest : public ::testing::Test {
 protected:
  qt_test::UsesApp app_;

  void SetUp() override {
    ASSERT_TRUE(bin_.isValid());
    saved_path_ = qgetenv("PATH");
  }
  void TearDown() override { qputenv("PATH", saved_path_); }

  QString ArgsFile() const { return bin_.filePath(QStringLiteral("player.args")); }

  void WritePlayer(QFile::Permissions permissions) {
    QFile player(bin_.filePath(QLatin1String(CompletionSound::kPlayer)));
    ASSERT_TRUE(player.open(QIODevice::WriteOnly));
    // Written under another name and moved, so the file is whole once it exists.
    player.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + ArgsFile().toUtf8() +
                 ".part\" && mv \"" + ArgsFile().toUtf8() + ".part\" \"" + ArgsFile().toUtf8() +
                 "\"\n");
    player.close();
    ASSERT_TRUE(player.setPermissions(permissions));
  }
  /// Our folder first, then the system's (for sh and mv).
  void UsePath(const QString& first) {
    qputenv("PATH", (first + QLatin1Char(':') + QString::fromLocal8Bit(saved_path_)).toLocal8Bit());
  }

  QTemporaryDir bin_;
  QByteArray saved_path_;
};

TEST_F(CompletionSoundTest, PlaysTheCompleteEventWithThePlayerOnPath) {
  WritePlayer(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  UsePath(bin_.path());
  CompletionSound sound;
  ASSERT_TRUE(sound.Available());
  sound.Play();
  ASSERT_TRUE(PumpUntil([&] { return QFile::exists(ArgsFile()); }));
  QFile args(ArgsFile());
  ASSERT_TRUE(args.open(QIODevice::ReadOnly));
  EXPECT_EQ(args.readAll(), QByteArray("-i\ncomplete\n"));
}

TEST_F(CompletionSoundTest, IsUnavailableWithoutAnExecutablePlayer) {
  struct Case {
    const char* name;
    bool on_path;
    QFile::Permissions permissions;
  };
  const Case kCases[] = {
      {"player not executable", true, QFile::ReadOwner | QFile::WriteOwner},
      {"player not on PATH", false, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner},
  };
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    QFile::remove(bin_.filePath(QLatin1String(CompletionSound::kPlayer)));
    WritePlayer(c.permissions);
    // Only our folders: a player installed on this machine must not count.
    qputenv("PATH", (c.on_path ? bin_.path() : empty.path()).toLocal8Bit());
    CompletionSound sound;
    EXPECT_FALSE(sound.Available());
    sound.Play();  // rings the bell instead, and returns
    EXPECT_FALSE(QFile::exists(ArgsFile()));
  }
}

}  // namespace
}  // namespace ui

#include "ui_services_test.moc"
