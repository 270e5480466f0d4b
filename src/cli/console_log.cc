#include "cli/console_log.h"

#include "app/log_file.h"

namespace cli {

void ConsoleLog::WriteLog(const std::string& text, const std::string& procedure, int level) {
  LoggerSessionLog::WriteLog(text, procedure, level);
  const int debug = DebugLevel();
  if (debug <= 0) return;
  if (!procedure.empty() && debug < level) return;
  const std::string stamp = app::FormatLogTime("[d/m/yyyy h:nn:ss]  ", app::LocalNow());
  err_ << stamp << (procedure.empty() ? text : "DEBUG: " + procedure + "->" + text) << '\n'
       << std::flush;
}

}  // namespace cli
