#include "gui_fixture.h"

#include <stdlib.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTreeView>

#include <system_error>

#include "net/dispatch.h"
#include "server/demo.h"
#include "support/text.h"

namespace gui_test {

namespace fs = std::filesystem;

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

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "vaultline-gui-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

struct HoldingRelay::Impl {
  QTcpServer listener;
  std::vector<std::unique_ptr<QTcpSocket>> sockets;
};

HoldingRelay::HoldingRelay(int server_port) : impl_(std::make_unique<Impl>()) {
  if (!impl_->listener.listen(QHostAddress::LocalHost)) throw std::runtime_error("relay listen");
  QObject::connect(&impl_->listener, &QTcpServer::newConnection, [this, server_port] {
    QTcpSocket* client = impl_->listener.nextPendingConnection();
    if (client == nullptr) return;
    client->setParent(nullptr);
    auto* upstream = new QTcpSocket;
    upstream->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(server_port));
    QObject::connect(client, &QTcpSocket::readyRead, [this, client, upstream] {
      if (!held_ && upstream->state() == QAbstractSocket::ConnectedState) {
        upstream->write(client->readAll());
      }
    });
    QObject::connect(upstream, &QTcpSocket::connected, [this, client, upstream] {
      if (!held_) upstream->write(client->readAll());
    });
    QObject::connect(upstream, &QTcpSocket::readyRead,
                     [client, upstream] { client->write(upstream->readAll()); });
    QObject::connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
    QObject::connect(client, &QTcpSocket::disconnected, upstream, &QTcpSocket::disconnectFromHost);
    impl_->sockets.emplace_back(client);
    impl_->sockets.emplace_back(upstream);
  });
}

HoldingRelay::~HoldingRelay() {
  for (auto& socket : impl_->sockets) socket->abort();
}

int HoldingRelay::Port() const { return impl_->listener.serverPort(); }

bool Until(const std::function<bool()>& done, int bound_ms) {
  return QTest::qWaitFor(done, bound_ms);
}

GuiTest::GuiTest() { App(); }

GuiTest::~GuiTest() = default;

void GuiTest::SetUp() {
  support::SetDecimalSeparator('.');
  ::setenv("QUARRYTAB_HIVE_DIR", hive_.Path().c_str(), 1);
  loop_ = std::make_unique<ui::QtEventLoop>();
  net::SetEventLoop(loop_.get());

  context_.SetDataRoot(data_.Path());
  context_.log = [this](const std::string& line) { server_log_.push_back(line); };
  std::string error;
  ASSERT_TRUE(server::SeedDemo(data_.Path(), context_.config, error)) << error;
  server::ServerOptions options;
  options.bind = "127.0.0.1";
  options.port = 0;
  options.http_port = 0;
  server_ = std::make_unique<server::Server>(*loop_, context_, options);
  server_->Start();

  ui::SetMessageAnswerer([this](const QMessageBox& box) {
    ui::MessageButtons buttons = ui::MessageButtons::kOk;
    if (box.button(QMessageBox::Yes) && box.button(QMessageBox::Cancel)) {
      buttons = ui::MessageButtons::kYesNoCancel;
    } else if (box.button(QMessageBox::Yes)) {
      buttons = ui::MessageButtons::kYesNo;
    } else if (box.button(QMessageBox::Cancel)) {
      buttons = ui::MessageButtons::kOkCancel;
    }
    messages_.push_back({box.text(), box.windowTitle(), buttons});
    if (!answers_.empty()) {
      const ui::MessageAnswer answer = answers_.front();
      answers_.erase(answers_.begin());
      return answer;
    }
    switch (buttons) {
      case ui::MessageButtons::kOk:
        return ui::MessageAnswer::kOk;
      case ui::MessageButtons::kYesNo:
        return ui::MessageAnswer::kNo;
      default:
        return ui::MessageAnswer::kCancel;
    }
  });
}

void GuiTest::TearDown() {
  if (window_) CloseWindow();
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
  auto* txt_id = Find<QLineEdit>("txtID");
  auto* txt_password = Find<QLineEdit>("txtPassword");
  txt_id->setText(QString::fromStdString(id));
  txt_password->setText(QString::fromStdString(password));
  Find<QPushButton>("dcbConnect")->click();
  ASSERT_TRUE(Until([this] {
    return window_->Session().LoggedIn() && window_->Session().View().window_enabled &&
           !window_->Session().View().rows.empty();
  })) << "not logged in";
}

bool GuiTest::WaitIdle() {
  return Until([this] { return window_->Session().View().window_enabled; });
}

QTreeView* GuiTest::List() const { return window_->findChild<QTreeView*>("lvFiles"); }

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

void GuiTest::ClickRow(int row) {
  QTreeView* list = List();
  const QModelIndex index = list->model()->index(row, 0);
  list->scrollTo(index);
  const QPoint at = list->visualRect(index).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void GuiTest::DoubleClickRow(int row) {
  QTreeView* list = List();
  const QModelIndex index = list->model()->index(row, 0);
  list->scrollTo(index);
  const QPoint at = list->visualRect(index).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void GuiTest::KeyOnList(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  List()->setFocus();
  QTest::keyClick(List(), key, modifiers);
}

}  // namespace gui_test
