#pragma once

#include <QStyledItemDelegate>

namespace gui {

/// The file list's label tips: hovering a cell whose text the column cuts off
/// shows the whole text as a tooltip; a cell that shows all of its text shows
/// none. Cells draw no focus frame of their own: the list draws one round
/// the whole current row.
class LabelTipDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

  /// Whether the text of `index` is cut off when drawn in `option.rect`.
  bool IsCutOff(const QStyleOptionViewItem& option, const QModelIndex& index) const;
};

}  // namespace gui
