#include "session/parameters_file.h"

#include <algorithm>

#include "support/base64.h"
#include "support/codepage.h"
#include "support/text.h"

namespace session {

ParametersResult ParseParametersResponse(std::string_view response) {
  ParametersResult result;
  constexpr std::string_view kHeaderEnd = "\r\n\r\n";
  const auto end = response.find(kHeaderEnd);
  if (end == std::string_view::npos) return result;

  const std::string_view header = response.substr(0, end);
  const std::string_view status = header.substr(0, header.find("\r\n"));
  if (status.find("404") != std::string_view::npos) {
    result.kind = ParametersResult::Kind::kNotFound;
    return result;
  }
  const std::string_view body = response.substr(end + kHeaderEnd.size());
  result.body = support::Cp1253ToUtf8(body);
  if (body.empty()) {
    result.kind = ParametersResult::Kind::kEmptyBody;
    return result;
  }

  result.kind = ParametersResult::Kind::kInvalid;
  auto decoded = support::Base64Decode(body);
  if (!decoded) {
    result.error = "Invalid Base64 text";
    result.statement = 1;
    return result;
  }
  std::reverse(decoded->begin(), decoded->end());  // single-byte text: bytes are characters
  const char separator = decoded->find(':') != std::string::npos ? ':' : ' ';
  const auto at = decoded->find(separator);
  if (at == std::string::npos) {
    result.error = "No separator between server and port";
    result.statement = 2;
    return result;
  }
  const std::string server = decoded->substr(0, at);
  const auto port = support::ParseNonNegative(support::TrimBlanks(decoded->substr(at + 1)));
  if (server.empty() || !port || *port < 1 || *port > 65535) {
    result.error = "Invalid server or port";
    result.statement = 3;
    return result;
  }
  result.kind = ParametersResult::Kind::kEndpoint;
  result.server = support::Cp1253ToUtf8(server);
  result.port = static_cast<int>(*port);
  return result;
}

std::string BuildParametersRequest(std::string_view parameters_host, bool through_proxy) {
  std::string request = "GET ";
  if (through_proxy) {
    request += "http://";
    request += parameters_host;
  }
  request += "/webftp/pf.txt HTTP/1.1\r\nHost: ";
  request += parameters_host;
  request += "\r\n\r\n";
  return request;
}

}  // namespace session
