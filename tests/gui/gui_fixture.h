#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_setting.h"
#include "common/process.h"
#include "gui/main_window.h"
#include "server/server.h"
#include "server/server_context.h"
#include "ui/centered_message.h"
#include "ui/qt_event_loop.h"

class QDialog;
class QTableView;

namespace gui_test {

using test_common::TempDir;

/// The one application object of the test binary.
QApplication& App();

/// The program's settings in the hive QUARRYTAB_HIVE_DIR names now.
app::AppSetting Settings();

/// Waits, running the Qt loop, until `done` holds; false when it did not
/// within a generous bound (the wait ends as soon as it holds).
bool Until(const std::function<bool()>& done, int bound_ms = 10000);

/// Runs `act` on the window's modal dialog as soon as it is open.
void WhenDialog(gui::MainWindow* window, std::function<void(QDialog*)> act);

/// The main window on the Qt loop against the reference server with its demo
/// account, settings in a scratch hive. Message boxes are answered by the
/// fixture and recorded.
class GuiTest : public ::testing::Test {
 protected:
  GuiTest() { App(); }

  void SetUp() override;
  void TearDown() override;

  /// Makes the main window (once per test; again after `CloseWindow`).
  void OpenWindow();
  /// Unloads the window through its close box path.
  void CloseWindow();
  /// Types demo/demo (or the given login), presses Connect, waits for the list.
  void LogIn(const std::string& id = "demo", const std::string& password = "demo");
  /// Waits until the session is logged in, the window takes input and the list has rows.
  bool WaitListed();
  /// Waits until the window takes input again.
  bool WaitIdle();
  /// Expects every control of a window that is idle and not connected; the
  /// log-in boxes stay locked after a handed-over log-in.
  void ExpectIdleDisconnected(bool login_locked = false);

  template <typename T>
  T* Find(const char* name) const {
    T* found = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QTableView* List() const;
  /// The list row showing `name`, or -1.
  int RowNamed(const std::string& name) const;
  std::vector<std::string> RowNames() const;
  /// Selects a row as a left press on it does; a double click after it when asked.
  void ClickRow(int row, bool twice = false);
  void KeyOnList(Qt::Key key);

  std::filesystem::path Personal() const { return data_.Path() / "users" / "demo"; }

  struct Shown {
    QString text;
    QString title;
    ui::MessageButtons buttons;
  };
  std::vector<Shown> messages_;
  /// The hand-over record `OpenWindow` reads; none when empty.
  std::string handover_record_;
  /// Answers of the next message boxes; OK / No / Cancel when empty.
  std::vector<ui::MessageAnswer> answers_;

  TempDir data_;
  TempDir hive_;
  TempDir local_;
  std::unique_ptr<ui::QtEventLoop> loop_;
  server::ServerContext context_;
  std::unique_ptr<server::Server> server_;
  std::unique_ptr<gui::MainWindow> window_;
};

}  // namespace gui_test
