#include "gui/file_exists_dialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/widget_helpers.h"
#include "ui/file_type_icons.h"

namespace gui {
namespace {

constexpr int kIconSize = 32;
/// The icon sits this far from the dialog's top-left corner.
constexpr int kIconOffset = 8;

}  // namespace

FileExistsDialog::FileExistsDialog(QWidget* owner, const session::ExistsRequest& request)
    : QDialog(owner) {
  setObjectName("frmFileExists");
  setWindowTitle(Q(request.caption));
  setModal(true);

  imgIcon_ = new QLabel(this);
  imgIcon_->setObjectName("imgIcon");
  imgIcon_->setFixedSize(kIconSize, kIconSize);
  const QIcon icon = ui::FileTypeIcons::IconForKey(request.icon_key);
  imgIcon_->setPixmap(icon.pixmap(QSize(kIconSize, kIconSize), devicePixelRatioF()));
  lblFileExists_ = new QLabel(Q(request.text), this);
  lblFileExists_->setObjectName("lblFileExists");
  lblFileExists_->setTextFormat(Qt::PlainText);
  lblFileExists_->setWordWrap(true);
  lblFileExists_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  cmdReplace_ = new QPushButton(Q(request.replace_caption), this);
  cmdReplace_->setObjectName("cmdResponse1");
  cmdContinue_ = new QPushButton(Q(request.continue_caption), this);
  cmdContinue_->setObjectName("cmdResponse2");
  cmdContinue_->setEnabled(request.allow_continue);
  cmdCancel_ = new QPushButton(Q(request.cancel_caption), this);
  cmdCancel_->setObjectName("cmdResponse0");
  // Enter takes the choice that loses nothing: resume where it can, else cancel.
  QPushButton* preferred = request.allow_continue ? cmdContinue_ : cmdCancel_;
  preferred->setDefault(true);
  preferred->setFocus(Qt::OtherFocusReason);

  const auto answer_with = [this](QPushButton* button, session::ExistsAnswer answer) {
    connect(button, &QPushButton::clicked, this, [this, answer] {
      answer_ = answer;
      accept();
    });
  };
  answer_with(cmdReplace_, session::ExistsAnswer::kReplace);
  answer_with(cmdContinue_, session::ExistsAnswer::kContinue);
  answer_with(cmdCancel_, session::ExistsAnswer::kCancel);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(kIconOffset, kIconOffset, 14, 12);
  root->setSpacing(12);
  auto* top = new QHBoxLayout;
  top->setSpacing(14);
  top->addWidget(imgIcon_, 0, Qt::AlignTop);
  top->addWidget(lblFileExists_, 1);
  root->addLayout(top);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdReplace_);
  buttons->addWidget(cmdContinue_);
  buttons->addWidget(cmdCancel_);
  root->addLayout(buttons);
  lblFileExists_->setMinimumWidth(
      std::max(360, fontMetrics().horizontalAdvance(QLatin1Char('M')) * 30));
  MakeFixedDialog(this);
}

}  // namespace gui
