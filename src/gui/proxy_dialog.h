#pragma once

#include <QDialog>

#include <optional>

#include "app/settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class LogoStrip;
}

namespace gui {

/// `frmProxy`: the HTTP proxy of the parameters fetch. OK with a valid entry
/// closes the dialog with the settings to store; a missing name or a port
/// out of range shows a balloon and keeps the dialog open.
class ProxyDialog : public QDialog {
  Q_OBJECT

 public:
  ProxyDialog(QWidget* owner, const app::ProxySettings& current, const QString& logo_text);

  /// Shows the dialog modally; the settings to store, or nothing on Cancel.
  static std::optional<app::ProxySettings> Ask(QWidget* owner, const app::ProxySettings& current,
                                               const QString& logo_text);

  const std::optional<app::ProxySettings>& Result() const { return result_; }
  QComboBox* TypeBox() const { return cboType_; }
  QLineEdit* NameBox() const { return txtName_; }
  QLineEdit* PortBox() const { return txtPort_; }
  QPushButton* OkButton() const { return cmdOK_; }
  QPushButton* CancelButton() const { return cmdCancel_; }

 private:
  void cboType_Click();
  void txtPort_Change();
  void cmdOK_Click();

  std::optional<app::ProxySettings> result_;
  ui::LogoStrip* picLogo_ = nullptr;
  QLabel* lblType_ = nullptr;
  QComboBox* cboType_ = nullptr;
  QLabel* lblName_ = nullptr;
  QLineEdit* txtName_ = nullptr;
  QLabel* lblPort_ = nullptr;
  QLineEdit* txtPort_ = nullptr;
  QPushButton* cmdOK_ = nullptr;
  QPushButton* cmdCancel_ = nullptr;
};

}  // namespace gui
