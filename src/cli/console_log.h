#pragma once

#include <ostream>

#include "app/logger.h"
#include "session/app_services.h"

namespace cli {

/// The session's log for the command line. The program's log file is off (a
/// command-line run leaves no log behind); with a debug level above 0 the
/// lines the log would hold are echoed to `err` instead, in UTF-8: plain lines
/// always, "DEBUG: " + procedure + "->" + text when the level reaches the
/// line's. Errors go through the logger's error box as always.
class ConsoleLog : public session::LoggerSessionLog {
 public:
  ConsoleLog(app::Logger& logger, std::ostream& err) : LoggerSessionLog(logger), err_(err) {}
  void WriteLog(const std::string& text, const std::string& procedure, int level) override;

 private:
  std::ostream& err_;
};

}  // namespace cli
