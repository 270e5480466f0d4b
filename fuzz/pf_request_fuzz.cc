// Arbitrary bytes as what an HTTP client sends the server's parameters
// endpoint, fed whole and in pieces the way a connection receives them; the
// first byte chooses the configured answer. Checks that the response to the
// growing buffer is given exactly when the head ends or grows too long, that
// it is a well-formed HTTP response whose Content-Length is its body, that a
// head longer than the limit is refused, and that what the endpoint serves
// for the parameters path is read by the client's parser as the endpoint it
// was configured with.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "server/pf_endpoint.h"
#include "session/parameters_file.h"

namespace {

using server::PfAnswer;
using session::ParametersResult;

void Check(bool condition) {
  if (!condition) std::abort();
}

PfAnswer ChooseAnswer(std::uint8_t choice) {
  switch (choice % 4) {
    case 0:
      return PfAnswer{PfAnswer::Kind::kEndpoint, server::PfBody("files.example", 2121)};
    case 1:
      return PfAnswer{PfAnswer::Kind::kText, "hello"};
    case 2:
      return PfAnswer{PfAnswer::Kind::kEmpty, {}};
    default:
      return PfAnswer{PfAnswer::Kind::kNotFound, {}};
  }
}

void CheckResponse(std::string_view request, const std::string& response, const PfAnswer& answer) {
  Check(response.rfind("HTTP/1.1 ", 0) == 0);
  const auto head_end = response.find("\r\n\r\n");
  Check(head_end != std::string::npos);
  const std::string_view body = std::string_view(response).substr(head_end + 4);
  const std::string length = "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  Check(response.find(length) < head_end);
  const std::string_view status = std::string_view(response).substr(9, 3);

  const auto request_end = request.find("\r\n\r\n");
  if (request_end == std::string_view::npos || request_end > server::kMaxRequestHead) {
    Check(status == "400");
    return;
  }
  if (status != "200") {
    Check(status == "400" || status == "404" || status == "405");
    Check(body.empty());
    return;
  }
  Check(answer.kind != PfAnswer::Kind::kNotFound);
  const ParametersResult seen = session::ParseParametersResponse(response);
  switch (answer.kind) {
    case PfAnswer::Kind::kEndpoint:
      Check(seen.kind == ParametersResult::Kind::kEndpoint);
      Check(seen.server == "files.example" && seen.port == 2121);
      break;
    case PfAnswer::Kind::kEmpty:
      Check(seen.kind == ParametersResult::Kind::kEmptyBody);
      break;
    case PfAnswer::Kind::kText:
      Check(body == answer.text);
      break;
    case PfAnswer::Kind::kNotFound:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const PfAnswer answer = ChooseAnswer(data[0]);
  const std::size_t step = 1 + (data[0] >> 2) * 4;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

  if (const auto whole = server::PfResponse(input, answer)) {
    CheckResponse(input, *whole, answer);
  } else {
    Check(input.find("\r\n\r\n") == std::string_view::npos);
    Check(input.size() <= server::kMaxRequestHead);
  }

  // As a connection receives it: the first response ends the exchange.
  std::string received;
  for (std::size_t at = 0; at < input.size(); at += step) {
    received += input.substr(at, step);
    const auto response = server::PfResponse(received, answer);
    if (!response) continue;
    CheckResponse(received, *response, answer);
    break;
  }
  return 0;
}
