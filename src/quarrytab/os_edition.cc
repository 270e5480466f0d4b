#include "quarrytab/os_edition.h"

namespace quarrytab {
namespace {

const char* Vista7ProductName(std::uint32_t product) {
  switch (product) {
    case 1:
      return "Ultimate";
    case 2:
      return "Home Basic";
    case 3:
      return "Home Premium";
    case 4:
      return "Enterprise";
    case 5:
      return "Home Basic N";
    case 6:
      return "Business";
    case 11:
      return "Starter";
    case 16:
      return "Business N";
    case 26:
      return "Home Premium N";
    case 27:
    case 84:
      return "Enterprise N";
    case 28:
      return "Ultimate N";
    case 47:
      return "Starter N";
    case 48:
      return "Professional";
    case 49:
      return "Professional N";
    case 103:
      return "Professional with Media Center";
    default:
      return "";
  }
}

const char* Windows10ProductName(std::uint32_t product) {
  switch (product) {
    case 4:
    case 72:
      return "Enterprise";
    case 27:
    case 84:
      return "Enterprise N";
    case 48:
      return "Pro";
    case 49:
      return "Pro N";
    case 69:
      return "Pro E";
    case 70:
      return "Enterprise E";
    case 98:
      return "Home N";
    case 99:
    case 100:
    case 101:
      return "Home";
    case 104:
      return "Mobile";
    case 121:
      return "Education";
    case 122:
      return "Education N";
    case 133:
      return "Mobile Enterprise";
    default:
      return "";
  }
}

/// Appends " " + the product name; an unknown number appends nothing and a
/// failed query leaves the text alone.
void AppendProduct(std::string& text, const std::optional<std::uint32_t>& product,
                   const char* (*name_of)(std::uint32_t)) {
  if (!product) return;
  const std::string name = name_of(*product);
  if (!name.empty()) text += " " + name;
}

void RemoveAll(std::string& text, const std::string& part) {
  for (std::size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos)) {
    text.erase(pos, part.size());
  }
}

}  // namespace

std::string WindowsEditionString(const OsVersionRecord& v, const EditionFacts& facts,
                                 bool include_sp) {
  const std::uint16_t suite = v.suite_mask;
  const bool workstation = v.product_type == kVerNtWorkstation;
  std::string text;
  bool no_suffix = false;
  if (v.major == 5 && v.minor == 0) {
    text = "2000";
    if (workstation) {
      text += " Professional";
    } else if (suite & 0x0002) {
      text += " Advanced Server";
    } else if (suite & 0x0080) {
      text += " Datacenter Server";
    } else {
      text += " Server";
    }
  } else if (v.major == 5 && v.minor == 1) {
    text = (suite & 0x0200) ? "XP Home Edition" : "XP Professional";
  } else if (v.major == 5 && v.minor == 2) {
    if (suite == 0x0100) {
      text = "XP Professional";
    } else {
      text = "Server 2003";
      if (facts.server_r2) text += " R2";
      if (suite & 0x0080) {
        text += " Datacenter Edition";
      } else if (suite & 0x0002) {
        text += " Enterprise Edition";
      } else if (suite & 0x0400) {
        text += " Web Edition";
      } else {
        text += " Standard Edition";
      }
    }
  } else if (v.major == 6 && workstation) {
    static const char* const kNames[] = {"Vista", "7", "8", "8.1", "10 Beta"};
    text = v.minor < 5 ? kNames[v.minor] : "<unknown>";
    AppendProduct(text, facts.product, Vista7ProductName);
  } else if (v.major == 6) {
    static const char* const kNames[] = {"Server 2008", "Server 2008 R2", "Server 2012",
                                         "Server 2012 R2"};
    text = v.minor < 4 ? kNames[v.minor] : "<unknown>";
    no_suffix = v.minor == 3;
    if (suite & 0x0080) {
      text += " Datacenter";
    } else if (v.minor == 2) {
      text += (suite & 0x0020) ? " Essentials" : " Standard";
    } else {
      text += (suite & 0x0002) ? " Enterprise" : " Standard";
    }
  } else if (v.major == 10 && workstation) {
    text = v.minor == 0 ? "10" : "<unknown>";
    AppendProduct(text, facts.product, Windows10ProductName);
  } else if (v.major == 10) {
    text = "Server 2016";
    no_suffix = true;
  } else {
    text = "<unknown>";
  }
  if (facts.x64 && !no_suffix) {
    RemoveAll(text, " Edition");
    text += " x64 Edition";
  }
  text.insert(0, "Windows ");
  if (include_sp && !v.service_pack.empty()) text += ", " + v.service_pack;
  return text;
}

}  // namespace quarrytab
