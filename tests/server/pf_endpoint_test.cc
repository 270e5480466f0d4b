#include "server/pf_endpoint.h"

#include <gtest/gtest.h>

#include "session/parameters_file.h"

namespace server {
namespace {

/// What the client makes of the endpoint's answer to its own request.
session::ParametersResult ClientReads(bool through_proxy, const PfAnswer& answer) {
  const std::string request = session::BuildParametersRequest("params.test", through_proxy);
  const auto response = PfResponse(request, answer);
  EXPECT_TRUE(response);
  return session::ParseParametersResponse(response.value_or(""));
}

TEST(ParametersEndpoint, BodyIsTheEndpointBackwardsInBase64) {
  EXPECT_EQ(PfBody("files.example", 9000), "MDAwOTplbHBtYXhlLnNlbGlm");
}

TEST(ParametersEndpoint, ClientDecodesTheFolderEndpointDirectlyAndThroughAProxy) {
  const PfAnswer answer{PfAnswer::Kind::kEndpoint, PfBody("127.0.0.1", 2121)};
  for (const bool proxy : {false, true}) {
    const auto result = ClientReads(proxy, answer);
    EXPECT_EQ(result.kind, session::ParametersResult::Kind::kEndpoint);
    EXPECT_EQ(result.server, "127.0.0.1");
    EXPECT_EQ(result.port, 2121);
  }
}

TEST(ParametersEndpoint, OverridesServeTheClientsFallbacks) {
  using Kind = session::ParametersResult::Kind;
  for (const auto& [option, kind] :
       {std::pair{"404", Kind::kNotFound}, std::pair{"empty", Kind::kEmptyBody},
        std::pair{"not base64!", Kind::kInvalid}}) {
    EXPECT_EQ(ClientReads(false, PfAnswerFromOption(option)).kind, kind) << option;
  }
}

TEST(ParametersEndpoint, OnlyACompleteGetOfTheFileIsAnswered) {
  const PfAnswer answer{PfAnswer::Kind::kEndpoint, "Qm9keQ=="};
  EXPECT_FALSE(PfResponse("GET /webftp/pf.txt HTTP/1.1\r\nHost: x\r\n", answer));
  // The limit holds when an over-long head arrives whole in one read, and a
  // head of exactly the limit is still served.
  const std::string start = "GET /webftp/pf.txt HTTP/1.1\r\nX-Pad: ";
  const auto padded = [&](std::size_t head_size) {
    return start + std::string(head_size - start.size() - 4, 'a') + "\r\n\r\n";
  };
  const std::pair<std::string, std::string> kCases[] = {
      {"GET /index.html HTTP/1.1\r\n\r\n", "HTTP/1.1 404"},
      {"POST /webftp/pf.txt HTTP/1.1\r\n\r\n", "HTTP/1.1 405"},
      {"hello\r\n\r\n", "HTTP/1.1 400"},
      {std::string(kMaxRequestHead + 1, 'a'), "HTTP/1.1 400"},
      {padded(kMaxRequestHead + 1), "HTTP/1.1 400"},
      {padded(kMaxRequestHead), "HTTP/1.1 200"},
      {"GET HTTP://proxy.example:80/webftp/pf.txt HTTP/1.0\r\n\r\n", "HTTP/1.1 200"},
  };
  for (const auto& [request, status] : kCases) {
    const auto response = PfResponse(request, answer);
    ASSERT_TRUE(response) << request.substr(0, 40);
    EXPECT_EQ(response->rfind(status, 0), 0u) << request.substr(0, 40);
  }
  EXPECT_NE(PfResponse(kCases[6].first, answer)->find("\r\n\r\nQm9keQ=="), std::string::npos);
}

}  // namespace
}  // namespace server
