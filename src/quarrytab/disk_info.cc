#include "quarrytab/disk_info.h"

#include "support/error.h"

namespace quarrytab {

std::string DiskInfo::DriveLetter() const { return root_path_.substr(0, 1); }

void DiskInfo::SetDriveLetter(std::string_view letter) {
  if (letter.empty()) throw support::InvalidArgument("quarrytab.DiskInfo");
  char c = letter[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c < 'A' || c > 'Z') throw support::InvalidArgument("quarrytab.DiskInfo");
  root_path_ = std::string(1, c) + ":\\";
}

}  // namespace quarrytab
