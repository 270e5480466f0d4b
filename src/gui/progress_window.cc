#include "gui/progress_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/art_images.h"
#include "gui/widget_helpers.h"
#include "session/window_texts.h"

namespace gui {
namespace {

constexpr int kAnimationSize = 32;

/// A path label: one line, the middle of a long path elided, the whole path
/// in its tooltip.
class PathLabel : public QLabel {
 public:
  explicit PathLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  void SetPath(const QString& path) {
    if (path == path_) return;
    path_ = path;
    setToolTip(path);
    Elide();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    Elide();
  }

 private:
  void Elide() { setText(fontMetrics().elidedText(path_, Qt::ElideMiddle, width())); }
  QString path_;
};

}  // namespace

ProgressWindow::ProgressWindow(std::function<void()> cancel) : cancel_(std::move(cancel)) {
  setObjectName("frmProgress");
  setWindowTitle(QString::fromUtf8(session::texts::kProgressCaption));
  setWindowIcon(ArtIcon("app"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  imgAnimation_ = new QLabel(this);
  imgAnimation_->setObjectName("imgAnimation");
  imgAnimation_->setFixedSize(kAnimationSize, kAnimationSize);
  lblSourceTitle_ = new QLabel(QString::fromUtf8(session::texts::kLblSourceTitle), this);
  lblSourceTitle_->setObjectName("lblSourceTitle");
  lblSource_ = new PathLabel(this);
  lblSource_->setObjectName("lblSource");
  lblDestinationTitle_ = new QLabel(QString::fromUtf8(session::texts::kLblDestinationTitle), this);
  lblDestinationTitle_->setObjectName("lblDestinationTitle");
  lblDestination_ = new PathLabel(this);
  lblDestination_->setObjectName("lblDestination");
  lblProgress_ = new QLabel(this);
  lblProgress_->setObjectName("lblProgress");
  pbTransfer_ = new QProgressBar(this);
  pbTransfer_->setObjectName("pbTransfer");
  pbTransfer_->setRange(0, 100);
  pbTransfer_->setTextVisible(false);
  lblSpeed_ = new QLabel(this);
  lblSpeed_->setObjectName("lblSpeed");
  lblTime_ = new QLabel(this);
  lblTime_->setObjectName("lblTime");
  cmdCancel_ = new QPushButton(QString::fromUtf8(session::texts::kProgressCmdCancel), this);
  cmdCancel_->setObjectName("cmdCancel");
  cmdCancel_->setAutoDefault(true);
  cmdCancel_->setDefault(true);
  connect(cmdCancel_, &QPushButton::clicked, this, [this] {
    if (cancel_) cancel_();
  });

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(14, 12, 14, 12);
  root->setSpacing(8);
  auto* top = new QHBoxLayout;
  top->setSpacing(12);
  top->addWidget(imgAnimation_, 0, Qt::AlignTop);
  auto* paths = new QGridLayout;
  paths->setHorizontalSpacing(8);
  paths->setVerticalSpacing(4);
  paths->addWidget(lblSourceTitle_, 0, 0);
  paths->addWidget(lblSource_, 0, 1);
  paths->addWidget(lblDestinationTitle_, 1, 0);
  paths->addWidget(lblDestination_, 1, 1);
  paths->setColumnStretch(1, 1);
  top->addLayout(paths, 1);
  root->addLayout(top);
  root->addSpacing(4);
  root->addWidget(lblProgress_);
  root->addWidget(pbTransfer_);
  auto* rates = new QHBoxLayout;
  rates->addWidget(lblSpeed_);
  rates->addStretch(1);
  rates->addWidget(lblTime_);
  root->addLayout(rates);
  root->addSpacing(4);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdCancel_);
  root->addLayout(buttons);

  const int width = fontMetrics().horizontalAdvance(QLatin1Char('M')) * 36;
  setMinimumWidth(std::max(width, 420));
  resize(minimumWidth(), sizeHint().height());
}

void ProgressWindow::Render(const session::ProgressViewState& state) {
  const QString caption = state.caption.empty()
                              ? QString::fromUtf8(session::texts::kProgressCaption)
                              : Q(state.caption);
  if (windowTitle() != caption) setWindowTitle(caption);
  static_cast<PathLabel*>(lblSource_)->SetPath(Q(state.source));
  static_cast<PathLabel*>(lblDestination_)->SetPath(Q(state.destination));
  SetTextIfChanged(lblProgress_, Q(state.progress_text));
  if (pbTransfer_->value() != state.percent) pbTransfer_->setValue(state.percent);
  SetTextIfChanged(lblSpeed_, Q(state.speed_text));
  SetTextIfChanged(lblTime_, Q(state.time_text));
  if (lblTime_->isVisibleTo(this) != state.time_visible) lblTime_->setVisible(state.time_visible);
  if (upload_ != state.upload || frame_ != state.animation_frame) {
    upload_ = state.upload;
    frame_ = state.animation_frame;
    ShowFrame();
  }
  if (state.visible && !isVisible()) {
    show();
    raise();
    activateWindow();
  }
}

void ProgressWindow::ShowFrame() {
  const std::string key = (upload_ ? "up" : "down") + std::to_string(frame_);
  imgAnimation_->setPixmap(ArtPixmap(key, kAnimationSize, devicePixelRatioF()));
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
  // The close box cancels like the button; the window itself goes when the
  // session says the transfer is over.
  event->ignore();
  if (cancel_) cancel_();
}

}  // namespace gui
