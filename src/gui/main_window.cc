#include "gui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/art_images.h"
#include "gui/file_list_model.h"
#include "gui/file_list_view.h"
#include "gui/label_tip_delegate.h"
#include "gui/progress_window.h"
#include "gui/widget_helpers.h"
#include "hyperlink/hyperlink.h"
#include "session/window_texts.h"
#include "ui/dc_button.h"
#include "ui/logo_strip.h"

namespace gui {
namespace {

/// The window background of an editable box, the button face of a locked one.
void RenderEdit(QLineEdit* box, const session::EditView& view) {
  if (box->isReadOnly() != view.locked) box->setReadOnly(view.locked);
  if (box->isEnabled() != view.enabled) box->setEnabled(view.enabled);
  const QPalette::ColorRole wanted =
      view.background == session::BoxBackground::kButtonFace ? QPalette::Button : QPalette::Base;
  if (box->backgroundRole() != wanted || box->property("vaultline_bg").toInt() != wanted) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(wanted));
    box->setPalette(palette);
    box->setProperty("vaultline_bg", static_cast<int>(wanted));
  }
}

void RenderLabel(QLabel* label, const session::LabelView& view) {
  SetTextIfChanged(label, view.caption);
  if (label->isEnabled() != view.enabled) label->setEnabled(view.enabled);
  if (label->isVisibleTo(label->parentWidget()) != view.visible) label->setVisible(view.visible);
}

/// The usage bar sits 300 twips (20 pixels) right of its label.
constexpr int kUsageBarGap = 20;

}  // namespace

void MainWindow::CreateControls() {
  picLogo_ = new ui::LogoStrip(this);
  picLogo_->setObjectName("picLogo");
  picLogo_->setFixedWidth(44);
  lblVersion_ = new QLabel(this);
  lblVersion_->setObjectName("lblVersion");

  lblConnectPrompt_ = new QLabel(this);
  lblConnectPrompt_->setObjectName("lblConnectPrompt");
  QFont heading = lblConnectPrompt_->font();
  heading.setBold(true);
  lblConnectPrompt_->setFont(heading);
  lblID_ = new QLabel(this);
  lblID_->setObjectName("lblID");
  txtID_ = new QLineEdit(this);
  txtID_->setObjectName("txtID");
  lblPassword_ = new QLabel(this);
  lblPassword_->setObjectName("lblPassword");
  txtPassword_ = new QLineEdit(this);
  txtPassword_->setObjectName("txtPassword");
  txtPassword_->setEchoMode(QLineEdit::Password);
  lblID_->setBuddy(txtID_);
  lblPassword_->setBuddy(txtPassword_);
  chkSaveLogin_ = new QCheckBox(this);
  chkSaveLogin_->setObjectName("chkSaveLogin");
  dcbConnect_ = new ui::DcButton(this);
  dcbConnect_->setObjectName("dcbConnect");
  dcbProxy_ = new ui::DcButton(this);
  dcbProxy_->setObjectName("dcbProxy");
  lnkDF_ = new hyperlink::Hyperlink(this);
  lnkDF_->setObjectName("lnkDF");
  lnkDF_->SetAutoSize(true);
  lnkDF_->SetBackStyleNormal(hyperlink::Hyperlink::kTransparent);
  lnkDF_->SetBackStyleHover(hyperlink::Hyperlink::kTransparent);
  lnkDF_->SetForeColorNormal(0x8000000D);  // highlight: reads as a link
  lnkDF_->SetForeColorHover(0x8000000D);
  {
    QFont hover = lnkDF_->FontNormal();
    hover.setUnderline(true);
    lnkDF_->SetFontHover(hover);
  }

  lblPath_ = new QLabel(this);
  lblPath_->setObjectName("lblPath");
  lblPath_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  lblPath_->setTextFormat(Qt::PlainText);
  dcbUp_ = new ui::DcButton(this);
  dcbUp_->setObjectName("dcbUp");
  dcbRefresh_ = new ui::DcButton(this);
  dcbRefresh_->setObjectName("dcbRefresh");
  dcbNewFolder_ = new ui::DcButton(this);
  dcbNewFolder_->setObjectName("dcbNewFolder");
  dcbRename_ = new ui::DcButton(this);
  dcbRename_->setObjectName("dcbRename");
  dcbDelete_ = new ui::DcButton(this);
  dcbDelete_->setObjectName("dcbDelete");
  dcbDownload_ = new ui::DcButton(this);
  dcbDownload_->setObjectName("dcbDownload");

  lvFiles_ = new FileListView(this);
  lvFiles_->setObjectName("lvFiles");
  lvFiles_->setItemDelegate(new LabelTipDelegate(lvFiles_));

  lblUploadPrompt_ = new QLabel(this);
  lblUploadPrompt_->setObjectName("lblUploadPrompt");
  txtUpload_ = new QLineEdit(this);
  txtUpload_->setObjectName("txtUpload");
  dcbBrowse_ = new ui::DcButton(this);
  dcbBrowse_->setObjectName("dcbBrowse");
  dcbUpload_ = new ui::DcButton(this);
  dcbUpload_->setObjectName("dcbUpload");

  picPFSize_ = new QLabel(this);
  picPFSize_->setObjectName("picPFSize");
  picPFSize_->setFocusPolicy(Qt::NoFocus);
  lblPFSize_ = new QLabel(this);
  lblPFSize_->setObjectName("lblPFSize");
  pbPFSize_ = new QProgressBar(this);
  pbPFSize_->setObjectName("pbPFSize");
  pbPFSize_->setRange(0, 1000);  // tenths of a percent
  pbPFSize_->setTextVisible(false);
  pbPFSize_->setFixedHeight(14);
  pbPFSize_->setMinimumWidth(120);
  pbPFSize_->setMaximumWidth(220);
  lblCleanupWarning_ = new QLabel(this);
  lblCleanupWarning_->setObjectName("lblCleanupWarning");
  lblCleanupWarning_->setWordWrap(true);
  {
    QPalette palette = lblCleanupWarning_->palette();
    palette.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
    lblCleanupWarning_->setPalette(palette);
  }
  lnkHelp_ = new hyperlink::Hyperlink(this);
  lnkHelp_->setObjectName("lnkHelp");
  lnkHelp_->SetAutoSize(true);
  lnkHelp_->SetBackStyleNormal(hyperlink::Hyperlink::kTransparent);
  lnkHelp_->SetBackStyleHover(hyperlink::Hyperlink::kTransparent);
  lnkHelp_->SetForeColorNormal(0x8000000D);
  lnkHelp_->SetForeColorHover(0x8000000D);
  {
    QFont hover = lnkHelp_->FontNormal();
    hover.setUnderline(true);
    lnkHelp_->SetFontHover(hover);
  }

  // Texts and tooltips the window is created with.
  lblConnectPrompt_->setText(Q(session::texts::kLblConnectPrompt));
  lblID_->setText(Q(session::texts::kLblId));
  lblPassword_->setText(Q(session::texts::kLblPassword));
  chkSaveLogin_->setText(Q(session::texts::kChkSaveLogin));
  lblVersion_->setText("v" + Q(options_.version_text));
  lnkHelp_->SetCaption(Q(session::texts::kLnkHelpCaption));
  lnkHelp_->SetToolTip(Q(session::texts::kLnkHelpTooltip));
}

void MainWindow::LayoutControls() {
  auto* root = new QHBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  auto* strip = new QVBoxLayout;
  strip->setContentsMargins(0, 0, 0, 0);
  strip->setSpacing(0);
  strip->addWidget(picLogo_, 1);
  root->addLayout(strip);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(12, 10, 12, 8);
  body->setSpacing(8);
  root->addLayout(body, 1);

  // The login area.
  auto* login = new QGridLayout;
  login->setHorizontalSpacing(8);
  login->setVerticalSpacing(6);
  login->addWidget(lblConnectPrompt_, 0, 0, 1, 6);
  login->addWidget(lblID_, 1, 0);
  login->addWidget(txtID_, 1, 1);
  login->addWidget(lblPassword_, 1, 2);
  login->addWidget(txtPassword_, 1, 3);
  login->addWidget(dcbConnect_, 1, 4);
  login->addWidget(dcbProxy_, 1, 5);
  login->addWidget(chkSaveLogin_, 2, 1, 1, 3);
  login->addWidget(lnkDF_, 2, 4, 1, 3, Qt::AlignRight | Qt::AlignVCenter);
  login->setColumnStretch(6, 1);
  txtID_->setMinimumWidth(140);
  txtPassword_->setMinimumWidth(140);
  body->addLayout(login);

  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  body->addWidget(line);

  // Path and folder buttons, one row with fixed gaps.
  auto* folder = new QHBoxLayout;
  folder->setSpacing(4);
  folder->addWidget(lblPath_, 1);
  for (ui::DcButton* b : {dcbUp_, dcbRefresh_, dcbNewFolder_, dcbRename_, dcbDelete_}) {
    folder->addWidget(b);
  }
  folder->addSpacing(8);
  folder->addWidget(dcbDownload_);
  body->addLayout(folder);

  body->addWidget(lvFiles_, 1);

  // Upload row.
  auto* upload = new QHBoxLayout;
  upload->setSpacing(6);
  upload->addWidget(lblUploadPrompt_);
  upload->addWidget(txtUpload_, 1);
  upload->addWidget(dcbBrowse_);
  upload->addWidget(dcbUpload_);
  body->addLayout(upload);

  // Usage area, clean-up notice, version and help.
  auto* usage = new QHBoxLayout;
  usage->setSpacing(6);
  usage->addWidget(picPFSize_);
  usage->addWidget(lblPFSize_);
  usage->addSpacing(kUsageBarGap - usage->spacing());
  usage->addWidget(pbPFSize_);
  usage->addStretch(1);
  usage->addWidget(lblVersion_);
  usage->addSpacing(12);
  usage->addWidget(lnkHelp_);
  body->addLayout(usage);
  body->addWidget(lblCleanupWarning_);

  // Tab order: login, list, upload, folder buttons.
  setTabOrder(txtID_, txtPassword_);
  setTabOrder(txtPassword_, chkSaveLogin_);
  setTabOrder(chkSaveLogin_, dcbConnect_);
  setTabOrder(dcbConnect_, dcbProxy_);
  setTabOrder(dcbProxy_, lvFiles_);
  setTabOrder(lvFiles_, dcbUp_);
  setTabOrder(dcbUp_, dcbRefresh_);
  setTabOrder(dcbRefresh_, dcbNewFolder_);
  setTabOrder(dcbNewFolder_, dcbRename_);
  setTabOrder(dcbRename_, dcbDelete_);
  setTabOrder(dcbDelete_, dcbDownload_);
  setTabOrder(dcbDownload_, txtUpload_);
  setTabOrder(txtUpload_, dcbBrowse_);
  setTabOrder(dcbBrowse_, dcbUpload_);
}

void MainWindow::ConnectControls() {
  connect(txtID_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!rendering_ && session_) session_->SetIdText(text.toStdString());
  });
  connect(txtPassword_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!rendering_ && session_) session_->SetPasswordText(text.toStdString());
  });
  connect(txtUpload_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!rendering_ && session_) session_->SetUploadText(text.toStdString());
  });
  const auto on_click = [this](ui::DcButton* button, void (session::FolderSession::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] {
      if (session_) (session_.get()->*handler)();
    });
  };
  on_click(dcbConnect_, &session::FolderSession::dcbConnect_Click);
  on_click(dcbUp_, &session::FolderSession::dcbUp_Click);
  on_click(dcbRefresh_, &session::FolderSession::dcbRefresh_Click);
  on_click(dcbNewFolder_, &session::FolderSession::dcbNewFolder_Click);
  on_click(dcbRename_, &session::FolderSession::dcbRename_Click);
  on_click(dcbDelete_, &session::FolderSession::dcbDelete_Click);
  on_click(dcbDownload_, &session::FolderSession::dcbDownload_Click);
  on_click(dcbBrowse_, &session::FolderSession::dcbBrowse_Click);
  on_click(dcbUpload_, &session::FolderSession::dcbUpload_Click);
  connect(dcbProxy_, &QPushButton::clicked, this, [this] { dcbProxy_Click(); });
  connect(lnkDF_, &hyperlink::Hyperlink::Click, this, [this] {
    if (session_) session_->lnkDF_Click();
  });
  connect(lnkHelp_, &hyperlink::Hyperlink::Click, this, [this] { lnkHelp_Click(); });

  lvFiles_->viewport()->installEventFilter(this);
  lvFiles_->installEventFilter(this);
  for (QWidget* w : {static_cast<QWidget*>(txtID_), static_cast<QWidget*>(txtPassword_),
                     static_cast<QWidget*>(chkSaveLogin_)}) {
    w->installEventFilter(this);
  }
  connect(lvFiles_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) {
    if (session_) session_->lvFiles_DblClick();
  });
  qApp->installEventFilter(this);
}

void MainWindow::ApplyButtonStyle(int style) {
  for (ui::DcButton* b : {dcbConnect_, dcbProxy_, dcbUp_, dcbRefresh_, dcbNewFolder_, dcbRename_,
                          dcbDelete_, dcbDownload_, dcbBrowse_, dcbUpload_}) {
    b->setButtonStyle(style);
  }
}

void MainWindow::SetButtonImage(ui::DcButton* button, const std::string& key) {
  const QIcon icon = ArtIcon(key);
  if (button->property("vaultline_image").toString() == Q(key)) return;
  button->setIcon(icon);
  button->setProperty("vaultline_image", Q(key));
}

void MainWindow::FitNameColumn() {
  // The name column takes what the fixed size and date columns leave, less
  // the vertical scroll bar and a small margin, so no horizontal scroll bar
  // ever appears.
  const int scroll = lvFiles_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const int width = lvFiles_->width() - lvFiles_->columnWidth(FileListModel::kSize) -
                    lvFiles_->columnWidth(FileListModel::kModified) - scroll - 4 -
                    2 * lvFiles_->frameWidth();
  lvFiles_->setColumnWidth(FileListModel::kName, std::max(width, 40));
}

int MainWindow::RowAt(const QPoint& viewport_point) const {
  const QModelIndex index = lvFiles_->indexAt(viewport_point);
  return index.isValid() ? index.row() : -1;
}

QLineEdit* MainWindow::EditFor(session::EditBox box) const {
  switch (box) {
    case session::EditBox::kId:
      return txtID_;
    case session::EditBox::kPassword:
      return txtPassword_;
    case session::EditBox::kUpload:
      return txtUpload_;
    case session::EditBox::kName:
      return name_box_;
    case session::EditBox::kProxyName:
    case session::EditBox::kProxyPort:
      return nullptr;  // the proxy dialog shows its own balloons
  }
  return nullptr;
}

void MainWindow::Render() {
  if (!session_) return;
  const session::MainViewState& v = session_->View();
  rendering_ = true;

  const QString caption = Q(v.window_caption);
  if (windowTitle() != caption) setWindowTitle(caption);

  SetTextIfChanged(txtID_, v.txtID.text);
  SetTextIfChanged(txtPassword_, v.txtPassword.text);
  RenderEdit(txtID_, v.txtID);
  RenderEdit(txtPassword_, v.txtPassword);
  if (chkSaveLogin_->isEnabled() != v.chkSaveLogin_enabled) {
    chkSaveLogin_->setEnabled(v.chkSaveLogin_enabled);
  }

  const auto render_button = [this](ui::DcButton* b, const session::ButtonView& view) {
    SetTextIfChanged(b, view.caption);
    SetToolTipIfChanged(b, view.tooltip);
    if (!view.image_key.empty()) SetButtonImage(b, view.image_key);
    if (b->isEnabled() != view.enabled) b->setEnabled(view.enabled);
    if (b->isVisibleTo(this) != view.visible) b->setVisible(view.visible);
    if (b->isDefaultRole() != view.is_default) b->setDefaultRole(view.is_default);
  };
  render_button(dcbConnect_, v.dcbConnect);
  render_button(dcbProxy_, v.dcbProxy);
  render_button(dcbUp_, v.dcbUp);
  render_button(dcbRefresh_, v.dcbRefresh);
  render_button(dcbNewFolder_, v.dcbNewFolder);
  render_button(dcbRename_, v.dcbRename);
  render_button(dcbDelete_, v.dcbDelete);
  render_button(dcbDownload_, v.dcbDownload);
  render_button(dcbBrowse_, v.dcbBrowse);
  render_button(dcbUpload_, v.dcbUpload);

  if (lnkDF_->Caption() != Q(v.lnkDF.caption)) lnkDF_->SetCaption(Q(v.lnkDF.caption));
  if (lnkDF_->property("vaultline_icon").toString() != Q(v.lnkDF.icon_key)) {
    lnkDF_->SetIcon(ArtPixmap(v.lnkDF.icon_key, 16, devicePixelRatioF()));
    lnkDF_->setProperty("vaultline_icon", Q(v.lnkDF.icon_key));
  }
  if (lnkDF_->isVisibleTo(this) != v.lnkDF.visible) lnkDF_->setVisible(v.lnkDF.visible);

  RenderLabel(lblPath_, v.lblPath);
  if (lvFiles_->isEnabled() != v.lvFiles_enabled) lvFiles_->setEnabled(v.lvFiles_enabled);

  // The selection: only when the session's differs from the view's.
  const QModelIndex current = lvFiles_->selectionModel()->currentIndex();
  const bool selected = current.isValid() && lvFiles_->selectionModel()->isSelected(current);
  const int shown_row = selected ? current.row() : -1;
  if (shown_row != v.selected_row) {
    if (v.selected_row >= 0 && v.selected_row < model_->rowCount()) {
      lvFiles_->selectionModel()->setCurrentIndex(
          model_->index(v.selected_row, 0),
          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
      lvFiles_->selectionModel()->clearSelection();
    }
  }

  RenderLabel(lblUploadPrompt_, v.lblUploadPrompt);
  SetTextIfChanged(txtUpload_, v.txtUpload.text);
  RenderEdit(txtUpload_, v.txtUpload);

  if (picPFSize_->isVisibleTo(this) != v.usage_visible) {
    picPFSize_->setVisible(v.usage_visible);
    pbPFSize_->setVisible(v.usage_visible);
  }
  RenderLabel(lblPFSize_, v.lblPFSize);
  if (!v.usage_visible && lblPFSize_->isVisibleTo(this)) lblPFSize_->setVisible(false);
  const int bar = static_cast<int>(std::min(v.pbPFSize_value, 100.0) * 10.0 + 0.5);
  if (pbPFSize_->value() != bar) pbPFSize_->setValue(bar);
  if (pbPFSize_->property("vaultline_state").toInt() != static_cast<int>(v.pbPFSize_state) ||
      !pbPFSize_->property("vaultline_state").isValid()) {
    QPalette palette = pbPFSize_->palette();
    switch (v.pbPFSize_state) {
      case session::BarState::kNormal:
        palette.setColor(QPalette::Highlight, QColor(0x06, 0xB0, 0x25));
        break;
      case session::BarState::kPaused:
        palette.setColor(QPalette::Highlight, QColor(0xDA, 0xB0, 0x00));
        break;
      case session::BarState::kError:
        palette.setColor(QPalette::Highlight, QColor(0xDA, 0x26, 0x26));
        break;
    }
    pbPFSize_->setPalette(palette);
    pbPFSize_->setProperty("vaultline_state", static_cast<int>(v.pbPFSize_state));
  }
  RenderLabel(lblCleanupWarning_, v.lblCleanupWarning);

  if (v.layout_generation != rendered_layout_generation_) {
    rendered_layout_generation_ = v.layout_generation;
    if (layout()) layout()->invalidate();
  }
  if (v.focus_id_generation != rendered_focus_generation_) {
    rendered_focus_generation_ = v.focus_id_generation;
    if (v.focus_id_requested && isVisible()) {
      txtID_->setFocus(Qt::OtherFocusReason);
      txtID_->selectAll();
    }
  }

  rendering_ = false;
  RenderCursor();
  RenderProgress();
}

void MainWindow::RenderCursor() {
  if (!session_) return;
  const session::MainViewState& v = session_->View();
  // The progress window must stay usable while the main window waits, so the
  // busy pointer is only shown while the main window itself is on screen.
  const bool progress_shown = session_->Progress().visible;
  const bool want = !progress_shown && v.cursor != session::Cursor::kNormal;
  const Qt::CursorShape shape =
      v.cursor == session::Cursor::kWorkingInBackground ? Qt::BusyCursor : Qt::WaitCursor;
  if (want) {
    if (override_cursor_) {
      QApplication::changeOverrideCursor(shape);
    } else {
      QApplication::setOverrideCursor(shape);
      override_cursor_ = true;
    }
  } else if (override_cursor_) {
    QApplication::restoreOverrideCursor();
    override_cursor_ = false;
  }
}

void MainWindow::RenderProgress() {
  if (!session_) return;
  const session::ProgressViewState& p = session_->Progress();
  if (p.visible) {
    if (!progress_window_) {
      progress_window_ = new ProgressWindow([this] {
        if (session_) session_->cmdCancel_Click();
      });
      progress_window_->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    progress_window_->Render(p);
    if (isVisible()) {
      hide();
      hidden_for_progress_ = true;
    }
  } else {
    if (progress_window_) {
      progress_window_->Render(p);
      progress_window_->deleteLater();
      progress_window_ = nullptr;
    }
    if (hidden_for_progress_ && !unloaded_) {
      hidden_for_progress_ = false;
      show();
      raise();
      activateWindow();
    }
  }
}

bool MainWindow::BlockedWhileBusy(QObject* target, QEvent* event) const {
  if (!session_ || session_->View().window_enabled) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::Drop:
      break;
    default:
      return false;
  }
  auto* widget = qobject_cast<QWidget*>(target);
  return widget && widget->window() == this;
}

bool MainWindow::HandleListKey(QKeyEvent* key) {
  if (!session_) return false;
  const auto mods = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      session_->lvFiles_KeyDown(session::ListKey::kEnter);
      return true;
    case Qt::Key_Backspace:
      session_->lvFiles_KeyDown(session::ListKey::kBackspace);
      return true;
    case Qt::Key_Space:
      if (mods == Qt::ControlModifier) {
        lvFiles_->selectionModel()->clearSelection();
        session_->lvFiles_KeyDown(session::ListKey::kCtrlSpace);
        return true;
      }
      return false;
    case Qt::Key_F2:
      session_->lvFiles_KeyDown(session::ListKey::kF2);
      return true;
    case Qt::Key_Delete:
      session_->lvFiles_KeyDown(session::ListKey::kDelete);
      return true;
    case Qt::Key_F5:
      session_->lvFiles_KeyDown(session::ListKey::kF5);
      return true;
    default:
      return false;
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (BlockedWhileBusy(watched, event)) return true;

  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    // The window previews keys before its controls: Ctrl+Alt+F10.
    if (widget && widget->window() == this && key->key() == Qt::Key_F10 &&
        (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) ==
            (Qt::ControlModifier | Qt::AltModifier)) {
      if (session_) session_->ShowProtocolVersion();
      return true;
    }
    if (watched == lvFiles_) return HandleListKey(key);
    // Enter in the login area presses the default button.
    if ((watched == txtID_ || watched == txtPassword_ || watched == chkSaveLogin_) &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && session_ &&
        session_->View().dcbConnect.is_default && dcbConnect_->isEnabled()) {
      dcbConnect_->click();
      return true;
    }
  }

  if (watched == lvFiles_->viewport() && event->type() == QEvent::MouseButtonPress && session_) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    session::MouseButton button = session::MouseButton::kLeft;
    if (mouse->button() == Qt::RightButton) button = session::MouseButton::kRight;
    if (mouse->button() == Qt::MiddleButton) button = session::MouseButton::kMiddle;
    const int row = RowAt(mouse->position().toPoint());
    if (button == session::MouseButton::kMiddle) return false;
    if (row < 0) lvFiles_->selectionModel()->clearSelection();
    session_->lvFiles_MouseDown(button, row);
    return false;
  }
  if (watched == lvFiles_ && event->type() == QEvent::Resize) {
    QTimer::singleShot(0, this, [this] { FitNameColumn(); });
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (unloaded_) {
    event->accept();
    return;
  }
  // The close box is refused while an operation keeps the window busy; the
  // session's own request, the desktop's logout and SIGTERM are not.
  if (!closing_by_request_ && session_ && !session_->View().window_enabled) {
    event->ignore();
    return;
  }
  Unload();
  event->accept();
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void MainWindow::Shutdown() {
  closing_by_request_ = true;
  if (modal_depth_ > 0) {
    // A dialog of the session's is open and the session waits on it: close
    // it, and unload once the session's handler has returned.
    CloseDialogs();
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->reject();
    QTimer::singleShot(0, this, [this] { Shutdown(); });
    return;
  }
  if (!unloaded_) Unload();
  close();
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void MainWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
    if (picPFSize_) picPFSize_->setPixmap(ArtPixmap("sizepie", 16, devicePixelRatioF()));
  }
  QWidget::changeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (session_ && !session_->View().txtUpload.locked && session_->View().window_enabled &&
      event->mimeData()->hasUrls() && event->mimeData()->urls().size() == 1 &&
      event->mimeData()->urls().front().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (!session_ || session_->View().txtUpload.locked || !event->mimeData()->hasUrls()) return;
  const QUrl url = event->mimeData()->urls().value(0);
  if (!url.isLocalFile()) return;
  // A dropped file is chosen as if with the browse button; the user still
  // presses upload.
  session_->SetUploadText(url.toLocalFile().toStdString());
  event->acceptProposedAction();
}

}  // namespace gui
