#include "session/location.h"

#include "support/text.h"

namespace session {

void FolderLinkMap::Set(std::string_view name, std::string target) {
  map_[support::FoldCase(name)] = std::move(target);
}

bool FolderLinkMap::Exists(std::string_view name) const {
  if (map_.empty()) return false;  // the common case: no folding needed
  // Asked once per row of every list: fold into a kept buffer.
  support::FoldCaseTo(name, folded_);
  return map_.count(folded_) != 0;
}

std::string FolderLinkMap::Target(std::string_view name) const {
  const auto it = map_.find(support::FoldCase(name));
  return it == map_.end() ? std::string() : it->second;
}

void FolderLinkMap::Remove(std::string_view name) { map_.erase(support::FoldCase(name)); }

void RemoteLocation::Enter(std::string_view name) {
  if (links.Exists(name)) {
    link_target = links.Target(name);
    current_path.clear();
    link_display_prefix = "\\" + std::string(name) + "\\";
  } else {
    current_path.append(name);
    current_path.push_back('\\');
  }
}

void RemoteLocation::GoUp() {
  if (current_path.empty()) {
    // Top of a linked folder: back to the root.
    link_target.clear();
    current_path = "\\";
    return;
  }
  if (current_path.size() < 2) return;  // already at the root
  // Cut after the backslash that precedes the last component.
  const auto cut = current_path.rfind('\\', current_path.size() - 2);
  if (cut == std::string::npos) {
    // A path inside a link without a leading backslash ("a\"): its parent is
    // the top of the link.
    current_path.clear();
  } else {
    current_path.resize(cut + 1);
  }
}

void RemoteLocation::Reset() {
  current_path = "\\";
  link_target.clear();
  link_display_prefix.clear();
}

}  // namespace session
