// screenshot_tour OUTPUT_DIR SUFFIX: walks the desktop program through the
// states worth a picture (disconnected, the personal and the dealers folder, a
// linked folder, the usage warnings, a transfer, each dialog) against an
// in-process demo server, and has ImageMagick's `import` take each picture of
// the X screen, cropped to the program's windows (balloons and tooltips
// included). Run under an X server with a window manager (scripts/screenshots).
#include <stdlib.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_setting.h"
#include "app/settings.h"
#include "gui/main_window.h"
#include "net/dispatch.h"
#include "server/demo.h"
#include "server/server.h"
#include "server/server_context.h"
#include "ui/file_type_icons.h"
#include "ui/qt_event_loop.h"
#include "ui/translations.h"

namespace {

namespace fs = std::filesystem;

/// A loopback relay in front of the folder server that passes at most
/// `kBytesPerTick` each way per tick, so a transfer lasts long enough to be
/// photographed.
class SlowRelay {
 public:
  explicit SlowRelay(int server_port) : server_port_(server_port) {
    listener_.listen(QHostAddress::LocalHost);
    QObject::connect(&listener_, &QTcpServer::newConnection, [this] { Accept(); });
    QObject::connect(&tick_, &QTimer::timeout, [this] { Pump(); });
    tick_.start(20);
  }
  int Port() const { return listener_.serverPort(); }

 private:
  static constexpr qint64 kBytesPerTick = 48 * 1024;
  struct Pair {
    std::unique_ptr<QTcpSocket> client;
    std::unique_ptr<QTcpSocket> upstream;
  };

  void Accept() {
    QTcpSocket* client = listener_.nextPendingConnection();
    if (client == nullptr) return;
    client->setParent(nullptr);
    auto upstream = std::make_unique<QTcpSocket>();
    upstream->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(server_port_));
    pairs_.push_back({std::unique_ptr<QTcpSocket>(client), std::move(upstream)});
  }

  void Pump() {
    for (Pair& pair : pairs_) {
      if (pair.upstream->state() != QAbstractSocket::ConnectedState) continue;
      if (pair.client->bytesAvailable() > 0) pair.upstream->write(pair.client->read(kBytesPerTick));
      if (pair.upstream->bytesAvailable() > 0)
        pair.client->write(pair.upstream->read(kBytesPerTick));
      if (pair.client->state() == QAbstractSocket::UnconnectedState) pair.upstream->abort();
    }
  }

  int server_port_;
  QTcpServer listener_;
  QTimer tick_;
  std::vector<Pair> pairs_;
};

class Tour {
 public:
  Tour(fs::path output, std::string suffix)
      : output_(std::move(output)), suffix_(std::move(suffix)) {
    char pattern[] = "/tmp/vaultline-tour-XXXXXX";
    scratch_ = ::mkdtemp(pattern);
    fs::create_directories(scratch_ / "data");
    fs::create_directories(scratch_ / "hive");
    fs::create_directories(scratch_ / "local");
    ::setenv("QUARRYTAB_HIVE_DIR", (scratch_ / "hive").c_str(), 1);
    net::SetEventLoop(&loop_);
    context_.SetDataRoot(scratch_ / "data");
    std::string error;
    if (!server::SeedDemo(scratch_ / "data", context_.config, error))
      throw std::runtime_error(error);
    // A few more rows, so the list shows its icons and sizes.
    Write("Τιμολόγιο 0042.pdf", 184'320);
    Write("Πελάτες.xlsx", 52'736);
    Write("Παρουσίαση.pptx", 2'412'544);
    Write("logo.png", 18'944);
    Write("Αρχείο εγκατάστασης.zip", 24'117'248);
    Write("Εβδομαδιαία αναφορά πωλήσεων και αποθεμάτων.docx", 29'184);
    server::ServerOptions options;
    options.port = 0;
    options.http_port = 0;
    server_ = std::make_unique<server::Server>(loop_, context_, options);
    server_->Start();
    relay_ = std::make_unique<SlowRelay>(server_->Port());
    app::AppSetting store;
    store.SetAppSettingTitle(app::kSettingsTitle);
    store.SaveAppSettingString("", "PFServer", "127.0.0.1");
    store.SaveAppSettingNumber("", "PFPort", relay_->Port());
  }

  ~Tour() {
    window_.reset();
    server_.reset();
    net::SetEventLoop(nullptr);
    std::error_code ec;
    fs::remove_all(scratch_, ec);
  }

  void Run() {
    Open();
    window_->findChild<QLineEdit*>("txtID")->setText("demo");
    Snap("01-disconnected");

    LogIn();
    Select("Έγγραφα");
    Snap("02-personal-folder");

    Select("Εγχειρίδια");
    QTest::keyClick(List(), Qt::Key_Return);
    Idle();
    Select("Οδηγός χρήσης.txt");
    Snap("03-linked-folder");
    QTest::keyClick(List(), Qt::Key_Backspace);
    Idle();

    window_->Session().lnkDF_Click();
    Idle();
    Select("Τιμοκατάλογος 2024.txt");
    Snap("04-dealers-folder");
    window_->Session().lnkDF_Click();
    Idle();

    // The name dialog with the balloon of a refused name.
    WhenModal([this](QWidget* dialog) {
      auto* box = dialog->findChild<QLineEdit*>("txtName");
      box->setText("Προσφορές: 2025");
      dialog->findChild<QPushButton*>("cmdOK")->click();
      Snap("05-name-dialog-balloon");
      qobject_cast<QDialog*>(dialog)->reject();
    });
    Click("dcbNewFolder");
    Idle();

    // Replace / Continue: an upload of a name that is there already.
    const fs::path local = scratch_ / "local" / "Πελάτες.xlsx";
    std::ofstream(local, std::ios::binary) << std::string(20'000, 'x');
    window_->SetFileDialogHook(
        [local](const session::FileDialogRequest&, bool) { return std::optional(local.string()); });
    Click("dcbBrowse");
    WhenModal([this](QWidget* dialog) {
      Snap("06-file-exists");
      qobject_cast<QDialog*>(dialog)->reject();
    });
    Click("dcbUpload");
    Idle();

    // A download through the slow relay, photographed on its way.
    const fs::path big = scratch_ / "data" / "users" / "demo" / "Αρχείο εγκατάστασης.zip";
    const fs::path target = scratch_ / "local" / "Αρχείο εγκατάστασης.zip";
    window_->SetFileDialogHook([target](const session::FileDialogRequest&, bool) {
      return std::optional(target.string());
    });
    Select(big.filename().string());
    Click("dcbDownload");
    Wait([this] { return window_->Progress() != nullptr; }, 5000);
    QTest::qWait(1500);
    Snap("07-progress");
    Wait([this] { return window_->Progress() == nullptr; }, 60000);
    Idle();

    // The proxy dialog.
    WhenModal([this](QWidget* dialog) {
      Snap("08-proxy-dialog");
      qobject_cast<QDialog*>(dialog)->reject();
    });
    window_->Session().dcbConnect_Click();  // disconnect: the proxy button is for the idle window
    Idle();
    Click("dcbProxy");

    // Over the quota: the red bar; with no clean-up notice, the warning below it.
    context_.config.users.front().quota = 20 * 1024 * 1024;
    context_.config.cleanup_days = 0;
    window_->Session().dcbConnect_Click();
    Wait([this] { return window_->Session().LoggedIn(); }, 10000);
    Idle();
    Snap("09-over-quota");

    // A tooltip on a button.
    auto* refresh = window_->findChild<QPushButton*>("dcbRefresh");
    QToolTip::showText(refresh->mapToGlobal(QPoint(refresh->width() / 2, refresh->height())),
                       refresh->toolTip(), refresh);
    Snap("10-tooltip");
    QToolTip::hideText();
    window_->Shutdown();
  }

 private:
  void Write(const std::string& name, std::size_t size) {
    std::ofstream out(scratch_ / "data" / "users" / "demo" / fs::path(name), std::ios::binary);
    out << std::string(size, '\x5a');
  }

  void Open() {
    gui::MainWindowOptions options;
    options.logging = false;
    options.parameters_host = "127.0.0.1";
    options.parameters_port = server_->HttpPort();
    options.version_text = "0.01.0";
    options.help_url = "http://127.0.0.1:1/manual.pdf";
    window_ = std::make_unique<gui::MainWindow>(loop_, options);
    window_->move(40, 40);
    window_->show();
    Wait([this] { return window_->isVisible(); }, 5000);
    QTest::qWait(300);
  }

  void LogIn() {
    window_->findChild<QLineEdit*>("txtPassword")->setText("demo");
    Click("dcbConnect");
    Wait([this] { return window_->Session().LoggedIn(); }, 10000);
    Idle();
  }

  void Idle() {
    Wait([this] { return window_->Session().View().window_enabled; }, 10000);
    QTest::qWait(100);
  }

  /// Runs the loop until `done` holds; a state that never comes is counted.
  void Wait(const std::function<bool()>& done, int bound_ms) {
    if (QTest::qWaitFor(done, bound_ms)) return;
    std::fprintf(stderr, "screenshot_tour: a state did not come\n");
    ++failures_;
  }

  QTableView* List() const { return window_->findChild<QTableView*>("lvFiles"); }

  void Select(const std::string& name) {
    const auto& rows = window_->Session().View().rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].name != name) continue;
      const QModelIndex index = List()->model()->index(static_cast<int>(i), 0);
      List()->scrollTo(index);
      QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier,
                        List()->visualRect(index).center());
      List()->setFocus();
      return;
    }
    std::fprintf(stderr, "screenshot_tour: no row %s\n", name.c_str());
  }

  void Click(const char* name) { window_->findChild<QPushButton*>(name)->click(); }

  /// Runs `act` on the next application-modal window as soon as it shows.
  void WhenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act)] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || !modal->isVisible()) return;
      timer->stop();
      timer->deleteLater();
      QTest::qWait(300);
      act(modal);
    });
    timer->start();
  }

  /// The X screen cropped to every visible top-level window of the program,
  /// with a margin.
  void Snap(const std::string& name) {
    QTest::qWait(400);
    QRect area;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->isVisible()) area |= top->frameGeometry();
    }
    const qreal ratio = QGuiApplication::primaryScreen()->devicePixelRatio();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    area = area.adjusted(-10, -10, 10, 10).intersected(screen);
    const QString crop = QStringLiteral("%1x%2+%3+%4")
                             .arg(qRound(area.width() * ratio))
                             .arg(qRound(area.height() * ratio))
                             .arg(qRound(area.x() * ratio))
                             .arg(qRound(area.y() * ratio));
    const QString file = QString::fromStdString((output_ / (name + suffix_ + ".png")).string());
    const int code =
        QProcess::execute("import", {"-window", "root", "-crop", crop, "+repage", file});
    std::printf("%s %s\n", code == 0 ? "wrote" : "FAILED", file.toLocal8Bit().constData());
    failures_ += code == 0 ? 0 : 1;
  }

 public:
  int failures_ = 0;

 private:
  fs::path output_;
  std::string suffix_;
  fs::path scratch_;
  ui::QtEventLoop loop_;
  server::ServerContext context_;
  std::unique_ptr<server::Server> server_;
  std::unique_ptr<SlowRelay> relay_;
  std::unique_ptr<gui::MainWindow> window_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: screenshot_tour OUTPUT_DIR SUFFIX\n");
    return 2;
  }
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Vaultline"));
  QApplication::setQuitOnLastWindowClosed(false);
  ui::InstallGreekTranslation(app);
  ui::EnsureIconTheme();
  Tour tour(argv[1], argv[2]);
  tour.Run();
  return tour.failures_ == 0 ? 0 : 1;
}
