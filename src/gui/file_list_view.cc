#include "gui/file_list_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>

namespace gui {

FileListView::FileListView(QWidget* parent) : QTableView(parent) {
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setTabKeyNavigation(false);  // Tab leaves the list, as from any other control
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTextElideMode(Qt::ElideRight);
  setSortingEnabled(false);  // server order
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setSectionsMovable(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setSectionsClickable(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  FitRowHeight();
}

int FileListView::RowHeight() const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
  option.text = QStringLiteral("Ág");
  return style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height();
}

void FileListView::FitRowHeight() { verticalHeader()->setDefaultSectionSize(RowHeight()); }

void FileListView::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) FitRowHeight();
}

QModelIndex FileListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  // The keys of a list of files rather than of a table: Home and End go to
  // the first and the last row, Left and Right stay on the row.
  switch (action) {
    case MoveHome:
    case MoveEnd: {
      const int rows = model() != nullptr ? model()->rowCount(rootIndex()) : 0;
      if (rows == 0) return {};
      return model()->index(action == MoveHome ? 0 : rows - 1, 0, rootIndex());
    }
    case MoveLeft:
    case MoveRight:
      return currentIndex();
    default:
      return QTableView::moveCursor(action, modifiers);
  }
}

void FileListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  UpdateRow(previous);
  UpdateRow(current);
}

void FileListView::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  UpdateRow(currentIndex());
}

void FileListView::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  UpdateRow(currentIndex());
}

QRect FileListView::RowRect(const QModelIndex& index) const {
  QRect row = visualRect(index);
  row.setLeft(0);
  row.setRight(horizontalHeader()->length() - horizontalHeader()->offset() - 1);
  return row;
}

void FileListView::UpdateRow(const QModelIndex& index) {
  if (index.isValid()) viewport()->update(RowRect(index));
}

void FileListView::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  // The focus frame goes round the whole current row, not round one cell
  // (the cells draw none of their own, see LabelTipDelegate::paint).
  const QModelIndex current = currentIndex();
  if (!current.isValid() || !hasFocus()) return;
  const QRect row = RowRect(current);
  if (!row.isValid() || !row.intersects(event->rect())) return;
  QPainter painter(viewport());
  QStyleOptionFocusRect frame;
  frame.initFrom(this);
  frame.state |= QStyle::State_KeyboardFocusChange;
  frame.rect = row;
  const bool selected = selectionModel() != nullptr && selectionModel()->isSelected(current);
  frame.backgroundColor = palette().color(selected ? QPalette::Highlight : QPalette::Base);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

}  // namespace gui
