#include "session/file_name_rules.h"

namespace session {

std::string_view LocalPathSeparators() { return "/"; }

}  // namespace session
