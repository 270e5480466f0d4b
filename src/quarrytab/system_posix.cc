#include <pwd.h>
#include <time.h>
#include <unistd.h>
#include <utmpx.h>

#include <cstdlib>
#include <cstring>

#include "quarrytab/system.h"

namespace quarrytab {

Date System::LastShutdown() const {
  // wtmp keeps a run-level record with the user "shutdown" for every clean
  // shutdown; the latest one is wanted.
  if (utmpxname("/var/log/wtmp") != 0) return 0;
  setutxent();
  std::int64_t latest = 0;
  while (const utmpx* entry = getutxent()) {
    if (entry->ut_type == RUN_LVL && std::strncmp(entry->ut_user, "shutdown", 8) == 0 &&
        entry->ut_tv.tv_sec > latest) {
      latest = entry->ut_tv.tv_sec;
    }
  }
  endutxent();
  utmpxname("/var/run/utmp");
  return latest == 0 ? 0 : LocalDateFromUnix(latest);
}

double System::UpTime() const {
  timespec ts{};
  if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0) return 0;
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

std::string System::ComputerName() const {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

std::string System::UserName() const {
  if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr) {
    return pw->pw_name;
  }
  const char* user = std::getenv("USER");
  return user != nullptr ? user : "";
}

}  // namespace quarrytab
