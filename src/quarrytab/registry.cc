#include "quarrytab/registry.h"

#include <cstdlib>
#include <exception>

#include "quarrytab/system_message.h"
#include "support/codepage.h"
#include "support/error.h"
#include "support/text.h"

namespace quarrytab {
namespace {

constexpr const char* kCreateKeyFailed = "Failed to create registry key.";
constexpr const char* kDeleteFailed = "Failed to delete registry key.";
constexpr const char* kSetValueFailed = "Failed to set registry value.";

std::string TextData(std::string text, int terminators) {
  text.append(static_cast<std::size_t>(terminators), '\0');
  return text;
}

/// Text is written as an expandable string only when it holds "%%" followed,
/// from two characters on, by another "%".
bool LooksExpandable(std::string_view text) {
  const std::size_t pair = text.find("%%");
  return pair != std::string_view::npos && text.find('%', pair + 2) != std::string_view::npos;
}

std::int32_t Dword(const std::string& bytes, bool big_endian) {
  unsigned char b[4] = {0, 0, 0, 0};
  for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i)
    b[i] = static_cast<unsigned char>(bytes[i]);
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    v |= static_cast<std::uint32_t>(big_endian ? b[3 - i] : b[i]) << (8 * i);
  }
  return static_cast<std::int32_t>(v);
}

}  // namespace

std::string VariantToText(const Variant& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* i = std::get_if<std::int16_t>(&v)) return std::to_string(*i);
  if (const auto* l = std::get_if<std::int32_t>(&v)) return std::to_string(*l);
  if (const auto* d = std::get_if<double>(&v)) return support::FormatShortest(*d, 15);
  if (const auto* b = std::get_if<Bytes>(&v)) {
    return support::Utf16LeBytesToUtf8(std::string(b->begin(), b->end()));
  }
  return std::string();
}

std::string ExpandEnvironmentReferences(std::string_view text) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('%', pos);
    const std::size_t close =
        open == std::string_view::npos ? std::string_view::npos : text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    const std::string name(text.substr(open + 1, close - open - 1));
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value != nullptr) {
      out += value;
      pos = close + 1;
    } else {
      out.push_back('%');  // the closing "%" may open the next reference
      pos = open + 1;
      out.append(text.substr(pos, close - pos));
      pos = close;
    }
  }
  out.append(text.substr(pos));
  return out;
}

Registry::Registry() : store_(DefaultRegistryStore()) {}

Registry::Registry(std::shared_ptr<RegistryStore> store) : store_(std::move(store)) {}

void Registry::SetRemoteComputer(std::string name) {
  if (name.size() > 2 && !name.starts_with("\\\\")) name.insert(0, "\\\\");
  remote_computer_ = std::move(name);
}

void Registry::Raise(std::int32_t code, const char* operation) const {
  throw support::Error(kRegistryErrorBase + code, kRegistrySource,
                       std::string(operation) + "\r\n" + SystemMessageText(code));
}

bool Registry::KeyExists() const { return store_->OpenKey(class_key_, section_key_) == 0; }

void Registry::CreateKey() {
  if (const std::int32_t code = store_->CreateKey(class_key_, section_key_); code != 0) {
    Raise(code, kCreateKeyFailed);
  }
}

void Registry::DeleteKey() {
  if (const std::int32_t code = store_->DeleteKey(class_key_, section_key_); code != 0) {
    Raise(code, kDeleteFailed);
  }
}

void Registry::DeleteValue() {
  if (const std::int32_t code = store_->DeleteValue(class_key_, section_key_, value_key_);
      code != 0) {
    Raise(code, kDeleteFailed);
  }
}

Variant Registry::Value() {
  if (!remote_computer_.empty()) return default_;
  RegistryData data;
  if (store_->QueryValue(class_key_, section_key_, value_key_, data) != 0) return default_;
  value_type_ = data.type;
  switch (data.type) {
    case kRegSz:
    case kRegMultiSz:
      if (!data.bytes.empty() && data.bytes.back() == '\0') data.bytes.pop_back();
      return data.bytes;
    case kRegExpandSz:
      if (!data.bytes.empty() && data.bytes.back() == '\0') data.bytes.pop_back();
      return ExpandEnvironmentReferences(data.bytes);
    case kRegDword:
      return Dword(data.bytes, false);
    case kRegDwordBigEndian:
      return Dword(data.bytes, true);
    default:
      return Bytes(data.bytes.begin(), data.bytes.end());
  }
}

void Registry::SetValue(const Variant& value) {
  if (!remote_computer_.empty()) Raise(kErrorBadNetPath, kSetValueFailed);
  if (const std::int32_t code = store_->CreateKey(class_key_, section_key_); code != 0) {
    Raise(code, kSetValueFailed);
  }
  RegistryData data;
  switch (value_type_) {
    case kRegSz:
    case kRegExpandSz: {
      const std::string text = VariantToText(value);
      data.type = LooksExpandable(text) ? kRegExpandSz : kRegSz;
      data.bytes = TextData(text, 1);
      break;
    }
    case kRegBinary: {
      const auto* bytes = std::get_if<Bytes>(&value);
      if (bytes == nullptr) {
        throw support::Error(kRegistryErrorBase, kRegistrySource,
                             "Application-defined or object-defined error");
      }
      data.type = kRegBinary;
      data.bytes.assign(bytes->begin(), bytes->end());
      break;
    }
    case kRegDword:
    case kRegDwordBigEndian: {
      std::int32_t number = 0;
      if (const auto* l = std::get_if<std::int32_t>(&value)) {
        number = *l;
      } else if (const auto* i = std::get_if<std::int16_t>(&value)) {
        number = *i;
      } else {
        return;  // other kinds are not written, by design of the callers' contract
      }
      data.type = kRegDword;
      const auto u = static_cast<std::uint32_t>(number);
      for (int b = 0; b < 4; ++b) data.bytes.push_back(static_cast<char>((u >> (8 * b)) & 0xFF));
      break;
    }
    case kRegMultiSz:
      data.type = kRegMultiSz;
      data.bytes = TextData(VariantToText(value), 2);
      break;
    default:
      Raise(kErrorInvalidData, kSetValueFailed);
  }
  if (const std::int32_t code = store_->SetValue(class_key_, section_key_, value_key_, data);
      code != 0) {
    Raise(code, kSetValueFailed);
  }
}

std::int32_t Registry::EnumerateValues(std::vector<std::string>& names) const {
  if (store_->EnumValues(class_key_, section_key_, names) != 0) names.clear();
  return static_cast<std::int32_t>(names.size());
}

std::int32_t Registry::EnumerateSections(std::vector<std::string>& names) const {
  try {
    if (store_->EnumKeys(class_key_, section_key_, names) != 0) names.clear();
  } catch (const std::exception& e) {
    names.clear();
    throw support::Error(kRegistryEnumerationError, kRegistrySource, e.what());
  }
  return static_cast<std::int32_t>(names.size());
}

Variant Registry::ValueEx(std::uint32_t class_key, std::string section_key, std::string value_key,
                          std::int32_t value_type, Variant default_value) {
  class_key_ = class_key;
  section_key_ = std::move(section_key);
  value_key_ = std::move(value_key);
  value_type_ = value_type;
  default_ = std::move(default_value);
  return Value();
}

void Registry::SetValueEx(std::uint32_t class_key, std::string section_key, std::string value_key,
                          std::int32_t value_type, Variant default_value,
                          const Variant& new_value) {
  class_key_ = class_key;
  section_key_ = std::move(section_key);
  value_key_ = std::move(value_key);
  value_type_ = value_type;
  default_ = std::move(default_value);
  if (value_type == kRegSz && VariantToText(new_value).empty()) {
    SetValue(default_);
  } else {
    SetValue(new_value);
  }
}

}  // namespace quarrytab
