// Downloads and uploads through the window: the file chooser answered by the
// test, the progress window in place of the main window, Replace / Continue
// through the real dialog, and every byte where it belongs.
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "gui/file_exists_dialog.h"
#include "gui/progress_window.h"
#include "gui_fixture.h"

namespace gui_test {
namespace {

namespace fs = std::filesystem;

using test_common::RandomBytes;
using test_common::ReadFile;
using test_common::WriteFile;

class TransferTest : public GuiTest {
 protected:
  /// Puts `bytes` on the server as `name`, logs in, answers the file chooser
  /// with `name` in the local folder and selects the row; that local path.
  fs::path Serve(const std::string& name, const std::string& bytes) {
    WriteFile(Personal() / name, bytes);
    OpenWindow();
    LogIn();
    const std::string target = (local_.Path() / name).string();
    window_->SetFileDialogHook([target](const session::FileDialogRequest&, bool) {
      return std::optional<std::string>(target);
    });
    ClickRow(RowNamed(name));
    return target;
  }
  /// Watches the progress window while the test waits.
  void WatchProgress() {
    auto* timer = new QTimer(window_.get());
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [this] {
      if (window_->Progress() && window_->Progress()->isVisible()) {
        progress_seen_ = true;
        if (window_->isVisible()) main_visible_with_progress_ = true;
      }
    });
    timer->start();
  }
  bool Finished() {
    return Until(
        [this] {
          return window_->Session().View().window_enabled && !window_->Session().TransferActive() &&
                 window_->Progress() == nullptr && window_->isVisible();
        },
        60000);
  }

  bool progress_seen_ = false;
  bool main_visible_with_progress_ = false;
};

TEST_F(TransferTest, DownloadAsksForTheTargetAndContinueInTheExistsDialogResumes) {
  const std::string bytes = RandomBytes(24 * 1024 * 1024 + 7, 1);
  const fs::path target = Serve("μεγάλο.bin", bytes);
  WriteFile(target, bytes.substr(0, 1234567));
  std::vector<session::FileDialogRequest> asked;
  window_->SetFileDialogHook([&](const session::FileDialogRequest& request, bool save) {
    EXPECT_TRUE(save);
    asked.push_back(request);
    return std::optional<std::string>(target.string());
  });
  bool continue_offered = false;
  WhenDialog(window_.get(), [&](QDialog* dialog) {
    auto* exists = qobject_cast<gui::FileExistsDialog*>(dialog);
    ASSERT_NE(exists, nullptr);
    continue_offered = exists->ContinueButton()->isEnabled();
    exists->ContinueButton()->click();
  });
  WatchProgress();
  Find<QPushButton>("dcbDownload")->click();
  ASSERT_TRUE(Finished());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].initial_name, "μεγάλο.bin");
  EXPECT_FALSE(asked[0].confirm_overwrite);
  EXPECT_TRUE(continue_offered);
  EXPECT_TRUE(progress_seen_);
  EXPECT_FALSE(main_visible_with_progress_);
  EXPECT_EQ(ReadFile(target), bytes);
}

TEST_F(TransferTest, CancelInTheProgressWindowStopsTheDownloadAndKeepsTheWindowUsable) {
  const std::string bytes = RandomBytes(64 * 1024 * 1024, 4);
  const fs::path target = Serve("cancel.bin", bytes);
  Find<QPushButton>("dcbDownload")->click();
  ASSERT_TRUE(Until([this] { return window_->Progress() != nullptr; }));
  window_->Progress()->CancelButton()->click();
  ASSERT_TRUE(Finished());
  // What arrived is kept for a later resume and is a true prefix.
  const std::string partial = ReadFile(target);
  EXPECT_LE(partial.size(), bytes.size());
  EXPECT_EQ(partial, bytes.substr(0, partial.size()));
  // A cancelled download closes the connection; the session logs in again.
  EXPECT_TRUE(Until([this] { return window_->Session().LoggedIn(); }));
}

TEST_F(TransferTest, UploadsAFileAndTheNewRowAppears) {
  const std::string bytes = RandomBytes(5 * 1024 * 1024 + 3, 3);
  const fs::path source = local_.Path() / "Αναφορά Μαρτίου.pdf";
  WriteFile(source, bytes);
  OpenWindow();
  LogIn();
  window_->SetFileDialogHook([&](const session::FileDialogRequest& request, bool save) {
    EXPECT_FALSE(save);
    EXPECT_TRUE(request.must_exist);
    return std::optional<std::string>(source.string());
  });
  Find<QPushButton>("dcbBrowse")->click();
  ASSERT_EQ(Find<QLineEdit>("txtUpload")->text(), QString::fromStdString(source.string()));
  WatchProgress();
  Find<QPushButton>("dcbUpload")->click();
  ASSERT_TRUE(Finished());
  ASSERT_TRUE(Until([this] { return RowNamed("Αναφορά Μαρτίου.pdf") != -1; }));
  EXPECT_TRUE(progress_seen_);
  EXPECT_EQ(ReadFile(Personal() / "Αναφορά Μαρτίου.pdf"), bytes);
  // The upload box is emptied once the progress window has gone.
  EXPECT_TRUE(Find<QLineEdit>("txtUpload")->text().isEmpty());
}

}  // namespace
}  // namespace gui_test
