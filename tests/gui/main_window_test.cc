// The main window as a user drives it: log-in, the list and its keys, the
// folder commands through the real dialogs, rendering that leaves the user's
// edits alone, the busy window and the unload.
#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QToolTip>
#include <QUrl>
#include <algorithm>

#include "gui/name_dialog.h"
#include "gui_fixture.h"
#include "session/window_texts.h"
#include "ui/balloon_tip.h"

namespace gui_test {
namespace {

namespace fs = std::filesystem;

using MainWindowTest = GuiTest;

TEST_F(MainWindowTest, OpensIdleWithTheTextsOfItsControls) {
  OpenWindow();
  ExpectIdleDisconnected();
  EXPECT_EQ(window_->windowTitle(), QString::fromUtf8(session::texts::kWindowCaption));
  EXPECT_EQ(Find<QLabel>("lblConnectPrompt")->text(),
            QString::fromUtf8(session::texts::kLblConnectPrompt));
  EXPECT_EQ(Find<QPushButton>("dcbConnect")->toolTip(),
            QString::fromUtf8("Σύνδεση στον προσωπικό χώρο"));
  EXPECT_EQ(Find<QLabel>("lblVersion")->text(), QStringLiteral("v1.05.3"));
  EXPECT_GE(window_->minimumWidth(), 700);
  EXPECT_GE(window_->minimumHeight(), 390);
  EXPECT_EQ(List()->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("Όνομα"));
  EXPECT_EQ(List()->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
  // Every button explains itself and can be reached with the keyboard.
  for (QPushButton* button : window_->findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->toolTip().isEmpty()) << button->objectName().toStdString();
    EXPECT_NE(button->focusPolicy() & Qt::TabFocus, 0) << button->objectName().toStdString();
  }
  // Ctrl+Alt+F10 anywhere in the window tells the protocol version.
  QTest::keyClick(Find<QLineEdit>("txtID"), Qt::Key_F10, Qt::ControlModifier | Qt::AltModifier);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, QString::fromUtf8("Έκδοση πρωτοκόλλου: 5"));
  EXPECT_EQ(messages_[0].title, QStringLiteral("Vaultline"));
}

TEST_F(MainWindowTest, LogsInAndListsTheFolderInServerOrder) {
  OpenWindow();
  QAbstractItemModelTester tester(List()->model(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal);
  LogIn();
  std::vector<std::string> expected;
  for (const auto& row : window_->Session().View().rows) expected.push_back(row.name);
  EXPECT_EQ(RowNames(), expected);
  EXPECT_NE(RowNamed("Καλωσόρισμα.txt"), -1);
  // The connect button now disconnects; the upload row is usable.
  EXPECT_EQ(Find<QPushButton>("dcbConnect")->text(), QString::fromUtf8("Αποσύνδεση"));
  EXPECT_FALSE(Find<QLineEdit>("txtUpload")->isReadOnly());
  // Folder rows have an icon; the linked folder is drawn blue.
  const QModelIndex folder = List()->model()->index(RowNamed("Έγγραφα"), 0);
  EXPECT_FALSE(folder.data(Qt::DecorationRole).value<QIcon>().isNull());
  const int linked = RowNamed("Εγχειρίδια");
  ASSERT_NE(linked, -1);
  EXPECT_EQ(List()->model()->index(linked, 0).data(Qt::ForegroundRole).value<QColor>(),
            QColor(0, 0, 255));
  EXPECT_FALSE(folder.data(Qt::ForegroundRole).isValid());
  // Every row is as high as an icon and a line of text need; the keys of a
  // file list (Home and End to the first and last row, Left and Right stay on
  // the row); Tab leaves the list.
  const int last = List()->model()->rowCount() - 1;
  EXPECT_GE(List()->rowHeight(0), std::max(List()->fontMetrics().height(),
                                           List()->style()->pixelMetric(QStyle::PM_SmallIconSize)));
  EXPECT_EQ(List()->rowHeight(last), List()->rowHeight(0));
  List()->setFocus();
  for (const auto& [key, row] :
       {std::pair{Qt::Key_End, last}, std::pair{Qt::Key_Left, last}, std::pair{Qt::Key_Home, 0},
        std::pair{Qt::Key_Right, 0}, std::pair{Qt::Key_Down, 1}}) {
    QTest::keyClick(List(), key);
    EXPECT_EQ(List()->currentIndex().row(), row) << key;
    EXPECT_EQ(window_->Session().View().selected_row, row) << key;
  }
  QTest::keyClick(List(), Qt::Key_Tab);
  EXPECT_NE(window_->focusWidget(), List());
}

TEST_F(MainWindowTest, NameColumnFillsTheListWithoutAHorizontalScrollBar) {
  OpenWindow();
  LogIn();
  for (const QSize size : {QSize(760, 480), QSize(1100, 700), QSize(700, 390)}) {
    window_->resize(size);
    ASSERT_TRUE(Until([&] {
      const QTableView* list = List();
      const int scroll = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
      return list->columnWidth(0) == list->width() - list->columnWidth(1) - list->columnWidth(2) -
                                         scroll - 4 - 2 * list->frameWidth();
    })) << size.width()
        << "x" << size.height();
    EXPECT_FALSE(List()->horizontalScrollBar()->isVisible());
  }
  // A name the column cuts off shows itself whole as a tooltip; one that fits shows none.
  const std::string name = "Καλωσόρισμα.txt";
  const QModelIndex index = List()->model()->index(RowNamed(name), 0);
  for (const auto& [width, cut] : {std::pair{400, false}, std::pair{60, true}}) {
    List()->setColumnWidth(0, width);
    List()->scrollTo(index);
    ASSERT_TRUE(Until([&] { return List()->visualRect(index).width() == width; }));
    const QPoint at = List()->visualRect(index).center();
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, at, List()->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(List()->viewport(), &help);
    EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(),
              cut ? QString::fromStdString(name) : QString())
        << width;
  }
}

TEST_F(MainWindowTest, DoubleClickBackspaceAndEnterNavigateAndRowsTakeTheirNewColours) {
  OpenWindow();
  QAbstractItemModelTester tester(List()->model(),
                                  QAbstractItemModelTester::FailureReportingMode::Fatal);
  LogIn();
  const auto colour = [this](const std::string& name) {
    return List()->model()->index(RowNamed(name), 0).data(Qt::ForegroundRole);
  };
  ClickRow(RowNamed("Εγχειρίδια"), true);
  ASSERT_TRUE(Until([this] { return RowNamed("Οδηγός χρήσης.txt") != -1 && WaitIdle(); }));
  EXPECT_TRUE(Find<QLabel>("lblPath")->text().contains(QString::fromUtf8("Εγχειρίδια")));
  EXPECT_EQ(colour("Οδηγός χρήσης.txt").value<QColor>(), QColor(0, 0, 255));
  KeyOnList(Qt::Key_Backspace);
  ASSERT_TRUE(Until([this] { return RowNamed("Καλωσόρισμα.txt") != -1 && WaitIdle(); }));
  EXPECT_FALSE(colour("Καλωσόρισμα.txt").isValid());
  // Enter on a folder row opens it.
  ClickRow(RowNamed("Φωτογραφίες"));
  KeyOnList(Qt::Key_Return);
  ASSERT_TRUE(Until([this] { return RowNamed("notes.txt") != -1; }));
}

TEST_F(MainWindowTest, F2RenamesThroughTheNameDialogAndDeleteAsksAndRemovesOnlyThatRow) {
  OpenWindow();
  LogIn();
  std::vector<std::string> expected = RowNames();
  std::erase(expected, "readme.txt");
  ClickRow(RowNamed("readme.txt"));
  QString offered;
  WhenDialog(window_.get(), [&](QDialog* dialog) {
    auto* names = static_cast<gui::NameDialog*>(dialog);
    offered = names->NameBox()->text();
    names->NameBox()->setText(QString::fromUtf8("διάβασέ με.txt"));
    names->OkButton()->click();
  });
  KeyOnList(Qt::Key_F2);
  ASSERT_TRUE(Until([this] { return RowNamed("διάβασέ με.txt") != -1 && WaitIdle(); }));
  EXPECT_EQ(offered, QStringLiteral("readme.txt"));
  EXPECT_EQ(RowNamed("readme.txt"), -1);

  ClickRow(RowNamed("διάβασέ με.txt"));
  answers_.push_back(ui::MessageAnswer::kYes);
  KeyOnList(Qt::Key_Delete);
  ASSERT_TRUE(Until([this] { return RowNamed("διάβασέ με.txt") == -1 && WaitIdle(); }));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].buttons, ui::MessageButtons::kYesNo);
  EXPECT_EQ(RowNames(), expected);
}

TEST_F(MainWindowTest, DisconnectReturnsEveryControlToItsIdleState) {
  OpenWindow();
  LogIn();
  ClickRow(RowNamed("Έγγραφα"), true);
  ASSERT_TRUE(Until([this] { return RowNamed("Προσφορά 2024.txt") != -1 && WaitIdle(); }));
  Find<QPushButton>("dcbConnect")->click();
  ASSERT_TRUE(Until([this] { return !window_->Session().LoggedIn(); }));
  ExpectIdleDisconnected();
}

TEST_F(MainWindowTest, ADroppedLocalFileFillsTheUploadBoxOnlyWhileConnected) {
  const auto drop = [this](const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &dropped);
    return dropped.isAccepted();
  };
  OpenWindow();
  const QString file = QString::fromStdString((local_.Path() / "τιμές.xlsx").string());
  EXPECT_FALSE(drop(file)) << "nothing to upload to while disconnected";
  LogIn();
  EXPECT_TRUE(drop(file));
  EXPECT_EQ(Find<QLineEdit>("txtUpload")->text(), file);
  // Nothing was sent: the user still presses upload.
  EXPECT_FALSE(fs::exists(Personal() / "τιμές.xlsx"));
}

TEST_F(MainWindowTest, NewFolderKeepsTheSelectionAndScrollOfTheRowsAround) {
  OpenWindow();
  LogIn();
  const int selected = RowNamed("readme.txt");
  ClickRow(selected);
  ASSERT_EQ(window_->Session().View().selected_row, selected);
  int inserted_signals = 0;
  int resets = 0;
  QObject::connect(List()->model(), &QAbstractItemModel::rowsInserted, [&] { ++inserted_signals; });
  QObject::connect(List()->model(), &QAbstractItemModel::modelReset, [&] { ++resets; });

  bool refused = false;
  WhenDialog(window_.get(), [&](QDialog* dialog) {
    auto* names = static_cast<gui::NameDialog*>(dialog);
    // The dialog checks names by the session's rules.
    names->NameBox()->setText(QStringLiteral("a:b"));
    names->OkButton()->click();
    refused = ui::BalloonTip::Current() != nullptr && dialog->isVisible();
    names->NameBox()->setText(QString::fromUtf8("Νέος φάκελος δοκιμής"));
    names->OkButton()->click();
  });
  Find<QPushButton>("dcbNewFolder")->click();
  ASSERT_TRUE(Until([this] { return RowNamed("Νέος φάκελος δοκιμής") != -1 && WaitIdle(); }));
  EXPECT_TRUE(refused);
  EXPECT_EQ(inserted_signals, 1);
  EXPECT_EQ(resets, 0);
  // The list still shows the row the session has selected.
  const QModelIndex current = List()->selectionModel()->currentIndex();
  ASSERT_TRUE(current.isValid());
  EXPECT_EQ(current.row(), window_->Session().View().selected_row);
}

TEST_F(MainWindowTest, LoginBoxesKeepTheUsersEditsAndEnterConnects) {
  OpenWindow();
  auto* id = Find<QLineEdit>("txtID");
  auto* password = Find<QLineEdit>("txtPassword");
  id->setFocus();
  QTest::keyClicks(id, QStringLiteral("demouser"));
  id->setCursorPosition(3);
  id->setSelection(1, 2);
  // Rendering after a change elsewhere leaves the cursor and selection alone.
  password->setText(QStringLiteral("x"));
  QTest::qWait(1);
  EXPECT_EQ(id->text(), QStringLiteral("demouser"));
  EXPECT_EQ(id->selectionStart(), 1);
  EXPECT_EQ(id->selectedText(), QStringLiteral("em"));
  // A pasted password loses its line breaks.
  password->clear();
  password->setFocus();
  password->insert(QStringLiteral("de\r\nmo\r\n"));
  ASSERT_TRUE(Until([&] { return password->text() == QStringLiteral("demo"); }))
      << password->text().toStdString();
  EXPECT_EQ(window_->Session().View().txtPassword.text, "demo");
  // An empty id shows its balloon and sends nothing.
  id->setText(QStringLiteral("   "));
  Find<QPushButton>("dcbConnect")->click();
  ASSERT_TRUE(Until([] { return ui::BalloonTip::Current() != nullptr; }));
  EXPECT_TRUE(id->text().isEmpty());
  EXPECT_FALSE(window_->Session().LoggedIn());
  id->setText(QStringLiteral("demo"));
  password->setFocus();
  QTest::keyClick(password, Qt::Key_Return);
  ASSERT_TRUE(Until([this] { return window_->Session().LoggedIn(); }));
}

TEST_F(MainWindowTest, CloseBoxIsRefusedWhileBusyAndInputIsSwallowed) {
  OpenWindow();
  LogIn();
  // The server runs on this thread's loop: until the loop runs again the
  // refresh stays unanswered and the window busy.
  Find<QPushButton>("dcbRefresh")->click();
  ASSERT_FALSE(window_->Session().View().window_enabled);
  EXPECT_FALSE(window_->close());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(window_->Unloaded());
  // Typing into the upload box does nothing while the window is busy.
  auto* upload = Find<QLineEdit>("txtUpload");
  const QString before = upload->text();
  QTest::keyClicks(upload, QStringLiteral("xyz"));
  EXPECT_EQ(upload->text(), before);
  ASSERT_FALSE(window_->Session().View().window_enabled);
  // Shutdown (logout, SIGTERM) is not refused.
  window_->Shutdown();
  EXPECT_TRUE(window_->Unloaded());
}

TEST_F(MainWindowTest, UnloadRemembersTheLoginAndTheSize) {
  OpenWindow();
  window_->resize(900, 600);
  LogIn();
  Find<QCheckBox>("chkSaveLogin")->setChecked(true);
  CloseWindow();

  OpenWindow();
  EXPECT_EQ(Find<QLineEdit>("txtID")->text(), QStringLiteral("demo"));
  EXPECT_EQ(Find<QLineEdit>("txtPassword")->text(), QStringLiteral("demo"));
  EXPECT_TRUE(Find<QCheckBox>("chkSaveLogin")->isChecked());
  EXPECT_EQ(window_->size(), QSize(900, 600));

  // Unticked, the login is forgotten.
  Find<QCheckBox>("chkSaveLogin")->setChecked(false);
  CloseWindow();
  OpenWindow();
  EXPECT_TRUE(Find<QLineEdit>("txtID")->text().isEmpty());
  EXPECT_TRUE(Find<QLineEdit>("txtPassword")->text().isEmpty());
  EXPECT_FALSE(Find<QCheckBox>("chkSaveLogin")->isChecked());
}

}  // namespace
}  // namespace gui_test
