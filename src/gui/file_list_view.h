#pragma once

#include <QTableView>

namespace gui {

/// The file list `lvFiles` drawn as a report: a header over three columns, no
/// grid and no row headers, whole rows selected one at a time, every row as
/// high as a row of an icon and a line of text. A table view lays out only the
/// rows it shows, so a folder of a hundred thousand files costs no more to
/// show than one of twenty.
class FileListView : public QTableView {
  Q_OBJECT

 public:
  explicit FileListView(QWidget* parent = nullptr);

 protected:
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  /// The height of every row: an item of a small icon and one line of text,
  /// as the style sizes it.
  int RowHeight() const;
  void FitRowHeight();
  /// The whole row of `index` in the viewport, all columns.
  QRect RowRect(const QModelIndex& index) const;
  /// Repaints the whole row of `index`, focus frame included.
  void UpdateRow(const QModelIndex& index);
};

}  // namespace gui
