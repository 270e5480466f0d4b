#pragma once

#include <QAbstractTableModel>
#include <QColor>

#include <functional>
#include <vector>

#include "session/main_view_state.h"

namespace gui {

/// The file list `lvFiles` as an item model over the session's rows, in server
/// order: column 0 the name with its file-type icon, 1 the size text (right
/// aligned), 2 the modified text. Rows of a linked folder, and every row inside
/// one, are drawn blue.
///
/// The model holds no copy of the rows: it reads the session's vector, and the
/// session tells it before and after every change (`RowsAboutToChange`,
/// `RowsChanged`), so views keep their selection and scroll position across
/// an added, removed or renamed row.
class FileListModel : public QAbstractTableModel, public session::RowsObserver {
  Q_OBJECT

 public:
  enum Column { kName = 0, kSize = 1, kModified = 2, kColumnCount = 3 };
  /// The icon of an image-list key ("I.pdf", "I.", "Idummyfile").
  using IconLookup = std::function<QIcon(const std::string& key)>;

  FileListModel(const session::ListRows& rows, IconLookup icons, QObject* parent = nullptr);

  // index and flags answer without the base class's range checks through
  // virtual calls: a list view asks for both once per row when it lays out,
  // and a folder can hold a hundred thousand rows.
  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  void RowsAboutToChange(const session::RowsChange& change) override;
  void RowsChanged(const session::RowsChange& change) override;

  /// The text colour of linked rows: pure blue.
  static QColor LinkedRowColour() { return QColor(0, 0, 255); }

 private:
  const session::ListRows& rows_;
  IconLookup icons_;
};

}  // namespace gui
