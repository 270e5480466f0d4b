#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace session {

class FolderLinkMap;

/// One row of the file list, in server order, as the window shows it.
struct ListItemView {
  std::string name;
  std::string size_text;
  std::string modified_text;
  std::string icon_key;  ///< "I" + extension, e.g. "I.pdf", "I.", "Idummyfile"
  bool is_folder = false;
  bool blue = false;  ///< drawn blue: inside a linked folder, or a linked folder itself
};

/// The rows of the file list.
///
/// A folder can hold a hundred thousand entries, and the window shows a few
/// dozen of them at a time, so the rows of a LIST reply are kept as the reply
/// text itself plus the place of each row's fields in it; a row's name is
/// converted and its size and date texts are formatted only when the row is
/// read. Rows added or changed one at a time (a new folder, an upload, a
/// rename) are kept whole.
///
/// Rows read by value: `rows[i]` and the iterators give a ListItemView made on
/// the spot. Name, IsFolder, ByteSize and Stamp read one field without
/// formatting the others.
class ListRows {
 public:
  class const_iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = ListItemView;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = ListItemView;

    const_iterator() = default;
    const_iterator(const ListRows* rows, std::size_t at) : rows_(rows), at_(at) {}
    ListItemView operator*() const { return (*rows_)[at_]; }
    const_iterator& operator++() {
      ++at_;
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator before = *this;
      ++at_;
      return before;
    }
    bool operator==(const const_iterator& other) const { return at_ == other.at_; }

   private:
    const ListRows* rows_ = nullptr;
    std::size_t at_ = 0;
  };

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  ListItemView operator[](std::size_t i) const;
  ListItemView back() const { return (*this)[size() - 1]; }
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size()}; }

  /// The name of row `i` (UTF-8).
  std::string Name(std::size_t i) const;
  bool IsFolder(std::size_t i) const { return entries_[i].folder; }
  /// The size in bytes the server gave (0 for a folder).
  std::int64_t ByteSize(std::size_t i) const { return entries_[i].size; }
  /// The stamp "yyyymmddhhnnss" of a file row when it is a usable date, else
  /// an empty text (always for a folder).
  std::string Stamp(std::size_t i) const;

  void clear();
  /// Appends a whole row with its size in bytes and its stamp (empty for none).
  void push_back(ListItemView row, std::int64_t size = 0, std::string stamp = {});
  void erase(std::size_t i);
  /// Changes the size and date of row `i`: its texts and the values behind them.
  void SetSizeAndDate(std::size_t i, std::string size_text, std::string modified_text,
                      std::int64_t size, std::string stamp);
  void Rename(std::size_t i, std::string name);

  /// Appends the rows of a LIST argument text, `text` from offset `from` (see
  /// ParseListRows for its form), drawn blue when `in_link` or when `links`
  /// holds their name at the time they are read. Link targets of folder rows
  /// are entered in `links`. The text is kept (taken over whole when no other
  /// listed rows are held). Answers false, with the rows left as they were,
  /// when the text is malformed.
  bool AppendListText(std::string text, std::size_t from, bool in_link, FolderLinkMap& links);

 private:
  struct Entry {
    std::int64_t size = 0;
    std::uint32_t name_at = 0;  ///< of a listed row: offset and size of the name in text_
    std::uint32_t name_size = 0;
    std::uint32_t stamp_at = 0;  ///< ... and of its stamp
    std::uint32_t stamp_size = 0;
    std::int32_t whole = -1;  ///< index in whole_ of a row kept whole, else -1
    bool folder = false;
    bool in_link = false;
  };
  struct WholeRow {
    ListItemView view;
    std::string stamp;
  };

  /// Makes row `i` one kept whole and answers it.
  WholeRow& Whole(std::size_t i);
  std::string_view WireName(const Entry& e) const {
    return {text_.data() + e.name_at, e.name_size};
  }
  std::string_view WireStamp(const Entry& e) const {
    return {text_.data() + e.stamp_at, e.stamp_size};
  }

  std::vector<Entry> entries_;
  std::vector<WholeRow> whole_;
  std::string text_;  ///< the LIST texts the listed rows point into (Windows-1253)
  const FolderLinkMap* links_ = nullptr;
};

}  // namespace session
