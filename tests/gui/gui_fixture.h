#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/main_window.h"
#include "server/server.h"
#include "server/server_context.h"
#include "ui/centered_message.h"
#include "ui/qt_event_loop.h"

class QLineEdit;
class QTreeView;

namespace gui_test {

/// The one application object of the test binary.
QApplication& App();

/// A fresh temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// Waits, running the Qt loop, until `done` holds; false when it did not
/// within a generous bound (the wait ends as soon as it holds).
bool Until(const std::function<bool()>& done, int bound_ms = 10000);

/// A loopback relay in front of the folder server whose client-to-server
/// direction can be held: while held, requests reach the relay and stop there,
/// as with a server that has stopped answering but not closed.
class HoldingRelay {
 public:
  explicit HoldingRelay(int server_port);
  ~HoldingRelay();
  HoldingRelay(const HoldingRelay&) = delete;
  HoldingRelay& operator=(const HoldingRelay&) = delete;
  int Port() const;
  void Hold() { held_ = true; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool held_ = false;
};

/// The main window on the Qt loop against the reference server with its demo
/// account, settings in a scratch hive. Message boxes are answered by the
/// fixture and recorded.
class GuiTest : public ::testing::Test {
 protected:
  GuiTest();
  ~GuiTest() override;

  void SetUp() override;
  void TearDown() override;

  /// Makes the main window (once per test; again after `CloseWindow`).
  void OpenWindow();
  /// Unloads the window through its close box path.
  void CloseWindow();
  /// Types demo/demo (or the given login), presses Connect, waits for the list.
  void LogIn(const std::string& id = "demo", const std::string& password = "demo");
  /// Waits until the window takes input again.
  bool WaitIdle();

  template <typename T>
  T* Find(const char* name) const {
    T* found = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QTreeView* List() const;
  /// The list row showing `name`, or -1.
  int RowNamed(const std::string& name) const;
  std::vector<std::string> RowNames() const;
  /// Selects a row as a left press on it does.
  void ClickRow(int row);
  void DoubleClickRow(int row);
  void KeyOnList(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

  std::filesystem::path Personal() const { return data_.Path() / "users" / "demo"; }
  std::filesystem::path HiveDir() const { return hive_.Path(); }

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
  std::vector<std::string> server_log_;
  std::unique_ptr<gui::MainWindow> window_;
};

}  // namespace gui_test
