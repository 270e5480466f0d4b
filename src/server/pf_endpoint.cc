#include "server/pf_endpoint.h"

#include <algorithm>

#include "support/base64.h"

namespace server {

namespace {

constexpr std::string_view kPfPath = "/webftp/pf.txt";

std::string Response(std::string_view status, std::string_view body) {
  std::string out = "HTTP/1.1 ";
  out += status;
  out += "\r\nContent-Type: text/plain\r\nContent-Length: ";
  out += std::to_string(body.size());
  out += "\r\nConnection: close\r\n\r\n";
  out += body;
  return out;
}

/// The path of a request target: an origin form as it stands, an absolute
/// URI without its scheme and host.
std::string_view PathOf(std::string_view target) {
  constexpr std::string_view kScheme = "http://";
  if (target.size() >= kScheme.size() &&
      std::equal(kScheme.begin(), kScheme.end(), target.begin(),
                 [](char a, char b) { return a == (b | 0x20); })) {
    const auto slash = target.find('/', kScheme.size());
    return slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
  }
  return target;
}

}  // namespace

std::string PfBody(std::string_view host, int port) {
  std::string endpoint(host);
  endpoint += ':';
  endpoint += std::to_string(port);
  std::reverse(endpoint.begin(), endpoint.end());
  return support::Base64Encode(endpoint);
}

PfAnswer PfAnswerFromOption(std::string_view value) {
  if (value == "empty") return PfAnswer{PfAnswer::Kind::kEmpty, {}};
  if (value == "404") return PfAnswer{PfAnswer::Kind::kNotFound, {}};
  return PfAnswer{PfAnswer::Kind::kText, std::string(value)};
}

std::optional<std::string> PfResponse(std::string_view received, const PfAnswer& answer) {
  const auto head_end = received.find("\r\n\r\n");
  if (head_end == std::string_view::npos) {
    if (received.size() > kMaxRequestHead) return Response("400 Bad Request", "");
    return std::nullopt;
  }
  // The same limit when the whole head came in one read.
  if (head_end + 4 > kMaxRequestHead) return Response("400 Bad Request", "");
  const std::string_view line = received.substr(0, received.find("\r\n"));
  const auto first = line.find(' ');
  const auto second = line.find(' ', first == std::string_view::npos ? first : first + 1);
  if (first == std::string_view::npos || second == std::string_view::npos ||
      line.substr(second + 1).substr(0, 5) != "HTTP/")
    return Response("400 Bad Request", "");
  const std::string_view method = line.substr(0, first);
  const std::string_view target = line.substr(first + 1, second - first - 1);
  if (method != "GET") return Response("405 Method Not Allowed", "");
  std::string_view path = PathOf(target);
  path = path.substr(0, path.find('?'));
  if (path != kPfPath || answer.kind == PfAnswer::Kind::kNotFound)
    return Response("404 Not Found", "");
  switch (answer.kind) {
    case PfAnswer::Kind::kEmpty:
      return Response("200 OK", "");
    case PfAnswer::Kind::kEndpoint:
    case PfAnswer::Kind::kText:
    case PfAnswer::Kind::kNotFound:
      break;
  }
  return Response("200 OK", answer.text);
}

}  // namespace server
