#include "gui/proxy_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <variant>

#include "app/proxy_dialog.h"
#include "gui/widget_helpers.h"
#include "session/window_texts.h"
#include "ui/balloon_tip.h"
#include "ui/logo_strip.h"

namespace gui {
namespace {

/// The window background for an editable box, the button face for a locked one.
void SetBoxEnabled(QLineEdit* box, bool enabled) {
  box->setEnabled(enabled);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base,
                   QApplication::palette().color(enabled ? QPalette::Base : QPalette::Button));
  box->setPalette(palette);
}

}  // namespace

ProxyDialog::ProxyDialog(QWidget* owner, const app::ProxySettings& current,
                         const QString& logo_text)
    : QDialog(owner) {
  setObjectName("frmProxy");
  setWindowTitle(Q(session::texts::kProxyCaption));
  setModal(true);

  picLogo_ = new ui::LogoStrip(this);
  picLogo_->setObjectName("picLogo");
  picLogo_->setText(logo_text);
  // The strip follows the dialog's height (its text is sized to fit) instead
  // of making the dialog as tall as the main window's strip.
  picLogo_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
  picLogo_->setFixedWidth(picLogo_->sizeHint().width() * 3 / 4);
  lblType_ = new QLabel(Q(session::texts::kProxyLblType), this);
  lblType_->setObjectName("lblType");
  cboType_ = new QComboBox(this);
  cboType_->setObjectName("cboType");
  cboType_->addItem(Q(session::texts::kProxyTypeNone));
  cboType_->addItem(Q(session::texts::kProxyTypeHttp));
  lblName_ = new QLabel(Q(session::texts::kProxyLblName), this);
  lblName_->setObjectName("lblName");
  txtName_ = new QLineEdit(this);
  txtName_->setObjectName("txtName");
  lblPort_ = new QLabel(Q(session::texts::kProxyLblPort), this);
  lblPort_->setObjectName("lblPort");
  txtPort_ = new QLineEdit(this);
  txtPort_->setObjectName("txtPort");
  txtPort_->setMaxLength(10);
  lblType_->setBuddy(cboType_);
  lblName_->setBuddy(txtName_);
  lblPort_->setBuddy(txtPort_);
  cmdOK_ = new QPushButton(Q(session::texts::kProxyCmdOk), this);
  cmdOK_->setObjectName("cmdOK");
  cmdOK_->setDefault(true);
  cmdCancel_ = new QPushButton(Q(session::texts::kProxyCmdCancel), this);
  cmdCancel_->setObjectName("cmdCancel");

  auto* root = new QHBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);
  root->addWidget(picLogo_);
  auto* body = new QVBoxLayout;
  body->setContentsMargins(14, 12, 14, 12);
  body->setSpacing(10);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(8);
  grid->addWidget(lblType_, 0, 0);
  grid->addWidget(cboType_, 0, 1, 1, 3, Qt::AlignLeft);
  grid->addWidget(lblName_, 1, 0);
  grid->addWidget(txtName_, 1, 1);
  grid->addWidget(lblPort_, 1, 2);
  grid->addWidget(txtPort_, 1, 3);
  grid->setColumnStretch(1, 1);
  txtName_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 16);
  txtPort_->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("655350")) + 16);
  cboType_->setMinimumWidth(fontMetrics().horizontalAdvance(Q(session::texts::kProxyTypeNone)) +
                            48);
  body->addLayout(grid);
  body->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdOK_);
  buttons->addWidget(cmdCancel_);
  body->addLayout(buttons);
  root->addLayout(body, 1);
  setTabOrder(cboType_, txtName_);
  setTabOrder(txtName_, txtPort_);
  setTabOrder(txtPort_, cmdOK_);
  setTabOrder(cmdOK_, cmdCancel_);

  // Load: the entry of the stored type, then the name and the port.
  const app::ProxyDialogFields fields = app::ProxyDialogFieldsOf(current);
  cboType_->setCurrentIndex(fields.type_entry);
  cboType_Click();
  txtName_->setText(Q(fields.name));
  txtPort_->setText(Q(fields.port_text));

  connect(cboType_, &QComboBox::currentIndexChanged, this, [this] { cboType_Click(); });
  connect(txtPort_, &QLineEdit::textChanged, this, [this] { txtPort_Change(); });
  connect(cmdOK_, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
  connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
  cboType_->setFocus(Qt::OtherFocusReason);
  MakeFixedDialog(this);
}

std::optional<app::ProxySettings> ProxyDialog::Ask(QWidget* owner,
                                                   const app::ProxySettings& current,
                                                   const QString& logo_text) {
  ProxyDialog dialog(owner, current, logo_text);
  dialog.exec();
  return dialog.Result();
}

void ProxyDialog::cboType_Click() {
  const bool enabled = app::ProxyBoxesEnabled(cboType_->currentIndex());
  SetBoxEnabled(txtName_, enabled);
  SetBoxEnabled(txtPort_, enabled);
}

void ProxyDialog::txtPort_Change() {
  const std::string text = txtPort_->text().toStdString();
  const std::string wanted = app::ProxyPortBoxText(text);
  if (wanted != text) {
    txtPort_->setText(Q(wanted));
    txtPort_->selectAll();
  }
}

void ProxyDialog::cmdOK_Click() {
  auto outcome = app::AcceptProxyDialog(cboType_->currentIndex(), txtName_->text().toStdString(),
                                        txtPort_->text().toStdString());
  if (auto* problem = std::get_if<app::ProxyDialogProblem>(&outcome)) {
    QLineEdit* box = problem->box == app::ProxyDialogProblem::Box::kName ? txtName_ : txtPort_;
    ui::BalloonTip::ShowBalloonTip(box, Q(problem->text), Q(problem->title), 3);
    return;
  }
  result_ = std::get<app::ProxySettings>(outcome);
  accept();
}

}  // namespace gui
