#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quarrytab {

/// Product types of the version record.
enum ProductTypes : std::uint8_t {
  kVerNtWorkstation = 1,
  kVerNtDomainController = 2,
  kVerNtServer = 3,
};

/// The extended OS version record as OSInfo keeps it.
struct OsVersionRecord {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint32_t platform = 0;
  std::string service_pack;  ///< up to its first NUL
  std::uint16_t service_pack_major = 0;
  std::uint16_t service_pack_minor = 0;
  std::uint16_t suite_mask = 0;
  std::uint8_t product_type = 0;
};

/// The facts beyond the version record that the Windows edition text needs.
struct EditionFacts {
  /// The product number of the product-info query; nothing when it failed.
  std::optional<std::uint32_t> product = std::nullopt;
  bool server_r2 = false;  ///< system metric 89 (Server 2003 R2)
  bool x64 = false;        ///< a 32-bit process under 64-bit Windows
};

/// The Windows edition text ("Windows 7 Professional x64 Edition, Service Pack
/// 1") of a version record: the name by major, minor, product type, suite mask
/// and product number, " x64 Edition" for x64 (replacing every " Edition"; not
/// for Server 2012 R2 and Server 2016), "Windows " in front, and with
/// `include_sp` ", " + the service-pack text when there is one. Unknown versions
/// read "<unknown>".
std::string WindowsEditionString(const OsVersionRecord& version, const EditionFacts& facts,
                                 bool include_sp);

}  // namespace quarrytab
