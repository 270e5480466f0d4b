#include "quarrytab/os_info.h"

#include "quarrytab/display_facts.h"
#include "quarrytab/registry.h"

namespace quarrytab {
namespace {

constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

Registry CurrentVersionValue(const char* name) {
  Registry reg;
  reg.SetClassKey(kHkeyLocalMachine);
  reg.SetSectionKey(kCurrentVersionKey);
  reg.SetValueKey(name);
  reg.SetValueType(kRegSz);
  reg.SetWOW64Key(true);
  reg.SetDefault(std::string());
  return reg;
}

}  // namespace

OSInfo::OSInfo(OsVersionRecord record, EditionFacts facts, std::string distribution_name)
    : record_(std::move(record)), facts_(facts), distribution_name_(std::move(distribution_name)) {}

std::string OSInfo::GetFullVersionString(bool include_sp) const {
  if (distribution_name_.empty()) return WindowsEditionString(record_, facts_, include_sp);
  std::string text = distribution_name_;
  if (include_sp && !record_.service_pack.empty()) text += ", " + record_.service_pack;
  return text;
}

std::int16_t OSInfo::Version() const {
  return static_cast<std::int16_t>(record_.major * 256 + record_.minor);
}

std::string OSInfo::RegisteredOrganization() const {
  return VariantToText(CurrentVersionValue("RegisteredOrganization").Value());
}

void OSInfo::SetRegisteredOrganization(const std::string& value) {
  CurrentVersionValue("RegisteredOrganization").SetValue(value);
}

void OSInfo::SetRegisteredOwner(const std::string& value) {
  CurrentVersionValue("RegisteredOwner").SetValue(value);
}

std::int16_t OSInfo::MonitorsCount() const {
  return static_cast<std::int16_t>(CurrentDisplayFacts()->MonitorCount());
}

}  // namespace quarrytab
