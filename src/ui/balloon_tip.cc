#include "ui/balloon_tip.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace ui {

namespace {

// The balloon's metrics, in device-independent pixels.
constexpr int kTail = 14;       ///< height of the tail (also its width: a 45-degree edge)
constexpr int kTailInset = 16;  ///< from the balloon's left edge to the tail's tip
constexpr int kTipIntoBox = 2;  ///< how far the tip reaches into the box
constexpr int kRadius = 8;      ///< of the body's corners
constexpr int kPad = 9;         ///< between the border and the contents
constexpr int kIconSize = 16;
constexpr int kIconGap = 6;   ///< between the icon and the title
constexpr int kTitleGap = 5;  ///< between the title line and the text
constexpr int kMaxTextWidth = 320;

QStyle::StandardPixmap StandardIcon(int icon) {
  switch (icon) {
    case BalloonTip::kIconInformation:
      return QStyle::SP_MessageBoxInformation;
    case BalloonTip::kIconWarning:
      return QStyle::SP_MessageBoxWarning;
    case BalloonTip::kIconError:
      return QStyle::SP_MessageBoxCritical;
    default:
      return QStyle::SP_CustomBase;  // no icon
  }
}

class Balloon;

QPointer<Balloon>& CurrentBalloon() {
  static QPointer<Balloon> balloon;
  return balloon;
}

/// The balloon window. It watches the whole application for what takes it
/// down.
class Balloon : public QWidget {
 public:
  Balloon(QWidget* edit, const QString& text, const QString& title, int icon)
      : QWidget(edit->window(),
                Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
        edit_(edit),
        text_(text),
        title_(title),
        icon_(StandardIcon(icon)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setPalette(QToolTip::palette());
    setFont(QToolTip::font());
    timer_.setSingleShot(true);
    timer_.setInterval(BalloonTip::kTimeoutMs);
    QObject::connect(&timer_, &QTimer::timeout, [] { BalloonTip::HideBalloon(); });
    QObject::connect(edit, &QObject::destroyed, this, [] { BalloonTip::HideBalloon(); });
    Measure();
  }

  ~Balloon() override { qApp->removeEventFilter(this); }

  void Start() {
    Place();
    show();
    timer_.start();
    // The filter goes in once the event now being delivered is done: a filter
    // installed while Qt runs the filters of an event makes it run one of
    // them twice, and that event (the one that led to the balloon) is no
    // reason to take it down.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (CurrentBalloon() == this) qApp->installEventFilter(this);
        },
        Qt::QueuedConnection);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::NonClientAreaMouseButtonPress:
      case QEvent::TouchBegin:
      case QEvent::TabletPress:
        BalloonTip::HideBalloon();
        break;
      case QEvent::KeyPress:
      case QEvent::FocusOut:
      case QEvent::Hide:
        if (watched == edit_) BalloonTip::HideBalloon();
        break;
      case QEvent::InputMethod:
        if (watched == edit_ && !static_cast<QInputMethodEvent*>(event)->commitString().isEmpty()) {
          BalloonTip::HideBalloon();
        }
        break;
      case QEvent::Move:
      case QEvent::Resize:
        if (edit_ && watched == edit_->window()) Place();  // the tail keeps pointing at the box
        break;
      default:
        break;
    }
    return false;
  }

  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    const QPalette& pal = palette();
    const QColor base = pal.color(QPalette::ToolTipBase);
    const QColor ink = pal.color(QPalette::ToolTipText);
    // The outline is the shape's one-pixel rim, so it follows the window's
    // mask exactly at every scale.
    const QRegion inner = shape_ & shape_.translated(1, 0) & shape_.translated(-1, 0) &
                          shape_.translated(0, 1) & shape_.translated(0, -1);
    const QColor rim =
        QColor::fromRgbF(static_cast<float>(ink.redF() * 0.55 + base.redF() * 0.45),
                         static_cast<float>(ink.greenF() * 0.55 + base.greenF() * 0.45),
                         static_cast<float>(ink.blueF() * 0.55 + base.blueF() * 0.45));
    for (const QRect& r : shape_ - inner) painter.fillRect(r, rim);
    for (const QRect& r : inner) painter.fillRect(r, base);

    const QPoint origin = Body().topLeft() + QPoint(kPad, kPad);
    painter.setPen(ink);
    if (HasTitleLine()) {
      int x = origin.x();
      if (icon_ != QStyle::SP_CustomBase) {
        const QPixmap pixmap = style()
                                   ->standardIcon(icon_, nullptr, this)
                                   .pixmap(QSize(kIconSize, kIconSize), devicePixelRatioF());
        painter.drawPixmap(QPoint(x, origin.y() + (title_line_ - kIconSize) / 2), pixmap);
        x += kIconSize + kIconGap;
      }
      QFont bold = font();
      bold.setBold(true);
      painter.setFont(bold);
      painter.drawText(QRect(x, origin.y(), Body().right() - kPad - x + 1, title_line_),
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title_);
      painter.setFont(font());
    }
    painter.drawText(TextRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
  }

 private:
  bool HasTitleLine() const { return !title_.isEmpty(); }

  /// Sizes the contents: the title line and the wrapped text.
  void Measure() {
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics title_metrics(bold);
    const QFontMetrics metrics(font());
    int title_width = 0;
    if (HasTitleLine()) {
      title_width = title_metrics.horizontalAdvance(title_);
      if (icon_ != QStyle::SP_CustomBase) title_width += kIconSize + kIconGap;
      title_line_ = std::max(kIconSize, title_metrics.height());
    }
    text_size_ =
        metrics.boundingRect(QRect(0, 0, kMaxTextWidth, 100000), Qt::TextWordWrap, text_).size();
    const int content_width = std::max({title_width, text_size_.width(), 2 * kTail});
    const int content_height =
        (HasTitleLine() ? title_line_ + kTitleGap : 0) + std::max(text_size_.height(), 0);
    body_size_ = QSize(content_width + 2 * kPad, content_height + 2 * kPad);
  }

  QRect Body() const { return QRect(QPoint(0, tail_up_ ? kTail : 0), body_size_); }

  QRect TextRect() const {
    const QRect body = Body();
    const int top = body.top() + kPad + (HasTitleLine() ? title_line_ + kTitleGap : 0);
    return QRect(body.left() + kPad, top, body.width() - 2 * kPad, text_size_.height());
  }

  /// Puts the balloon below the box (above it when there is no room below),
  /// within the screen, with the tail's tip on the box.
  void Place() {
    if (!edit_) return;
    const QRect box(edit_->mapToGlobal(QPoint(0, 0)), edit_->size());
    const QScreen* screen = edit_->screen();
    const QRect area =
        screen ? screen->availableGeometry() : QRect(box.topLeft(), QSize(4096, 4096));
    const QSize size(body_size_.width(), body_size_.height() + kTail);

    const int tip_x = box.left() + std::min(kTailInset + 4, box.width() / 2);
    tail_up_ = box.bottom() - kTipIntoBox + size.height() <= area.bottom() ||
               box.top() + kTipIntoBox - size.height() < area.top();
    const int top =
        tail_up_ ? box.bottom() + 1 - kTipIntoBox : box.top() + kTipIntoBox - size.height();
    int left = tip_x - kTailInset;
    left = std::max(area.left(), std::min(left, area.right() + 1 - size.width()));
    const int lowest = kRadius + 1;
    const int highest = size.width() - kRadius - 1 - kTail;
    tail_x_ = std::clamp(tip_x - left, lowest, std::max(lowest, highest));

    // The shape is built from whole pixels (a polygon region rounds its
    // curves away): the body with elliptic corners, and the tail one row at
    // a time, its left edge upright and its right edge at 45 degrees.
    const QRect body = Body();
    const int d = 2 * kRadius;
    shape_ = QRegion(body.adjusted(kRadius, 0, -kRadius, 0)) |
             QRegion(body.adjusted(0, kRadius, 0, -kRadius)) |
             QRegion(QRect(body.left(), body.top(), d, d), QRegion::Ellipse) |
             QRegion(QRect(body.right() + 1 - d, body.top(), d, d), QRegion::Ellipse) |
             QRegion(QRect(body.left(), body.bottom() + 1 - d, d, d), QRegion::Ellipse) |
             QRegion(QRect(body.right() + 1 - d, body.bottom() + 1 - d, d, d), QRegion::Ellipse);
    for (int row = 0; row <= kTail; ++row) {
      const int y = tail_up_ ? row : size.height() - 1 - row;
      shape_ |= QRegion(tail_x_, y, row + 1, 1);
    }

    setGeometry(QRect(QPoint(left, top), size));
    setMask(shape_);
    update();
  }

  QPointer<QWidget> edit_;
  QString text_;
  QString title_;
  QStyle::StandardPixmap icon_;
  QTimer timer_;
  int title_line_ = 0;
  QSize text_size_;
  QSize body_size_;
  bool tail_up_ = true;
  int tail_x_ = kTailInset;
  QRegion shape_;
};

}  // namespace

void BalloonTip::ShowBalloonTip(QWidget* edit, const QString& text, const QString& title,
                                int icon) {
  HideBalloon();
  if (!edit) return;
  edit->setFocus(Qt::OtherFocusReason);
  auto* balloon = new Balloon(edit, text, title, icon);
  CurrentBalloon() = balloon;
  balloon->Start();
}

QWidget* BalloonTip::Current() { return CurrentBalloon().data(); }

void BalloonTip::HideBalloon() {
  QPointer<Balloon>& current = CurrentBalloon();
  if (!current) return;
  Balloon* balloon = current.data();
  current = nullptr;
  qApp->removeEventFilter(balloon);
  balloon->hide();
  balloon->deleteLater();
}

}  // namespace ui
