#include "session_test_support.h"

#include "session/protocol.h"
#include "support/codepage.h"

namespace session::testing {

std::string Wire(std::string_view utf8) { return support::Utf8ToCp1253(utf8); }

std::string Framed(std::string_view payload_utf8) { return FrameMessage(Wire(payload_utf8)); }

void ScriptedPeer::SendFrame(std::string_view payload_utf8) { Send(Framed(payload_utf8)); }

}  // namespace session::testing
