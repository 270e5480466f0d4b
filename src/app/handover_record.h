#pragma once

// The auto-connect hand-over: another program (an integrator's tool, or
// vaultline-handover) puts a user ID and password into a named shared memory
// record before it starts the client; the main window takes them at load and
// logs in with them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace app {

/// The record's name in the Local namespace of SharedMemory.
inline constexpr const char* kHandoverRecordName = "B6183127-B998-11E3-B77B-D850E6DB001F";
/// Bytes 0-29: the user ID, 15 UTF-16LE units; bytes 30-89: the password, 30
/// units. Both are padded on the right with spaces.
inline constexpr std::size_t kHandoverRecordSize = 90;
inline constexpr std::size_t kHandoverUserIdUnits = 15;
inline constexpr std::size_t kHandoverPasswordUnits = 30;

struct HandoverCredentials {
  std::string user_id;
  std::string password;
};

/// The 90 bytes of a record. A field longer than its units is cut after the
/// last whole character that fits: a character outside the BMP takes two
/// units and is dropped whole rather than split. Malformed UTF-8 becomes
/// U+FFFD.
std::string EncodeHandoverRecord(std::string_view user_id_utf8, std::string_view password_utf8);

/// The fields of a record, trailing spaces trimmed (so a password that ends
/// in spaces loses them: the padding cannot be told from them). Total: a
/// short input gives what it holds, bytes past 90 are ignored, and an
/// unpaired surrogate becomes U+FFFD.
HandoverCredentials DecodeHandoverRecord(std::string_view bytes);

/// A record with both fields blank: 45 UTF-16LE spaces.
std::string BlankHandoverRecord();

/// The main window's side of the hand-over: when the record `name` exists and
/// holds a user ID, blanks it (so it is used once) and returns the
/// credentials. A missing, unreadable or too small record, or one whose user
/// ID is blank, is the normal "no hand-over" case: nothing, and the record is
/// left as it was; errors of the shared memory never escape.
std::optional<HandoverCredentials> TakeHandover(bool global = false,
                                                std::string_view name = kHandoverRecordName);

}  // namespace app
