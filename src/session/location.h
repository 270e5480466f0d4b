#pragma once

#include <map>
#include <string>
#include <string_view>

namespace session {

/// Folder name -> link target, with names compared without regard to letter
/// case. Storing a name that is present replaces its target.
class FolderLinkMap {
 public:
  void Set(std::string_view name, std::string target);
  bool Exists(std::string_view name) const;
  /// The target of `name`, or an empty text.
  std::string Target(std::string_view name) const;
  void Remove(std::string_view name);
  void Clear() { map_.clear(); }
  bool empty() const { return map_.empty(); }

 private:
  std::map<std::string, std::string> map_;  // key: folded name
  mutable std::string folded_;              // scratch of Exists
};

/// Where the user stands on the server.
///
/// `current_path` is a single backslash at the root and gains the folder name
/// and a backslash per level; inside a linked folder it is relative to the link
/// and empty at the link's top. `link_target` is the server path of the linked
/// folder being browsed (empty outside links) and `link_display_prefix` is
/// backslash + link name + backslash, shown before the current path.
struct RemoteLocation {
  std::string current_path = "\\";
  std::string link_target;
  std::string link_display_prefix;
  FolderLinkMap links;

  bool AtRoot() const { return current_path.size() == 1; }
  bool InLink() const { return !link_target.empty(); }
  /// The path sent with LIST and DOWNLOAD: link target + current path.
  std::string ServerPath() const { return link_target + current_path; }
  /// What the path label shows.
  std::string DisplayPath() const { return link_display_prefix + current_path; }

  /// Enters folder `name` of the current listing: a linked folder switches to
  /// its target (current path empty, prefix "\name\"), any other appends it.
  void Enter(std::string_view name);
  /// Goes one level up; from the top of a linked folder back to the root.
  void GoUp();
  /// Back to the root, outside any link (the folder map is kept).
  void Reset();
};

}  // namespace session
