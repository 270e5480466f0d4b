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

class ParametersEndpoint : public ::testing::Test {};

TEST_F(ParametersEndpoint, BodyIsTheEndpointBackwardsInBase64) {
  EXPECT_EQ(PfBody("files.example", 9000), "MDAwOTplbHBtYXhlLnNlbGlm");
}

TEST_F(ParametersEndpoint, ClientDecodesTheFolderEndpointDirectlyAndThroughAProxy) {
  const PfAnswer answer{PfAnswer::Kind::kEndpoint, PfBody("127.0.0.1", 2121)};
  for (const bool proxy : {false, true}) {
    const auto result = ClientReads(proxy, answer);
    EXPECT_EQ(result.kind, session::ParametersResult::Kind::kEndpoint);
    EXPECT_EQ(result.server, "127.0.0.1");
    EXPECT_EQ(result.port, 2121);
  }
}

TEST_F(ParametersEndpoint, OverridesServeTheClientsFallbacks) {
  EXPECT_EQ(ClientReads(false, PfAnswerFromOption("404")).kind,
            session::ParametersResult::Kind::kNotFound);
  EXPECT_EQ(ClientReads(false, PfAnswerFromOption("empty")).kind,
            session::ParametersResult::Kind::kEmptyBody);
  EXPECT_EQ(ClientReads(false, PfAnswerFromOption("not base64!")).kind,
            session::ParametersResult::Kind::kInvalid);
}

TEST_F(ParametersEndpoint, OnlyACompleteGetOfTheFileIsAnswered) {
  const PfAnswer answer{PfAnswer::Kind::kEndpoint, "Qm9keQ=="};
  EXPECT_FALSE(PfResponse("GET /webftp/pf.txt HTTP/1.1\r\nHost: x\r\n", answer));
  const auto other = PfResponse("GET /index.html HTTP/1.1\r\n\r\n", answer);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->rfind("HTTP/1.1 404", 0), 0u);
  EXPECT_EQ(PfResponse("POST /webftp/pf.txt HTTP/1.1\r\n\r\n", answer)->rfind("HTTP/1.1 405", 0),
            0u);
  EXPECT_EQ(PfResponse("hello\r\n\r\n", answer)->rfind("HTTP/1.1 400", 0), 0u);
  EXPECT_EQ(PfResponse(std::string(kMaxRequestHead + 1, 'a'), answer)->rfind("HTTP/1.1 400", 0),
            0u);
  // The limit holds when an over-long head arrives whole in one read, and a
  // head of exactly the limit is still served.
  const std::string start = "GET /webftp/pf.txt HTTP/1.1\r\nX-Pad: ";
  const auto padded = [&](std::size_t head_size) {
    return start + std::string(head_size - start.size() - 4, 'a') + "\r\n\r\n";
  };
  EXPECT_EQ(PfResponse(padded(kMaxRequestHead + 1), answer)->rfind("HTTP/1.1 400", 0), 0u);
  EXPECT_EQ(PfResponse(padded(kMaxRequestHead), answer)->rfind("HTTP/1.1 200", 0), 0u);
  const auto ok = PfResponse("GET HTTP://proxy.example:80/webftp/pf.txt HTTP/1.0\r\n\r\n", answer);
  ASSERT_TRUE(ok);
  EXPECT_NE(ok->find("\r\n\r\nQm9keQ=="), std::string::npos);
}

}  // namespace
}  // namespace server
