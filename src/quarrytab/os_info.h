#pragma once

#include <cstdint>
#include <string>

#include "quarrytab/ole_date.h"
#include "quarrytab/os_edition.h"

namespace quarrytab {

/// Special folders GetFolderPath knows (the shell's folder identifiers).
enum SpecialFolderIDs : std::int32_t {
  UserAdminTools = 48,
  UserAppData = 26,
  UserCDBurning = 59,
  UserCookies = 33,
  UserDesktop = 16,
  UserDocuments = 5,
  UserFavorites = 6,
  UserHistory = 34,
  UserLocalAppData = 28,
  UserMyMusic = 13,
  UserMyPictures = 39,
  UserMyVideos = 14,
  UserNetHood = 19,
  UserPrintHood = 27,
  UserProfileRoot = 40,
  UserRecent = 8,
  UserSendTo = 9,
  UserStartMenu = 11,
  UserStartPrograms = 2,
  UserStartup = 7,
  UserTemplates = 21,
  UserTempInternetFiles = 32,
  CommonAdminTools = 47,
  CommonAppData = 35,
  CommonDesktop = 25,
  CommonDocuments = 46,
  CommonFavorites = 31,
  CommonMyMusic = 53,
  CommonMyPictures = 54,
  CommonMyVideos = 55,
  CommonStartMenu = 22,
  CommonStartPrograms = 23,
  CommonStartup = 24,
  CommonTemplates = 45,
  Fonts = 20,
  Windows = 36,
  System32 = 37,
  ProgramFiles = 38,
  ProgramFilesCommonFiles = 43,
};

/// Operating-system facts, the version record taken when the object is created.
///
/// On Linux:
/// - the version record is the kernel's release (uname): VerMajor, VerMinor
///   and Build are its major, minor and patch numbers ("6.1.0-18" gives 6, 1,
///   0), so VerMajor is 6 or more on every kernel since 2022; ProductType is
///   workstation (1), there are no service packs, the suite mask is 0;
/// - GetFullVersionString is the distribution's PRETTY_NAME from
///   /etc/os-release (then /usr/lib/os-release), "Linux" without one;
/// - InstallDate is the birth time of the root directory (the file system's
///   creation), 0 when the file system does not record it;
/// - RegisteredOwner and RegisteredOrganization are the values of the
///   HKEY_LOCAL_MACHINE hive of the Registry object; an absent owner reads as
///   the user's full name from the password database;
/// - TempFolder is $TMPDIR, else "/tmp", with a trailing "/";
/// - GetFolderPath maps the user folders to the XDG user directories
///   ($XDG_CONFIG_HOME/user-dirs.dirs, or the default "~/Desktop" ... with
///   `default_path`), application data to $XDG_CONFIG_HOME and
///   $XDG_DATA_HOME, the start menu to the desktop-entry directories, Windows
///   to "/", System32 to "/usr/bin", ProgramFiles to "/usr"; folders Linux has
///   no place for (cookies, history, network places, ...) give "";
/// - x64 is true for a 32-bit build under a 64-bit kernel;
/// - MonitorsCount comes from the installed DisplayFacts.
class OSInfo {
 public:
  OSInfo();
  /// An object over a given record. With an empty distribution name the
  /// edition text is the Windows one of the record and `facts`.
  OSInfo(OsVersionRecord record, EditionFacts facts, std::string distribution_name);

  Date InstallDate() const;
  std::string RegisteredOrganization() const;
  void SetRegisteredOrganization(const std::string& value);
  std::string RegisteredOwner() const;
  void SetRegisteredOwner(const std::string& value);
  std::string TempFolder() const;
  /// The special folder `id` (SpecialFolderIDs); `default_path` asks for its
  /// default location instead of the current one; "" for an unknown folder.
  std::string GetFolderPath(std::int32_t id, bool default_path = false) const;
  /// Major x 256 + minor.
  std::int16_t Version() const;
  std::int32_t Build() const { return static_cast<std::int32_t>(record_.build); }
  /// The edition text; with `include_sp` followed by ", " and the service-pack
  /// name when there is one.
  std::string GetFullVersionString(bool include_sp = false) const;
  std::int16_t VerMajor() const { return static_cast<std::int16_t>(record_.major); }
  std::int16_t VerMinor() const { return static_cast<std::int16_t>(record_.minor); }
  std::uint8_t ProductType() const { return record_.product_type; }
  std::int16_t ServicePack() const { return static_cast<std::int16_t>(record_.service_pack_major); }
  const std::string& ServicePackName() const { return record_.service_pack; }
  bool x64() const;
  std::int16_t MonitorsCount() const;

  const OsVersionRecord& Record() const { return record_; }

 private:
  OsVersionRecord record_;
  EditionFacts facts_;
  std::string distribution_name_;
};

}  // namespace quarrytab
