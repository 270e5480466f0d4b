#include "quarrytab/hive.h"

#include <algorithm>
#include <cstdio>

#include "quarrytab/system_message.h"
#include "support/codepage.h"
#include "support/text.h"

namespace quarrytab {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kHexLineWidth = 76;  // where regedit wraps long hex lists

bool IsTextType(std::int32_t type) { return type == 1 || type == 2 || type == 7; }

std::string StripTrailingBackslashes(std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return std::string(path);
}

/// The section path of a key: the root's name, then the key path.
bool FullPath(std::uint32_t root, std::string_view path, std::string& out) {
  const std::string_view name = RootName(root);
  if (name.empty()) return false;
  out = std::string(name);
  const std::string rel = StripTrailingBackslashes(path);
  if (!rel.empty()) out += "\\" + rel;
  return true;
}

/// True when `path` lies below `parent` (case ignored); `rest` is what follows
/// the separating "\".
bool IsBelow(std::string_view path, std::string_view parent, std::string& rest) {
  if (path.size() <= parent.size() + 1 || path[parent.size()] != '\\') return false;
  if (!support::EqualsIgnoreCase(path.substr(0, parent.size()), parent)) return false;
  rest = std::string(path.substr(parent.size() + 1));
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexNumber(std::string_view text, std::uint32_t& value) {
  if (text.empty() || text.size() > 8) return false;
  value = 0;
  for (char c : text) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  return true;
}

/// Reads a quoted text starting at text[pos] == '"'; only \\ and \" are
/// escapes. Leaves pos after the closing quote.
bool ParseQuoted(std::string_view text, std::size_t& pos, std::string& out) {
  out.clear();
  for (++pos; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\' && pos + 1 < text.size() && (text[pos + 1] == '\\' || text[pos + 1] == '"')) {
      out.push_back(text[++pos]);
    } else {
      out.push_back(c);
    }
  }
  return false;
}

bool ParseByteList(std::string_view text, std::string& out) {
  out.clear();
  if (support::TrimBlanks(text).empty()) return true;
  for (const std::string& item : support::Split(text, ',')) {
    const std::string_view digits = support::TrimBlanks(item);
    std::uint32_t value = 0;
    if (digits.size() > 2 || !ParseHexNumber(digits, value)) return false;
    out.push_back(static_cast<char>(value));
  }
  return true;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

/// "hex:..." or "hex(N):..." with regedit's wrapping; `used` is the length of
/// the line so far.
std::string HexList(std::string_view prefix, std::string_view bytes, std::size_t used) {
  std::string out(prefix);
  used += prefix.size();
  char buf[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
    out += buf;
    used += 2;
    if (i + 1 < bytes.size()) {
      out.push_back(',');
      ++used;
      if (used >= kHexLineWidth) {
        out += "\\\r\n  ";
        used = 2;
      }
    }
  }
  return out;
}

/// Names that a hive file cannot hold on one line.
bool BreaksALine(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool HasSingleTerminator(std::string_view text) {
  return !text.empty() && text.back() == '\0' &&
         text.substr(0, text.size() - 1).find_first_of(std::string_view("\0\r\n", 3)) ==
             std::string_view::npos;
}

}  // namespace

std::string_view RootName(std::uint32_t root) {
  switch (root) {
    case kHkeyClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case kHkeyCurrentUser:
      return "HKEY_CURRENT_USER";
    case kHkeyLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case kHkeyUsers:
      return "HKEY_USERS";
    default:
      return "";
  }
}

namespace {

/// Parses one logical value line ("Name"=...); false when it is not one.
bool ParseValueLine(std::string_view line, std::string& name, RegistryData& data) {
  std::size_t pos = 0;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size()) return false;
  if (line[pos] == '@') {
    name.clear();
    ++pos;
  } else if (line[pos] != '"' || !ParseQuoted(line, pos, name)) {
    return false;
  }
  while (pos < line.size() && line[pos] == ' ') ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  const std::string_view rest = support::TrimBlanks(line.substr(pos + 1));
  if (!rest.empty() && rest[0] == '"') {
    std::size_t p = 0;
    std::string text;
    if (!ParseQuoted(rest, p, text) || p != rest.size()) return false;
    data.type = 1;
    data.bytes = text;
    data.bytes.push_back('\0');
    return true;
  }
  if (rest.starts_with("dword:")) {
    std::uint32_t value = 0;
    if (!ParseHexNumber(rest.substr(6), value)) return false;
    data.type = 4;
    data.bytes.clear();
    for (int i = 0; i < 4; ++i) data.bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return true;
  }
  std::string_view list;
  if (rest.starts_with("hex:")) {
    data.type = 3;
    list = rest.substr(4);
  } else if (rest.starts_with("hex(")) {
    const std::size_t close = rest.find("):");
    std::uint32_t type = 0;
    if (close == std::string_view::npos || !ParseHexNumber(rest.substr(4, close - 4), type)) {
      return false;
    }
    data.type = static_cast<std::int32_t>(type);
    list = rest.substr(close + 2);
  } else {
    return false;
  }
  if (!ParseByteList(list, data.bytes)) return false;
  if (IsTextType(data.type)) data.bytes = support::Utf16LeBytesToUtf8(data.bytes);
  return true;
}

std::string FormatValue(std::string_view name, const RegistryData& data) {
  std::string out = name.empty() ? std::string("@") : Quote(name);
  out += "=";
  if (data.type == 1 && HasSingleTerminator(data.bytes)) {
    return out + Quote(std::string_view(data.bytes).substr(0, data.bytes.size() - 1));
  }
  if (data.type == 4 && data.bytes.size() == 4) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value * 256 + static_cast<unsigned char>(data.bytes[i]);
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(value));
    return out + buf;
  }
  if (data.type == 3) return out + HexList("hex:", data.bytes, out.size());
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(data.type));
  const std::string bytes =
      IsTextType(data.type) ? support::Utf8ToUtf16LeBytes(data.bytes) : data.bytes;
  return out + HexList(prefix, bytes, out.size());
}

}  // namespace

Hive Hive::Parse(std::string_view text) {
  std::string converted;
  if (text.size() >= 2 && text[0] == '\xFF' && text[1] == '\xFE') {
    converted = support::Utf16LeBytesToUtf8(text.substr(2));
    text = converted;
  } else if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  std::vector<std::string> lines = support::Split(text, '\n');
  for (std::string& l : lines) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
  }

  Hive hive;
  Key* current = nullptr;
  bool seen_signature = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view trimmed = support::TrimBlanks(lines[i]);
    if (trimmed.empty()) continue;
    if (current == nullptr && !seen_signature && trimmed == kHiveSignature) {
      seen_signature = true;
      continue;
    }
    if (trimmed.size() > 2 && trimmed.front() == '[' && trimmed.back() == ']' &&
        trimmed[1] != '-') {
      const std::string path = StripTrailingBackslashes(trimmed.substr(1, trimmed.size() - 2));
      if (path.empty()) {
        // "[\]" names no key; kept as a line of the key before it.
        if (current != nullptr) current->entries.push_back(Entry{false, {}, {}, lines[i]});
        if (current == nullptr) hive.preamble_.push_back(lines[i]);
        continue;
      }
      current = hive.FindKey(path);
      if (current == nullptr) {
        hive.keys_.push_back(Key{path, {}});
        current = &hive.keys_.back();
      }
      continue;
    }
    std::string logical = lines[i];
    std::string raw = lines[i];
    while (logical.find("=hex") != std::string::npos && i + 1 < lines.size()) {
      const std::string_view t = support::TrimBlanks(logical);
      if (t.empty() || t.back() != '\\' || support::TrimBlanks(lines[i + 1]).empty()) break;
      logical =
          std::string(t.substr(0, t.size() - 1)) + std::string(support::TrimBlanks(lines[++i]));
      raw += "\n" + lines[i];
    }
    Entry entry;
    if (current != nullptr && ParseValueLine(logical, entry.name, entry.data)) {
      entry.is_value = true;
      hive.AddEntry(*current, std::move(entry));
    } else if (current != nullptr) {
      entry.raw = raw;
      current->entries.push_back(std::move(entry));
    } else {
      hive.preamble_.push_back(raw);
    }
  }
  return hive;
}

std::string Hive::Serialize() const {
  std::string out(kHiveSignature);
  out += kCrLf;
  auto raw_lines = [&out](std::string_view raw) {
    for (const std::string& l : support::Split(raw, '\n')) out += l + std::string(kCrLf);
    // A kept line ending in "\" would swallow the next line when read again;
    // a blank line keeps them apart, as it did (or the end of file) when read.
    if (support::TrimBlanks(raw).ends_with('\\')) out += kCrLf;
  };
  for (const std::string& p : preamble_) raw_lines(p);
  for (const Key& key : keys_) {
    out += kCrLf;
    out += "[" + key.full_path + "]" + std::string(kCrLf);
    for (const Entry& e : key.entries) {
      if (e.is_value) {
        out += FormatValue(e.name, e.data) + std::string(kCrLf);
      } else {
        raw_lines(e.raw);
      }
    }
  }
  out += kCrLf;
  return out;
}

void Hive::AddEntry(Key& key, Entry entry) {
  for (Entry& e : key.entries) {
    if (e.is_value && support::EqualsIgnoreCase(e.name, entry.name)) {
      e.data = std::move(entry.data);
      return;
    }
  }
  key.entries.push_back(std::move(entry));
}

Hive::Key* Hive::FindKey(std::string_view full_path) {
  for (Key& k : keys_) {
    if (support::EqualsIgnoreCase(k.full_path, full_path)) return &k;
  }
  return nullptr;
}

const Hive::Key* Hive::FindKey(std::string_view full_path) const {
  return const_cast<Hive*>(this)->FindKey(full_path);
}

bool Hive::KeyExists(std::string_view full_path) const {
  if (full_path.find('\\') == std::string_view::npos) return true;  // a root
  std::string rest;
  for (const Key& k : keys_) {
    if (support::EqualsIgnoreCase(k.full_path, full_path) ||
        IsBelow(k.full_path, full_path, rest)) {
      return true;
    }
  }
  return false;
}

std::int32_t Hive::OpenKey(std::uint32_t root, std::string_view path) const {
  std::string full;
  if (!FullPath(root, path, full)) return kErrorInvalidHandle;
  return KeyExists(full) ? kErrorSuccess : kErrorFileNotFound;
}

std::int32_t Hive::CreateKey(std::uint32_t root, std::string_view path) {
  std::string full;
  if (!FullPath(root, path, full)) return kErrorInvalidHandle;
  const std::string rel = StripTrailingBackslashes(path);
  if (rel.empty()) return kErrorSuccess;
  if (BreaksALine(rel) || rel.find(']') != std::string::npos) return kErrorInvalidParameter;
  std::string prefix(RootName(root));
  for (const std::string& part : support::Split(rel, '\\')) {
    if (part.empty()) return kErrorInvalidParameter;
    prefix += "\\" + part;
    if (FindKey(prefix) == nullptr) keys_.push_back(Key{prefix, {}});
  }
  return kErrorSuccess;
}

std::int32_t Hive::DeleteKey(std::uint32_t root, std::string_view path) {
  std::string full;
  if (!FullPath(root, path, full)) return kErrorInvalidHandle;
  if (StripTrailingBackslashes(path).empty()) return kErrorAccessDenied;
  if (!KeyExists(full)) return kErrorFileNotFound;
  std::string rest;
  for (const Key& k : keys_) {
    if (IsBelow(k.full_path, full, rest)) return kErrorAccessDenied;  // has sub-keys
  }
  std::erase_if(keys_, [&](const Key& k) { return support::EqualsIgnoreCase(k.full_path, full); });
  return kErrorSuccess;
}

std::int32_t Hive::QueryValue(std::uint32_t root, std::string_view path, std::string_view name,
                              RegistryData& out) const {
  std::string full;
  if (!FullPath(root, path, full)) return kErrorInvalidHandle;
  const Key* key = FindKey(full);
  if (key == nullptr) return kErrorFileNotFound;
  for (const Entry& e : key->entries) {
    if (e.is_value && support::EqualsIgnoreCase(e.name, name)) {
      out = e.data;
      return kErrorSuccess;
    }
  }
  return kErrorFileNotFound;
}

std::int32_t Hive::SetValue(std::uint32_t root, std::string_view path, std::string_view name,
                            const RegistryData& data) {
  std::string full;
  if (!FullPath(root, path, full)) return kErrorInvalidHandle;
  if (BreaksALine(name)) return kErrorInvalidParameter;
  if (!KeyExists(full)) return kErrorFileNotFound;
  Key* key = FindKey(full);
  if (key == nullptr) {
    keys_.push_back(Key{full, {}});
    key = &keys_.back();
  }
  Entry entry;
  entry.is_value = true;
  entry.name = std::string(name);
  entry.data = data;
  AddEntry(*key, std::move(entry));
  return kErrorSuccess;
}

std::int32_t Hive::DeleteValue(std::uint32_t root, std::string_view path, std::string_view name) {
  std::string full;
  if (!FullPath(root, path, full)) return kErrorInvalidHandle;
  Key* key = FindKey(full);
  if (key == nullptr) return kErrorFileNotFound;
  const auto before = key->entries.size();
  std::erase_if(key->entries, [&](const Entry& e) {
    return e.is_value && support::EqualsIgnoreCase(e.name, name);
  });
  return key->entries.size() == before ? kErrorFileNotFound : kErrorSuccess;
}

std::int32_t Hive::EnumValues(std::uint32_t root, std::string_view path,
                              std::vector<std::string>& names) const {
  names.clear();
  std::string full;
  if (!FullPath(root, path, full)) return kErrorInvalidHandle;
  if (!KeyExists(full)) return kErrorFileNotFound;
  if (const Key* key = FindKey(full)) {
    for (const Entry& e : key->entries) {
      if (e.is_value) names.push_back(e.name);
    }
  }
  return kErrorSuccess;
}

std::int32_t Hive::EnumKeys(std::uint32_t root, std::string_view path,
                            std::vector<std::string>& names) const {
  names.clear();
  std::string full;
  if (!FullPath(root, path, full)) return kErrorInvalidHandle;
  if (!KeyExists(full)) return kErrorFileNotFound;
  std::string rest;
  for (const Key& k : keys_) {
    if (!IsBelow(k.full_path, full, rest)) continue;
    const std::string child = rest.substr(0, rest.find('\\'));
    const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
      return support::EqualsIgnoreCase(n, child);
    });
    if (!known && !child.empty()) names.push_back(child);
  }
  return kErrorSuccess;
}

}  // namespace quarrytab
