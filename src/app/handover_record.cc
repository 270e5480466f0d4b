#include "app/handover_record.h"

#include "app/shared_memory.h"
#include "support/codepage.h"
#include "support/error.h"

namespace app {

namespace {

/// One field: at most `units` UTF-16LE units of `text`, then spaces.
std::string EncodeField(std::string_view text, std::size_t units) {
  std::string bytes = support::Utf8ToUtf16LeBytes(text);
  if (bytes.size() > units * 2) {
    std::size_t keep = units * 2;
    // A high surrogate as the last unit kept would lose its partner.
    const auto high = static_cast<unsigned char>(bytes[keep - 1]);
    if (high >= 0xD8 && high <= 0xDB) keep -= 2;
    bytes.resize(keep);
  }
  while (bytes.size() < units * 2) bytes.append(" \0", 2);
  return bytes;
}

std::string DecodeField(std::string_view bytes) {
  std::string text = support::Utf16LeBytesToUtf8(bytes);
  const auto end = text.find_last_not_of(' ');
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string_view FieldBytes(std::string_view bytes, std::size_t offset, std::size_t count) {
  if (offset >= bytes.size()) return {};
  return bytes.substr(offset, count);
}

}  // namespace

std::string EncodeHandoverRecord(std::string_view user_id_utf8, std::string_view password_utf8) {
  return EncodeField(user_id_utf8, kHandoverUserIdUnits) +
         EncodeField(password_utf8, kHandoverPasswordUnits);
}

HandoverCredentials DecodeHandoverRecord(std::string_view bytes) {
  constexpr std::size_t kIdBytes = kHandoverUserIdUnits * 2;
  constexpr std::size_t kPasswordBytes = kHandoverPasswordUnits * 2;
  return {DecodeField(FieldBytes(bytes, 0, kIdBytes)),
          DecodeField(FieldBytes(bytes, kIdBytes, kPasswordBytes))};
}

std::string BlankHandoverRecord() { return EncodeHandoverRecord({}, {}); }

std::optional<HandoverCredentials> TakeHandover(bool global, std::string_view name) {
  try {
    SharedMemory record;
    if (!record.OpenExisting(name, kHandoverRecordSize, /*read_only=*/false, global)) {
      return std::nullopt;
    }
    std::string bytes(kHandoverRecordSize, '\0');
    record.GetData(bytes.data(), bytes.size(), 0);
    HandoverCredentials credentials = DecodeHandoverRecord(bytes);
    if (credentials.user_id.empty()) return std::nullopt;
    const std::string blank = BlankHandoverRecord();
    record.SetData(blank.data(), blank.size(), 0);
    return credentials;
  } catch (const support::Error&) {
    return std::nullopt;
  }
}

}  // namespace app
