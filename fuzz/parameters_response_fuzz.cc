// Parses arbitrary bytes as the web host's answer to the parameters-file
// request (HTTP status line, headers, then the Base64 of the reversed
// "server:port"). Checks that the kind follows the header end and the status
// line, that a decoded endpoint is in range, and that the endpoint, written
// again the way a web host writes it, parses back to itself.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "session/parameters_file.h"
#include "support/base64.h"
#include "support/codepage.h"

namespace {

using session::ParametersResult;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const ParametersResult result = session::ParseParametersResponse(input);

  const auto end = input.find("\r\n\r\n");
  Check((end == std::string_view::npos) == (result.kind == ParametersResult::Kind::kIncomplete));
  if (end == std::string_view::npos) return 0;
  const std::string_view status = input.substr(0, std::min(end, input.find("\r\n")));
  Check((status.find("404") != std::string_view::npos) ==
        (result.kind == ParametersResult::Kind::kNotFound));
  if (result.kind == ParametersResult::Kind::kNotFound) return 0;

  const std::string_view body = input.substr(end + 4);
  Check(result.body == support::Cp1253ToUtf8(body));
  Check(body.empty() == (result.kind == ParametersResult::Kind::kEmptyBody));
  if (result.kind == ParametersResult::Kind::kInvalid) {
    Check(!result.error.empty() && result.statement > 0);
    return 0;
  }
  if (result.kind != ParametersResult::Kind::kEndpoint) return 0;

  Check(result.port >= 1 && result.port <= 65535);
  // Base64 gives at most three bytes per four characters.
  Check(!result.server.empty());
  Check(support::Utf8ToCp1253(result.server).size() <= body.size() / 4 * 3 + 2);
  std::string endpoint = support::Utf8ToCp1253(result.server) + ":" + std::to_string(result.port);
  std::reverse(endpoint.begin(), endpoint.end());
  const ParametersResult again = session::ParseParametersResponse(
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n" + support::Base64Encode(endpoint));
  Check(again.kind == ParametersResult::Kind::kEndpoint);
  Check(again.server == result.server && again.port == result.port);
  return 0;
}
