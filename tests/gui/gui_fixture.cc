#include "gui_fixture.h"

#include <stdlib.h>

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include "app/settings.h"
#include "net/dispatch.h"
#include "server/demo.h"
#include "support/text.h"

namespace gui_test {

QApplication& App() {
  static int argc = 1;
  static char name[] = "gui_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    auto* made = new QApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vaultline"));
    QApplication::setQuitOnLastWindowClosed(false);
    return made;
  }();
  return *app;
}

app::AppSetting Settings() {
  app::AppSetting store;
  store.SetAppSettingTitle(app::kSettingsTitle);
  return store;
}

bool Until(const std::function<bool()>& done, int bound_ms) {
  return QTest::qWaitFor(done, bound_ms);
}

void WhenDialog(gui::MainWindow* window, std::function<void(QDialog*)> act) {
  auto* timer = new QTimer(window);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, window, [window, timer, act = std::move(act)] {
    if (QDialog* dialog = window->OpenDialog(); dialog && dialog->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
    }
  });
  timer->start();
}

void GuiTest::SetUp() {
  support::SetDecimalSeparator('.');
  ::setenv("QUARRYTAB_HIVE_DIR", hive_.Path().c_str(), 1);
  loop_ = std::make_unique<ui::QtEventLoop>();
  net::SetEventLoop(loop_.get());

  context_.SetDataRoot(data_.Path());
  std::string error;
  ASSERT_TRUE(server::SeedDemo(data_.Path(), context_.config, error)) << error;
  server::ServerOptions options;
  options.bind = "127.0.0.1";
  options.port = 0;
  options.http_port = 0;
  server_ = std::make_unique<server::Server>(*loop_, context_, options);
  server_->Start();

  ui::SetMessageAnswerer([this](const QMessageBox& box) {
    using enum ui::MessageButtons;
    const bool yes = box.button(QMessageBox::Yes), cancel = box.button(QMessageBox::Cancel);
    const auto buttons = yes && cancel ? kYesNoCancel : yes ? kYesNo : cancel ? kOkCancel : kOk;
    messages_.push_back({box.text(), box.windowTitle(), buttons});
    if (answers_.empty()) {
      return buttons == kOk      ? ui::MessageAnswer::kOk
             : buttons == kYesNo ? ui::MessageAnswer::kNo
                                 : ui::MessageAnswer::kCancel;
    }
    const ui::MessageAnswer answer = answers_.front();
    answers_.erase(answers_.begin());
    return answer;
  });
}

void GuiTest::TearDown() {
  CloseWindow();
  ui::SetMessageAnswerer(nullptr);
  server_.reset();
  // Connections retired by the server go from the loop.
  QTest::qWait(5);
  net::SetEventLoop(nullptr);
  loop_.reset();
  ::unsetenv("QUARRYTAB_HIVE_DIR");
}

void GuiTest::OpenWindow() {
  gui::MainWindowOptions options;
  options.logging = false;
  options.parameters_host = "127.0.0.1";
  options.parameters_port = server_->HttpPort();
  options.version_text = "1.05.3";
  options.help_url = "http://127.0.0.1:1/manual.pdf";
  options.handover_record = handover_record_;
  window_ = std::make_unique<gui::MainWindow>(*loop_, options);
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
}

void GuiTest::CloseWindow() {
  if (!window_) return;
  window_->Shutdown();
  QTest::qWait(1);
  window_.reset();
}

void GuiTest::LogIn(const std::string& id, const std::string& password) {
  Find<QLineEdit>("txtID")->setText(QString::fromStdString(id));
  Find<QLineEdit>("txtPassword")->setText(QString::fromStdString(password));
  Find<QPushButton>("dcbConnect")->click();
  ASSERT_TRUE(WaitListed()) << "not logged in";
}

bool GuiTest::WaitListed() {
  return Until([this] {
    return window_->Session().LoggedIn() && window_->Session().View().window_enabled &&
           !window_->Session().View().rows.empty();
  });
}

bool GuiTest::WaitIdle() {
  return Until([this] { return window_->Session().View().window_enabled; });
}

void GuiTest::ExpectIdleDisconnected(bool login_locked) {
  QApplication::processEvents();
  EXPECT_FALSE(window_->Session().LoggedIn());
  EXPECT_TRUE(window_->Session().View().window_enabled);
  EXPECT_EQ(Find<QPushButton>("dcbConnect")->text(), QString::fromUtf8("Σύνδεση"));
  EXPECT_EQ(List()->model()->rowCount(), 0);
  EXPECT_EQ(Find<QLineEdit>("txtID")->isReadOnly(), login_locked);
  EXPECT_EQ(Find<QLineEdit>("txtPassword")->isReadOnly(), login_locked);
  EXPECT_TRUE(Find<QPushButton>("dcbProxy")->isEnabled());
  for (const char* name : {"dcbUp", "dcbRefresh", "dcbNewFolder", "dcbRename", "dcbDelete",
                           "dcbDownload", "dcbBrowse", "dcbUpload"}) {
    EXPECT_FALSE(Find<QPushButton>(name)->isEnabled()) << name;
  }
  EXPECT_FALSE(Find<QWidget>("lnkDF")->isVisible());
  EXPECT_TRUE(Find<QLineEdit>("txtUpload")->isReadOnly());
  EXPECT_TRUE(Find<QLabel>("lblPath")->text().isEmpty());
}

QTableView* GuiTest::List() const { return window_->findChild<QTableView*>("lvFiles"); }

int GuiTest::RowNamed(const std::string& name) const {
  const auto& rows = window_->Session().View().rows;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

std::vector<std::string> GuiTest::RowNames() const {
  std::vector<std::string> names;
  QAbstractItemModel* model = List()->model();
  for (int r = 0; r < model->rowCount(); ++r) {
    names.push_back(model->index(r, 0).data().toString().toStdString());
  }
  return names;
}

void GuiTest::ClickRow(int row, bool twice) {
  QTableView* list = List();
  const QModelIndex index = list->model()->index(row, 0);
  list->scrollTo(index);
  const QPoint at = list->visualRect(index).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void GuiTest::KeyOnList(Qt::Key key) {
  List()->setFocus();
  QTest::keyClick(List(), key);
}

}  // namespace gui_test
