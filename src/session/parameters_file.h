#pragma once

#include <string>
#include <string_view>

namespace session {

/// What a response to the parameters-file request says.
struct ParametersResult {
  enum class Kind {
    kIncomplete,  ///< no CR LF CR LF yet: wait for more bytes
    kNotFound,    ///< the status line contains "404"
    kEmptyBody,   ///< nothing after the header end: use the fallback server
    kEndpoint,    ///< server and port decoded
    kInvalid,     ///< the body does not decode into "server:port"
  };
  Kind kind = Kind::kIncomplete;
  std::string server;  ///< UTF-8 (kEndpoint)
  int port = 0;        ///< 1..65535 (kEndpoint)
  std::string body;    ///< the body text as received (kEmptyBody, kEndpoint, kInvalid)
  std::string error;   ///< why the body is invalid (kInvalid)
  int statement = 0;   ///< number of the failing step, for the error report (kInvalid)
};

/// Parses everything received so far. The body is what follows the first
/// CR LF CR LF; headers such as Content-Length are not looked at. The body is
/// Base64 (blanks ignored) of the endpoint written backwards: reversed, it is
/// the server, a separator (":" when the text holds one, else a space) and the
/// port number.
ParametersResult ParseParametersResponse(std::string_view response);

/// The request line and Host header for the parameters file; with a proxy the
/// request carries the absolute address.
std::string BuildParametersRequest(std::string_view parameters_host, bool through_proxy);

}  // namespace session
