// The main window's load and unload steps, in the order the program has always
// taken them: log, settings, texts, remembered login, looks, size, and last the
// sockets through the folder session; at unload the reverse.
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTimer>
#include <QUrl>

#include "app/app_setting.h"
#include "app/crash_report.h"
#include "app/handover_record.h"
#include "app/log_file.h"
#include "app/logger.h"
#include "gui/art_images.h"
#include "gui/file_list_model.h"
#include "gui/file_list_view.h"
#include "gui/locale_hooks.h"
#include "gui/main_window.h"
#include "gui/progress_window.h"
#include "net/dispatch.h"
#include "session/app_services.h"
#include "session/window_texts.h"
#include "ui/centered_message.h"
#include "ui/completion_sound.h"
#include "ui/dc_button.h"
#include "ui/file_type_icons.h"
#include "ui/logo_strip.h"
#include "ui/taskbar_progress.h"

namespace gui {
namespace {

constexpr const char* kLoad = "frmPF_Load";
constexpr const char* kUnload = "frmPF_Unload";
/// The company of the version information, as it is written there (with the
/// space before the legal form); the logo strip shows it in capitals.
constexpr const char* kCompanyName = "Norvane ";

}  // namespace

MainWindow::MainWindow(net::EventLoop& loop, MainWindowOptions options)
    : loop_(loop), options_(std::move(options)) {
  setAcceptDrops(true);
  Load();
}

MainWindow::~MainWindow() {
  if (!unloaded_) Unload();
  qApp->removeEventFilter(this);
  if (progress_window_) delete progress_window_.data();
}

void MainWindow::Load() {
  // 1. Window icon and caption.
  setWindowIcon(ArtIcon("app"));
  setWindowTitle(QString::fromUtf8(session::texts::kWindowCaption));

  // 2-3. The system facts are collected on first use; the log unless "/nolog".
  facts_ = std::make_unique<session::SystemComputerFacts>();
  if (options_.logging) {
    logger_ =
        std::make_unique<app::Logger>(app::OpenProgramLog(options_.program_dir, app::LocalNow()));
  } else {
    logger_ = std::make_unique<app::Logger>();
  }
  // The last-chance report goes to this log too (nothing when logging is off).
  app::SetCrashLogPath(logger_->Log() ? logger_->Log()->CurrentFile() : std::string());
  logger_->SetErrorBox([this](const std::string& text) {
    ShowMessage(text, session::MessageIcon::kCritical, session::MessageButtons::kOk, {});
  });
  // 4.
  logger_->WriteLog(std::string(session::texts::kLoadLogLine) + options_.version_text);

  // 5. The settings store.
  store_ = options_.settings_store ? std::make_unique<app::AppSetting>(options_.settings_store)
                                   : std::make_unique<app::AppSetting>();
  store_->SetAppSettingTitle(app::kSettingsTitle);

  // 6. Texts and tooltips.
  CreateControls();
  LayoutControls();

  // 7-11. Every setting in its order. The hand-over record (8) is taken
  // first: reading the settings does not touch it, and with credentials in it
  // the remembered login (9) is not read at all. A record with a blank ID is
  // left as it is and changes nothing.
  std::optional<app::HandoverCredentials> handed_over;
  if (!options_.handover_record.empty()) {
    handed_over = app::TakeHandover(/*global=*/false, options_.handover_record);
  }
  auto_connect_ = handed_over.has_value();
  settings_ = app::LoadSettings(*store_, auto_connect_);
  logger_->SetDebugLevel(settings_.debug);
  const bool remembered =
      !auto_connect_ && !settings_.user_id.empty() && settings_.password.has_value();
  chkSaveLogin_->setChecked(remembered);

  // 12. The flat button look.
  ApplyButtonStyle(settings_.button_style);

  // 13-14. Images and list styles.
  logger_->WriteLog("ExtractIconEx()", kLoad, 2);
  lblVersion_->setText("v" + QString::fromStdString(options_.version_text));
  logger_->WriteLog("SetListViewV5Styles()", kLoad, 2);

  // 15. The logo strip.
  logo_text_ = " " + QString::fromUtf8(kCompanyName).toUpper().toStdString() + "Α.Ε.";
  picLogo_->setText(QString::fromStdString(logo_text_));

  // 16-18. Size, pictures, minimum size.
  resize(settings_.width, settings_.height);
  setMinimumSize(app::kMinWindowWidth, app::kMinWindowHeight);
  taskbar_ = std::make_unique<ui::TaskbarProgress>(QStringLiteral("vaultline"));
  sound_ = std::make_unique<ui::CompletionSound>();
  picPFSize_->setPixmap(ArtPixmap("sizepie", 16, devicePixelRatioF()));
  for (auto [button, key] :
       {std::pair{dcbProxy_, "proxy"}, std::pair{dcbUp_, "up"}, std::pair{dcbRefresh_, "refresh"},
        std::pair{dcbNewFolder_, "newfolder"}, std::pair{dcbRename_, "rename"},
        std::pair{dcbDelete_, "delete"}, std::pair{dcbDownload_, "download"},
        std::pair{dcbUpload_, "upload"}}) {
    SetButtonImage(button, key);
  }
  ApplyLocaleHooks();

  // 19. The sockets, through the folder session.
  session::SessionConfig config;
  config.parameters_host = options_.parameters_host;
  config.parameters_port = options_.parameters_port;
  config.server_name = settings_.pf_server;
  config.server_port = settings_.pf_port;
  config.proxy_type = settings_.proxy.type;
  config.proxy_server = settings_.proxy.server;
  config.proxy_port = settings_.proxy.port;
  config.chunk_size = settings_.chunk_size;
  config.progress_refresh_rate = settings_.progress_refresh_rate;
  config.client_version = options_.version_text;
  config.auto_connect = auto_connect_;
  // A socket error its handler chose to show appears as a centred box.
  net::SetErrorDisplayHook([this](const std::string& text, const std::string& title) {
    ShowMessage(text, session::MessageIcon::kCritical, session::MessageButtons::kOk, title);
  });
  session_log_ = std::make_unique<session::LoggerSessionLog>(*logger_);
  session_ = std::make_unique<session::FolderSession>(loop_, *this, *session_log_, *facts_,
                                                      std::move(config));

  model_ = new FileListModel(
      session_->View().rows,
      [](const std::string& key) { return ui::FileTypeIcons::IconForKey(key); }, this);
  lvFiles_->setModel(model_);
  session_->SetRowsObserver(model_);
  lvFiles_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  // The size and date columns fit their longest usual texts; the name column
  // takes the rest.
  const QFontMetrics metrics = lvFiles_->fontMetrics();
  lvFiles_->setColumnWidth(FileListModel::kSize, metrics.horizontalAdvance("9999.9 MB") + 24);
  lvFiles_->setColumnWidth(FileListModel::kModified,
                           metrics.horizontalAdvance("28/12/2026 23:59") + 24);
  connect(lvFiles_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) {
            // Keyboard navigation; a press already told the session itself.
            if (rendering_ || !session_ || QApplication::mouseButtons() != Qt::NoButton) return;
            session_->lvFiles_SelectRow(current.isValid() ? current.row() : -1);
          });
  ConnectControls();

  // 9-10. The handed-over login, or the remembered one.
  if (auto_connect_) {
    session_->SetIdText(handed_over->user_id);
    session_->SetPasswordText(handed_over->password);
    tmrAdminAutoConnect_ = new QTimer(this);
    tmrAdminAutoConnect_->setObjectName("tmrAdminAutoConnect");
    tmrAdminAutoConnect_->setSingleShot(true);
    tmrAdminAutoConnect_->setInterval(1);
    connect(tmrAdminAutoConnect_, &QTimer::timeout, this, [this] {
      if (session_ && !unloaded_) session_->dcbConnect_Click();
    });
    tmrAdminAutoConnect_->start();
  } else {
    if (!settings_.user_id.empty()) session_->SetIdText(settings_.user_id);
    if (remembered) session_->SetPasswordText(*settings_.password);
  }

  session_->SetViewObserver([this] { Render(); });
  Render();
}

void MainWindow::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  logger_->WriteLog(session::texts::kUnloadLogLine);
  if (progress_window_) {
    progress_window_->hide();
    progress_window_->deleteLater();
    progress_window_ = nullptr;
  }
  // Both sockets go with the session.
  session::MainViewState last = session_ ? session_->View() : session::MainViewState{};
  session_->SetViewObserver(nullptr);
  session_->SetRowsObserver(nullptr);
  lvFiles_->setModel(nullptr);
  session_.reset();
  net::SetErrorDisplayHook(nullptr);
  if (override_cursor_) {
    QApplication::restoreOverrideCursor();
    override_cursor_ = false;
  }

  logger_->WriteLog("Saving settings", kUnload, 2);
  app::ExitSettings exit;
  exit.window_normal = !isMinimized() && !isMaximized() && !isFullScreen();
  exit.width = width();
  exit.height = height();
  exit.credentials_handed_over = auto_connect_;
  exit.save_login = chkSaveLogin_->isChecked();
  exit.user_id = last.txtID.text;
  exit.password = last.txtPassword.text;
  try {
    app::SaveSettingsAtExit(*store_, exit);
  } catch (const support::Error& e) {
    logger_->WriteLog("[" + e.Source() + "] Σφάλμα: " + e.Description());
  }

  logger_->WriteLog("Destroy TaskbarList3 Class", kUnload, 2);
  taskbar_.reset();
  logger_->WriteLog("Destroy Logo Class", kUnload, 2);
  logger_->WriteLog("Destroy AppSetting Class", kUnload, 2);
  store_.reset();
  logger_->WriteLog("Destroy SystemImageList Class", kUnload, 2);
  logger_->WriteLog("Form_Unload finished", kUnload, 2);
  sound_.reset();
  session_log_.reset();
  app::SetCrashLogPath(std::string());  // the log is closed: a later crash is not logged
  logger_->Close();
}

void MainWindow::lnkHelp_Click() {
  logger_->WriteLog(std::string(session::texts::kLnkHelpCaption) + " - " + options_.help_url);
  OpenUrl(options_.help_url);
}

}  // namespace gui
