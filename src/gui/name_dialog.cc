#include "gui/name_dialog.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/widget_helpers.h"
#include "session/window_texts.h"
#include "ui/balloon_tip.h"

namespace gui {
namespace {

/// Leading and trailing spaces only; tabs and other white space are part of
/// the name (and the validator's business).
QString TrimSpaces(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text[begin] == QLatin1Char(' ')) ++begin;
  while (end > begin && text[end - 1] == QLatin1Char(' ')) --end;
  return text.mid(begin, end - begin);
}

}  // namespace

NameDialog::NameDialog(QWidget* owner, const session::NameDialogRequest& request,
                       session::SessionUi::NameValidator validate)
    : QDialog(owner), validate_(std::move(validate)) {
  setObjectName("frmName");
  setWindowTitle(Q(request.title));
  setModal(true);

  lblPrompt_ = new QLabel(Q(request.prompt), this);
  lblPrompt_->setObjectName("lblPrompt");
  lblPrompt_->setWordWrap(true);
  txtName_ = new QLineEdit(Q(request.initial_text), this);
  txtName_->setObjectName("txtName");
  lblPrompt_->setBuddy(txtName_);
  cmdOK_ = new QPushButton(QString::fromUtf8(session::texts::kNameCmdOk), this);
  cmdOK_->setObjectName("cmdOK");
  cmdOK_->setDefault(true);
  cmdCancel_ = new QPushButton(QString::fromUtf8(session::texts::kNameCmdCancel), this);
  cmdCancel_->setObjectName("cmdCancel");

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(14, 12, 14, 12);
  root->setSpacing(8);
  root->addWidget(lblPrompt_);
  root->addWidget(txtName_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdOK_);
  buttons->addWidget(cmdCancel_);
  root->addSpacing(4);
  root->addLayout(buttons);
  txtName_->setMinimumWidth(std::max(330, fontMetrics().horizontalAdvance(QLatin1Char('M')) * 26));
  MakeFixedDialog(this);

  connect(cmdOK_, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
  connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
  txtName_->installEventFilter(this);
  txtName_->setFocus(Qt::OtherFocusReason);
  txtName_->selectAll();
}

void NameDialog::cmdOK_Click() {
  const QString name = TrimSpaces(txtName_->text());
  if (txtName_->text() != name) txtName_->setText(name);
  if (name.isEmpty()) {
    txtName_->setFocus(Qt::OtherFocusReason);
    return;
  }
  if (validate_) {
    if (const auto problem = validate_(name.toStdString())) {
      ui::BalloonTip::ShowBalloonTip(txtName_, Q(problem->text), Q(problem->title),
                                     static_cast<int>(session::BalloonIcon::kError));
      return;
    }
  }
  result_ = name.toStdString();
  accept();
}

bool NameDialog::eventFilter(QObject* watched, QEvent* event) {
  // The whole name is selected whenever the box gets the focus; the selection
  // waits for the focus change to finish, or a click would clear it again.
  if (watched == txtName_ && event->type() == QEvent::FocusIn) {
    QTimer::singleShot(0, txtName_, [box = txtName_] { box->selectAll(); });
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace gui
