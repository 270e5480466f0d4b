#include "session/parameters_file.h"

#include <gtest/gtest.h>

#include "support/base64.h"

namespace session {
namespace {

using Kind = ParametersResult::Kind;

std::string Response(std::string_view status, std::string_view body) {
  return std::string(status) + "\r\nContent-Type: text/plain\r\n\r\n" + std::string(body);
}

TEST(ParametersResponse, WaitsForTheHeaderEnd) {
  EXPECT_EQ(ParseParametersResponse("").kind, Kind::kIncomplete);
  EXPECT_EQ(ParseParametersResponse("HTTP/1.1 200 OK\r\nA: b\r\n\r").kind, Kind::kIncomplete);
}

TEST(ParametersResponse, DecodesTheReversedEndpoint) {
  const auto r = ParseParametersResponse(
      Response("HTTP/1.1 200 OK", support::Base64Encode("0009:elpmaxe.selif")));
  ASSERT_EQ(r.kind, Kind::kEndpoint);
  EXPECT_EQ(r.server, "files.example");
  EXPECT_EQ(r.port, 9000);
}

TEST(ParametersResponse, BlanksInTheBodyAreIgnoredAndAnyStatusButA404Counts) {
  std::string body = support::Base64Encode("1212:1.0.0.721");
  body.insert(4, "\r\n");
  body += "\r\n";
  const auto r = ParseParametersResponse(Response("HTTP/1.1 500 Internal Server Error", body));
  ASSERT_EQ(r.kind, Kind::kEndpoint);
  EXPECT_EQ(r.server, "127.0.0.1");
  EXPECT_EQ(r.port, 2121);
}

TEST(ParametersResponse, SpaceIsTheSeparatorWhenThereIsNoColon) {
  const auto r = ParseParametersResponse(
      Response("HTTP/1.1 200 OK", support::Base64Encode("0808 tsoh.rehto")));
  ASSERT_EQ(r.kind, Kind::kEndpoint);
  EXPECT_EQ(r.server, "other.host");
  EXPECT_EQ(r.port, 8080);
}

TEST(ParametersResponse, NotFoundAndEmptyBody) {
  EXPECT_EQ(ParseParametersResponse(Response("HTTP/1.1 404 Not Found", "abc")).kind,
            Kind::kNotFound);
  EXPECT_EQ(ParseParametersResponse(Response("HTTP/1.1 200 OK", "")).kind, Kind::kEmptyBody);
}

TEST(ParametersResponse, BodiesThatDoNotDecodeAreInvalid) {
  const auto bad = [](std::string_view body) {
    return ParseParametersResponse(Response("HTTP/1.1 200 OK", body));
  };
  EXPECT_EQ(bad("<html>oops</html>").kind, Kind::kInvalid);
  EXPECT_EQ(bad(support::Base64Encode("tsohon")).kind, Kind::kInvalid);   // no separator
  EXPECT_EQ(bad(support::Base64Encode(":tsoh")).kind, Kind::kInvalid);    // no port
  EXPECT_EQ(bad(support::Base64Encode("x9:tsoh")).kind, Kind::kInvalid);  // not a number
  EXPECT_EQ(bad(support::Base64Encode("99999:tsoh")).kind, Kind::kInvalid);
  EXPECT_EQ(bad(support::Base64Encode("0808:")).kind, Kind::kInvalid);  // no server
  const auto r = bad("!!!");
  EXPECT_FALSE(r.error.empty());
  EXPECT_GT(r.statement, 0);
}

TEST(ParametersRequest, DirectAndThroughAProxy) {
  EXPECT_EQ(BuildParametersRequest("params.example", false),
            "GET /webftp/pf.txt HTTP/1.1\r\nHost: params.example\r\n\r\n");
  EXPECT_EQ(BuildParametersRequest("params.example", true),
            "GET http://params.example/webftp/pf.txt HTTP/1.1\r\nHost: params.example\r\n\r\n");
}

}  // namespace
}  // namespace session
