#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace server {

/// What the parameters endpoint answers to GET /webftp/pf.txt.
struct PfAnswer {
  enum class Kind {
    kEndpoint,  ///< the folder endpoint, encoded (PfBody)
    kText,      ///< `text` as the body, unchanged
    kEmpty,     ///< 200 with an empty body
    kNotFound,  ///< 404
  };
  Kind kind = Kind::kEndpoint;
  std::string text;  ///< kEndpoint: the encoded body; kText: the body
};

/// The parameters file naming a folder endpoint: "host:port" written
/// backwards, then Base64. The client decodes it and reverses it again.
std::string PfBody(std::string_view host, int port);

/// Reads "--pf-body" values: "empty", "404", or any other text used as the
/// body as it stands.
PfAnswer PfAnswerFromOption(std::string_view value);

/// Largest request head accepted; a longer one is answered 400 and closed.
inline constexpr std::size_t kMaxRequestHead = 8192;

/// The complete response to the request bytes received so far, or nothing
/// while the head (up to the first empty line) is incomplete. Only GET of
/// "/webftp/pf.txt" (also as an absolute URI "http://HOST/webftp/pf.txt", the
/// way a client asks an HTTP proxy) gets the parameters; any other path is
/// 404 and anything that is not an HTTP request line is 400. Each response
/// closes the connection.
std::optional<std::string> PfResponse(std::string_view received, const PfAnswer& answer);

}  // namespace server
