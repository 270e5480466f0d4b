#include "gui/file_list_model.h"

#include <QIcon>

#include "session/window_texts.h"

namespace gui {

FileListModel::FileListModel(const session::ListRows& rows, IconLookup icons, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), icons_(std::move(icons)) {}

QModelIndex FileListModel::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || row < 0 || column < 0 || column >= kColumnCount ||
      static_cast<std::size_t>(row) >= rows_.size()) {
    return {};
  }
  return createIndex(row, column);
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
    return {};
  }
  const session::ListItemView row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case kName:
          return QString::fromStdString(row.name);
        case kSize:
          return QString::fromStdString(row.size_text);
        case kModified:
          return QString::fromStdString(row.modified_text);
      }
      return {};
    case Qt::DecorationRole:
      if (index.column() == kName && icons_) return icons_(row.icon_key);
      return {};
    case Qt::ForegroundRole:
      if (row.blue) return LinkedRowColour();
      return {};
    case Qt::TextAlignmentRole:
      if (index.column() == kSize) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole) {
    return section == kSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                            : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) return {};
  switch (section) {
    case kName:
      return QString::fromUtf8(session::texts::kColumnName);
    case kSize:
      return QString::fromUtf8(session::texts::kColumnSize);
    case kModified:
      return QString::fromUtf8(session::texts::kColumnModified);
  }
  return {};
}

void FileListModel::RowsAboutToChange(const session::RowsChange& change) {
  using Kind = session::RowsChange::Kind;
  switch (change.kind) {
    case Kind::kReset:
      beginResetModel();
      break;
    case Kind::kInserted:
      beginInsertRows({}, change.first, change.first + change.count - 1);
      break;
    case Kind::kRemoved:
      beginRemoveRows({}, change.first, change.first + change.count - 1);
      break;
    case Kind::kChanged:
      break;
  }
}

void FileListModel::RowsChanged(const session::RowsChange& change) {
  using Kind = session::RowsChange::Kind;
  switch (change.kind) {
    case Kind::kReset:
      endResetModel();
      break;
    case Kind::kInserted:
      endInsertRows();
      break;
    case Kind::kRemoved:
      endRemoveRows();
      break;
    case Kind::kChanged:
      if (change.count > 0) {
        emit dataChanged(index(change.first, 0),
                         index(change.first + change.count - 1, kColumnCount - 1));
      }
      break;
  }
}

}  // namespace gui
