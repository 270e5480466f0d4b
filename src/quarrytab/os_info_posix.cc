#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "quarrytab/linux_facts.h"
#include "quarrytab/os_info.h"
#include "quarrytab/registry.h"

namespace quarrytab {
namespace {

std::string ReadText(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

std::string Home() {
  std::string home = Env("HOME");
  if (home.empty()) {
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
      home = pw->pw_dir;
    }
  }
  return home;
}

/// $NAME when it is an absolute path, else home + fallback.
std::string XdgBase(const char* name, const char* fallback) {
  const std::string v = Env(name);
  return !v.empty() && v[0] == '/' ? v : Home() + fallback;
}

std::string UserDir(const char* xdg_name, const char* default_leaf, bool default_path) {
  if (!default_path) {
    const auto dirs = ParseUserDirs(
        ReadText((XdgBase("XDG_CONFIG_HOME", "/.config") + "/user-dirs.dirs").c_str()), Home());
    if (const auto it = dirs.find(xdg_name); it != dirs.end()) return it->second;
  }
  return Home() + "/" + default_leaf;
}

}  // namespace

OSInfo::OSInfo() {
  utsname u{};
  if (uname(&u) == 0) {
    const KernelVersion k = ParseKernelRelease(u.release);
    record_.major = k.major;
    record_.minor = k.minor;
    record_.build = k.patch;
  }
  record_.product_type = kVerNtWorkstation;
  distribution_name_ = ParseOsReleaseName(ReadText("/etc/os-release"));
  if (distribution_name_.empty())
    distribution_name_ = ParseOsReleaseName(ReadText("/usr/lib/os-release"));
  if (distribution_name_.empty()) distribution_name_ = "Linux";
}

Date OSInfo::InstallDate() const {
  struct statx st {};
  if (statx(AT_FDCWD, "/", 0, STATX_BTIME, &st) != 0 || (st.stx_mask & STATX_BTIME) == 0 ||
      st.stx_btime.tv_sec <= 0) {  // an image built with zeroed times knows no date either
    return 0;
  }
  return LocalDateFromUnix(st.stx_btime.tv_sec);
}

std::string OSInfo::RegisteredOwner() const {
  Registry reg;
  reg.SetClassKey(kHkeyLocalMachine);
  reg.SetSectionKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
  reg.SetValueKey("RegisteredOwner");
  reg.SetWOW64Key(true);
  const std::string stored = VariantToText(reg.Value());
  if (!stored.empty()) return stored;
  const passwd* pw = getpwuid(getuid());
  if (pw == nullptr || pw->pw_gecos == nullptr) return std::string();
  const std::string gecos = pw->pw_gecos;
  return gecos.substr(0, gecos.find(','));  // the full name is the first field
}

std::string OSInfo::TempFolder() const {
  std::string dir = Env("TMPDIR");
  if (dir.empty() || dir[0] != '/') dir = "/tmp";
  if (dir.back() != '/') dir.push_back('/');
  return dir;
}

std::string OSInfo::GetFolderPath(std::int32_t id, bool default_path) const {
  switch (id) {
    case UserDesktop:
      return UserDir("DESKTOP", "Desktop", default_path);
    case UserDocuments:
      return UserDir("DOCUMENTS", "Documents", default_path);
    case UserMyMusic:
      return UserDir("MUSIC", "Music", default_path);
    case UserMyPictures:
      return UserDir("PICTURES", "Pictures", default_path);
    case UserMyVideos:
      return UserDir("VIDEOS", "Videos", default_path);
    case UserTemplates:
      return UserDir("TEMPLATES", "Templates", default_path);
    case UserProfileRoot:
      return Home();
    case UserAppData:
      return XdgBase("XDG_CONFIG_HOME", "/.config");
    case UserLocalAppData:
      return XdgBase("XDG_DATA_HOME", "/.local/share");
    case UserTempInternetFiles:
      return XdgBase("XDG_CACHE_HOME", "/.cache");
    case UserStartMenu:
    case UserStartPrograms:
      return XdgBase("XDG_DATA_HOME", "/.local/share") + "/applications";
    case UserStartup:
      return XdgBase("XDG_CONFIG_HOME", "/.config") + "/autostart";
    case CommonAppData:
      return "/etc/xdg";
    case CommonStartMenu:
    case CommonStartPrograms:
      return "/usr/share/applications";
    case CommonStartup:
      return "/etc/xdg/autostart";
    case Fonts:
      return "/usr/share/fonts";
    case Windows:
      return "/";
    case System32:
      return "/usr/bin";
    case ProgramFiles:
      return "/usr";
    case ProgramFilesCommonFiles:
      return "/usr/share";
    default:
      return std::string();
  }
}

bool OSInfo::x64() const {
  if (sizeof(void*) != 4) return false;
  utsname u{};
  if (uname(&u) != 0) return false;
  const std::string machine = u.machine;
  return machine == "x86_64" || machine == "aarch64" || machine == "ppc64le" ||
         machine == "s390x" || machine == "riscv64";
}

}  // namespace quarrytab
