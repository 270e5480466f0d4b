// Credentials handed over by another program through the shared record: the
// window logs in with them by itself and keeps the user's remembered login.
#include <unistd.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include <string>

#include "app/handover_record.h"
#include "app/settings.h"
#include "app/shared_memory.h"
#include "gui_fixture.h"

namespace gui_test {
namespace {

class HandoverTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    handover_record_ = "vaultline-gui-handover-" + std::to_string(::getpid()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // A remembered login that the hand-over must neither use nor touch.
    auto store = Settings();
    app::SaveSettingsAtExit(store, {.save_login = true, .user_id = "olduser", .password = "oldpw"});
  }

  /// Leaves a record as the other program does (kept until the test ends).
  void LeaveRecord(const std::string& id, const std::string& password) {
    ASSERT_TRUE(record_.Create(handover_record_, app::kHandoverRecordSize, false));
    const std::string bytes = app::EncodeHandoverRecord(id, password);
    record_.SetData(bytes.data(), bytes.size(), 0);
  }

  std::string RecordBytes() const {
    std::string bytes(app::kHandoverRecordSize, '\0');
    record_.GetData(bytes.data(), bytes.size(), 0);
    return bytes;
  }

  app::SharedMemory record_;
};

TEST_F(HandoverTest, HandedOverLoginConnectsByItselfWithLockedBoxesAndIsNeverStored) {
  LeaveRecord("demo", "demo");
  OpenWindow();
  // Taken at load: the record holds spaces only, so it cannot be used twice.
  EXPECT_EQ(RecordBytes(), app::BlankHandoverRecord());
  auto* id = Find<QLineEdit>("txtID");
  auto* password = Find<QLineEdit>("txtPassword");
  EXPECT_EQ(id->text(), QStringLiteral("demo"));
  EXPECT_EQ(password->text(), QStringLiteral("demo"));
  for (QLineEdit* box : {id, password}) {
    EXPECT_TRUE(box->isReadOnly()) << box->objectName().toStdString();
    EXPECT_EQ(box->palette().color(QPalette::Base), box->palette().color(QPalette::Button))
        << box->objectName().toStdString();
  }
  auto* save_login = Find<QCheckBox>("chkSaveLogin");
  EXPECT_FALSE(save_login->isEnabled());
  EXPECT_FALSE(save_login->isChecked());

  // Nobody presses Connect.
  ASSERT_TRUE(WaitListed()) << "the handed-over login did not connect";
  // The boxes stay locked while connected and after a disconnect.
  Find<QPushButton>("dcbConnect")->click();
  ASSERT_TRUE(Until([this] { return !window_->Session().LoggedIn(); }));
  ExpectIdleDisconnected(true);
  CloseWindow();
  auto store = Settings();
  const app::Settings after = app::LoadSettings(store, false);
  EXPECT_EQ(after.user_id, "olduser");
  EXPECT_EQ(after.password, std::optional<std::string>("oldpw"));
}

TEST_F(HandoverTest, BlankUserIdLeavesTheRecordAndTheRememberedLoginInForce) {
  LeaveRecord("", "secret");
  const std::string before = RecordBytes();
  OpenWindow();
  EXPECT_EQ(RecordBytes(), before);
  EXPECT_EQ(Find<QLineEdit>("txtID")->text(), QStringLiteral("olduser"));
  EXPECT_EQ(Find<QLineEdit>("txtPassword")->text(), QStringLiteral("oldpw"));
  EXPECT_TRUE(Find<QCheckBox>("chkSaveLogin")->isEnabled());
  EXPECT_TRUE(Find<QCheckBox>("chkSaveLogin")->isChecked());
  QTest::qWait(20);
  ExpectIdleDisconnected();  // nothing started by itself
}

}  // namespace
}  // namespace gui_test
