// Vaultline_N1: the desktop program. Start-up makes the application and the
// one event loop shared by the toolkit and the session core, makes sure only
// one copy runs per user session (a later start brings the running one
// forward and ends), and then shows the main window, which does the rest.
//
// The command line reaches the program as argv: the shell has already removed
// the quotes a user typed, so `Vaultline_N1 "/nolog"` arrives as /nolog. An
// argument that still holds quote characters (`'"/nolog"'` in a shell, or a
// desktop file's Exec line with escaped quotes) keeps them and does not count
// as the option.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <memory>
#include <string>

#include "app/app_instance.h"
#include "app/command_line_parameters.h"
#include "app/crash_report.h"
#include "app/handover_record.h"
#include "gui/main_window.h"
#include "net/dispatch.h"
#include "support/error.h"
#include "ui/file_type_icons.h"
#include "ui/qt_event_loop.h"
#include "ui/translations.h"

#ifndef VAULTLINE_APP_TITLE
#define VAULTLINE_APP_TITLE "Vaultline"
#endif
#ifndef VAULTLINE_VERSION_TEXT
#define VAULTLINE_VERSION_TEXT "0.01.0"
#endif

namespace {

/// SIGTERM and SIGINT reach the loop through a pipe, so the window unloads
/// (settings saved, closing logged) as it does when the user closes it.
int g_signal_pipe[2] = {-1, -1};

void OnTerminate(int) {
  const char byte = 1;
  // Nothing else is safe in a signal handler; a full pipe already holds a wake-up.
  [[maybe_unused]] const ssize_t written = ::write(g_signal_pipe[1], &byte, 1);
}

std::string HelpUrl() {
  return std::string("http://") + VAULTLINE_PARAMETERS_HOST + "/webftp/manual.pdf";
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral(VAULTLINE_APP_TITLE));
  QCoreApplication::setApplicationVersion(QStringLiteral(VAULTLINE_VERSION_TEXT));
  // The progress window outlives the hidden main window; closing it must
  // never end the program. The main window's unload ends it.
  QApplication::setQuitOnLastWindowClosed(false);
  ui::InstallGreekTranslation(app);
  ui::EnsureIconTheme();

  const app::CommandLineParameters params =
      app::CommandLineParameters::FromArgv(argc, const_cast<const char* const*>(argv));

  ui::QtEventLoop loop;
  net::SetEventLoop(&loop);

  // Processes on this system never run code from data memory, and nothing of
  // the program generates any: there is no execution policy to switch off.
  //
  // One copy per user session. The lock cannot be confused with this
  // process's own window, so the title needs no change during the check.
  gui::MainWindow* shown_window = nullptr;
  auto listener = std::make_unique<app::AppInstanceListener>(
      loop, [&shown_window](const std::string& activation_token) {
        if (shown_window != nullptr) shown_window->BringToFront(activation_token);
      });
  // SIGTERM and SIGINT from here on wait in the pipe until the loop runs,
  // and then end the program through the window's unload step.
  if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&shown_window] {
      char buffer[16];
      while (::read(g_signal_pipe[0], buffer, sizeof buffer) > 0) {
      }
      if (shown_window != nullptr) shown_window->Shutdown();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
  }
  try {
    if (listener->CheckAlreadyRunning(VAULTLINE_APP_TITLE)) return 0;
  } catch (const support::Error&) {
    // Without a usable runtime folder the program still runs; a second copy
    // is a smaller harm than none.
  }

  // The last-chance report of a crash: from here on, a fatal signal or an
  // escaping exception is logged and shown by vaultline-crash-report.
  app::InstallCrashReport();

  gui::MainWindowOptions options;
  options.logging = !params.ParamExists("/nolog");
  options.program_dir = QCoreApplication::applicationDirPath().toStdString();
  options.parameters_host = VAULTLINE_PARAMETERS_HOST;
  options.version_text = VAULTLINE_VERSION_TEXT;
  options.help_url = HelpUrl();
  options.handover_record = app::kHandoverRecordName;
  gui::MainWindow window(loop, options);
  shown_window = &window;

  std::signal(SIGPIPE, SIG_IGN);
  // The desktop's logout ends the program through the whole unload step.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                   [&window](QSessionManager&) { window.Shutdown(); });

  window.show();
  const int code = QApplication::exec();
  shown_window = nullptr;
  // The lock is held until the window has unloaded.
  listener.reset();
  return code;
}
