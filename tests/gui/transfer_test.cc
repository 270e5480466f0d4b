// Downloads and uploads through the window: the file chooser answered by the
// test, the progress window in place of the main window, Replace / Continue
// through the real dialog, and every byte where it belongs.
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <fstream>
#include <sstream>

#include "gui/file_exists_dialog.h"
#include "gui/progress_window.h"
#include "gui_fixture.h"

namespace gui_test {
namespace {

namespace fs = std::filesystem;

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  std::uint32_t x = 2463534242u;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

void Write(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

class TransferTest : public GuiTest {
 protected:
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
  bool Finished() const {
    return window_->Session().View().window_enabled && !window_->Session().TransferActive() &&
           window_->Progress() == nullptr && window_->isVisible();
  }

  bool progress_seen_ = false;
  bool main_visible_with_progress_ = false;
};

TEST_F(TransferTest, DownloadsAFileThroughTheWindow) {
  const std::string bytes = Pattern(24 * 1024 * 1024 + 7);
  Write(Personal() / "μεγάλο.bin", bytes);
  OpenWindow();
  LogIn();
  const fs::path target = local_.Path() / "μεγάλο.bin";
  std::vector<session::FileDialogRequest> asked;
  window_->SetFileDialogHook([&](const session::FileDialogRequest& request, bool save) {
    EXPECT_TRUE(save);
    asked.push_back(request);
    return std::optional<std::string>(target.string());
  });
  ClickRow(RowNamed("μεγάλο.bin"));
  WatchProgress();
  Find<QPushButton>("dcbDownload")->click();
  ASSERT_TRUE(Until([this] { return Finished(); }, 60000));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].initial_name, "μεγάλο.bin");
  EXPECT_FALSE(asked[0].confirm_overwrite);
  EXPECT_TRUE(progress_seen_);
  EXPECT_FALSE(main_visible_with_progress_);
  EXPECT_EQ(Read(target), bytes);
}

TEST_F(TransferTest, ContinueInTheExistsDialogResumesAPartialDownload) {
  const std::string bytes = Pattern(3 * 1024 * 1024);
  Write(Personal() / "resume.bin", bytes);
  const fs::path target = local_.Path() / "resume.bin";
  Write(target, std::string_view(bytes).substr(0, 1234567));
  OpenWindow();
  LogIn();
  window_->SetFileDialogHook([&](const session::FileDialogRequest&, bool) {
    return std::optional<std::string>(target.string());
  });
  bool continue_offered = false;
  auto* timer = new QTimer(window_.get());
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [&, timer] {
    auto* dialog = qobject_cast<gui::FileExistsDialog*>(window_->OpenDialog());
    if (!dialog || !dialog->isVisible()) return;
    timer->stop();
    continue_offered = dialog->ContinueButton()->isEnabled();
    dialog->ContinueButton()->click();
  });
  timer->start();
  ClickRow(RowNamed("resume.bin"));
  Find<QPushButton>("dcbDownload")->click();
  ASSERT_TRUE(Until([this] { return Finished(); }, 60000));
  EXPECT_TRUE(continue_offered);
  EXPECT_EQ(Read(target), bytes);
}

TEST_F(TransferTest, UploadsAFileAndTheNewRowAppears) {
  const std::string bytes = Pattern(5 * 1024 * 1024 + 3);
  const fs::path source = local_.Path() / "Αναφορά Μαρτίου.pdf";
  Write(source, bytes);
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
  ASSERT_TRUE(Until([this] { return Finished() && RowNamed("Αναφορά Μαρτίου.pdf") != -1; }, 60000));
  EXPECT_TRUE(progress_seen_);
  EXPECT_EQ(Read(Personal() / "Αναφορά Μαρτίου.pdf"), bytes);
  // The upload box is emptied once the progress window has gone.
  EXPECT_TRUE(Find<QLineEdit>("txtUpload")->text().isEmpty());
}

TEST_F(TransferTest, CancelInTheProgressWindowStopsTheDownloadAndKeepsTheWindowUsable) {
  const std::string bytes = Pattern(64 * 1024 * 1024);
  Write(Personal() / "cancel.bin", bytes);
  OpenWindow();
  LogIn();
  const fs::path target = local_.Path() / "cancel.bin";
  window_->SetFileDialogHook([&](const session::FileDialogRequest&, bool) {
    return std::optional<std::string>(target.string());
  });
  ClickRow(RowNamed("cancel.bin"));
  Find<QPushButton>("dcbDownload")->click();
  ASSERT_TRUE(Until([this] { return window_->Progress() != nullptr; }));
  window_->Progress()->CancelButton()->click();
  ASSERT_TRUE(Until([this] { return Finished(); }, 60000));
  // What arrived is kept for a later resume and is a true prefix.
  const std::string partial = Read(target);
  EXPECT_LE(partial.size(), bytes.size());
  EXPECT_EQ(partial, bytes.substr(0, partial.size()));
  // A cancelled download closes the connection; the session logs in again.
  EXPECT_TRUE(Until([this] { return window_->Session().LoggedIn(); }));
}

}  // namespace
}  // namespace gui_test
