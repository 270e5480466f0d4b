// The dialogs on their own: the name dialog, Replace / Continue, the proxy
// dialog and the progress window.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "gui/file_exists_dialog.h"
#include "gui/name_dialog.h"
#include "gui/progress_window.h"
#include "gui/proxy_dialog.h"
#include "gui_fixture.h"
#include "ui/balloon_tip.h"

namespace gui_test {
namespace {

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() { App(); }
  void TearDown() override { ui::BalloonTip::HideBalloon(); }
};

std::optional<session::SessionUi::NameProblem> RefuseDots(const std::string& name) {
  if (name.find('.') != std::string::npos) return session::SessionUi::NameProblem{"t", "x"};
  return std::nullopt;
}

TEST_F(DialogTest, NameDialogTrimsRefusesAcceptsAndCancels) {
  gui::NameDialog dialog(nullptr, {"Νέος φάκελος", "Όνομα:", "αρχικό"}, RefuseDots);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Νέος φάκελος"));
  EXPECT_EQ(dialog.NameBox()->selectedText(), QString::fromUtf8("αρχικό"));
  EXPECT_EQ(dialog.OkButton()->text(), QStringLiteral("OK"));
  EXPECT_EQ(dialog.CancelButton()->text(), QString::fromUtf8("Άκυρο"));

  dialog.NameBox()->setText(QStringLiteral("   "));
  dialog.OkButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.NameBox()->text().isEmpty());
  EXPECT_EQ(ui::BalloonTip::Current(), nullptr);

  dialog.NameBox()->setText(QStringLiteral(" a.b "));
  dialog.OkButton()->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_NE(ui::BalloonTip::Current(), nullptr);
  EXPECT_EQ(dialog.NameBox()->text(), QStringLiteral("a.b"));
  EXPECT_FALSE(dialog.Result().has_value());

  dialog.NameBox()->setText(QString::fromUtf8("  Τιμές 2025 "));
  dialog.OkButton()->click();
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_TRUE(dialog.Result().has_value());
  EXPECT_EQ(*dialog.Result(), "Τιμές 2025");
  gui::NameDialog cancelled(nullptr, {"Μετονομασία", "Όνομα:", "παλιό"}, RefuseDots);
  cancelled.show();
  cancelled.CancelButton()->click();
  EXPECT_FALSE(cancelled.Result().has_value());
}

session::ExistsRequest Exists(bool allow_continue) {
  return {.caption = "Επιβεβαίωση",
          .text = "Το αρχείο υπάρχει ήδη.",
          .file_name = "/tmp/a.pdf",
          .icon_key = "I.pdf",
          .allow_continue = allow_continue,
          .replace_caption = "Αντικατάσταση",
          .continue_caption = "Συνέχιση",
          .cancel_caption = "Άκυρο"};
}

TEST_F(DialogTest, FileExistsAnswersEachButtonAndCloseAnswersCancel) {
  struct Case {
    const char* button;
    session::ExistsAnswer answer;
  };
  for (const Case c : {Case{"cmdResponse1", session::ExistsAnswer::kReplace},
                       Case{"cmdResponse2", session::ExistsAnswer::kContinue},
                       Case{"cmdResponse0", session::ExistsAnswer::kCancel}}) {
    gui::FileExistsDialog dialog(nullptr, Exists(true));
    dialog.show();
    dialog.findChild<QPushButton*>(c.button)->click();
    EXPECT_EQ(dialog.Answer(), c.answer) << c.button;
  }
  gui::FileExistsDialog closed(nullptr, Exists(true));
  closed.show();
  closed.close();
  EXPECT_EQ(closed.Answer(), session::ExistsAnswer::kCancel);
}

TEST_F(DialogTest, FileExistsShowsTheRequestAndOffersContinueOnlyWhenAllowed) {
  gui::FileExistsDialog dialog(nullptr, Exists(false));
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Επιβεβαίωση"));
  EXPECT_EQ(dialog.Message()->text(), QString::fromUtf8("Το αρχείο υπάρχει ήδη."));
  EXPECT_EQ(dialog.ReplaceButton()->text(), QString::fromUtf8("Αντικατάσταση"));
  EXPECT_FALSE(dialog.ContinueButton()->isEnabled());
  EXPECT_TRUE(dialog.CancelButton()->isDefault());
  ASSERT_FALSE(dialog.Icon()->pixmap().isNull());
  dialog.show();
  EXPECT_EQ(dialog.Icon()->geometry().topLeft(), QPoint(8, 8));
}

struct ProxyRun {
  app::ProxySettings start;
  int type;
  QString name;
  QString port;
  bool accepted;
  app::ProxySettings stored;
  const char* balloon_on;  ///< the box with the balloon, when refused
};

TEST_F(DialogTest, ProxyDialogOkRules) {
  const app::ProxySettings none{};
  const app::ProxySettings http{1, "proxy.lan", 3128};
  const ProxyRun runs[] = {
      {http, 0, "proxy.lan", "3128", true, {0, "", 0}, nullptr},
      {none, 1, "  cache.example  ", "8080", true, {1, "cache.example", 8080}, nullptr},
      {none, 1, "p", "65335", true, {1, "p", 65335}, nullptr},
      {none, 1, "p", "65336", false, {}, "txtPort"},
      {none, 1, "p", "0", false, {}, "txtPort"},
      {none, 1, "   ", "8080", false, {}, "txtName"},
  };
  for (const ProxyRun& run : runs) {
    gui::ProxyDialog dialog(nullptr, run.start, QStringLiteral(" LOGO"));
    dialog.show();
    dialog.TypeBox()->setCurrentIndex(run.type);
    dialog.NameBox()->setText(run.name);
    dialog.PortBox()->setText(run.port);
    dialog.OkButton()->click();
    ASSERT_EQ(dialog.Result().has_value(), run.accepted) << run.name.toStdString();
    if (run.accepted) {
      EXPECT_FALSE(dialog.isVisible());
      EXPECT_EQ(dialog.Result()->type, run.stored.type);
      EXPECT_EQ(dialog.Result()->server, run.stored.server);
      EXPECT_EQ(dialog.Result()->port, run.stored.port);
    } else {
      EXPECT_TRUE(dialog.isVisible());
      QWidget* balloon = ui::BalloonTip::Current();
      ASSERT_NE(balloon, nullptr);
      // It points at the box that is wrong: just below it, overlapping it.
      auto* box = dialog.findChild<QLineEdit*>(run.balloon_on);
      const QRect target(box->mapToGlobal(QPoint(0, 0)), box->size());
      const QRect shown = balloon->frameGeometry();
      EXPECT_GE(shown.top(), target.center().y()) << run.balloon_on;
      EXPECT_LE(shown.top(), target.bottom() + 16) << run.balloon_on;
      EXPECT_TRUE(shown.left() < target.right() && shown.right() > target.left()) << run.balloon_on;
    }
    ui::BalloonTip::HideBalloon();
  }
}

TEST_F(DialogTest, ProxyDialogLoadsTheSettingsAndLocksTheBoxesForNone) {
  gui::ProxyDialog dialog(nullptr, {0, "", 8080}, QStringLiteral(" LOGO"));
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Διακομιστής μεσολάβησης"));
  ASSERT_EQ(dialog.TypeBox()->count(), 2);
  EXPECT_EQ(dialog.TypeBox()->itemText(0), QString::fromUtf8("Τίποτα"));
  EXPECT_EQ(dialog.TypeBox()->itemText(1), QStringLiteral("HTTP"));
  EXPECT_EQ(dialog.PortBox()->text(), QStringLiteral("8080"));
  EXPECT_FALSE(dialog.NameBox()->isEnabled());
  dialog.TypeBox()->setCurrentIndex(1);
  EXPECT_TRUE(dialog.NameBox()->isEnabled());
  EXPECT_TRUE(dialog.PortBox()->isEnabled());
  // A letter in the port box turns it into "0".
  dialog.PortBox()->setFocus();
  dialog.PortBox()->setText(QStringLiteral("80a"));
  EXPECT_EQ(dialog.PortBox()->text(), QStringLiteral("0"));
  // A stored type without an entry opens on "none".
  gui::ProxyDialog socks(nullptr, {3, "s", 1080}, QStringLiteral(" LOGO"));
  EXPECT_EQ(socks.TypeBox()->currentIndex(), 0);
  socks.CancelButton()->click();
  EXPECT_FALSE(socks.Result().has_value());
}

TEST_F(DialogTest, ProgressWindowRendersAndItsCloseBoxCancels) {
  int cancels = 0;
  gui::ProgressWindow window([&] { ++cancels; });
  const session::ProgressViewState state{.visible = true,
                                         .caption = "Προσωπικός χώρος - Λήψη αρχείου",
                                         .source = "/Έγγραφα/α.pdf",
                                         .destination = "/home/user/α.pdf",
                                         .progress_text = "Ελήφθησαν 1.5 MB από 3.0 MB (50%)",
                                         .percent = 50,
                                         .speed_text = "Ταχύτητα: 1.5 MB/s",
                                         .time_text = "Εκτιμώμενος χρόνος: Άγνωστο",
                                         .time_visible = false};
  window.Render(state);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), QString::fromStdString(state.caption));
  EXPECT_EQ(window.findChild<QProgressBar*>("pbTransfer")->value(), 50);
  EXPECT_EQ(window.findChild<QLabel*>("lblProgress")->text(),
            QString::fromStdString(state.progress_text));
  EXPECT_EQ(window.findChild<QLabel*>("lblSource")->toolTip(),
            QString::fromStdString(state.source));
  EXPECT_FALSE(window.findChild<QLabel*>("lblTime")->isVisible());
  EXPECT_FALSE(window.findChild<QLabel*>("imgAnimation")->pixmap().isNull());
  EXPECT_EQ(window.CancelButton()->text(), QString::fromUtf8("Άκυρο"));

  window.close();
  EXPECT_EQ(cancels, 1);
  EXPECT_TRUE(window.isVisible());  // it goes when the session says so
  window.CancelButton()->click();
  EXPECT_EQ(cancels, 2);
}

}  // namespace
}  // namespace gui_test
