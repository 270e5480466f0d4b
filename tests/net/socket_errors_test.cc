#include "net/socket_errors.h"

#include <netdb.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "common/expect_error.h"

namespace net {
namespace {

TEST(GetErrorDescription, GivesTheTextOfEveryListedNumber) {
  EXPECT_EQ(GetErrorDescription(10004), "Interrupted function call.");
  EXPECT_EQ(GetErrorDescription(10022), "Invalid argument.");
  EXPECT_EQ(GetErrorDescription(10035), "Resource temporarily unavailable.");
  EXPECT_EQ(GetErrorDescription(10047), "Address family not supported by protocol family.");
  EXPECT_EQ(GetErrorDescription(10049), "Cannot assign requested address.");
  EXPECT_EQ(GetErrorDescription(10054), "Connection reset by peer.");
  EXPECT_EQ(GetErrorDescription(10060), "Connection timed out.");
  EXPECT_EQ(GetErrorDescription(10061), "Connection refused.");
  EXPECT_EQ(GetErrorDescription(10065), "No route to host.");
  EXPECT_EQ(GetErrorDescription(10092), "Winsock.dll version out of range.");
  EXPECT_EQ(GetErrorDescription(11001), "Host not found.");
  EXPECT_EQ(GetErrorDescription(11004), "Valid name, no data record of requested type.");
}

TEST(GetErrorDescription, NumbersOutsideTheTableAreUnknown) {
  EXPECT_EQ(GetErrorDescription(10059), "Unknown error.");
  EXPECT_EQ(GetErrorDescription(0), "Unknown error.");
  EXPECT_EQ(GetErrorDescription(10066), "Unknown error.");
  EXPECT_EQ(GetErrorDescription(-1), "Unknown error.");
}

TEST(GetErrorDescription, EveryNumberTheErrnoMapProducesHasItsOwnText) {
  for (int e = 1; e < 200; ++e) {
    const int number = SocketErrorFromErrno(e);
    EXPECT_NE(GetErrorDescription(number), "Unknown error.") << "errno " << e << " -> " << number;
  }
}

TEST(SocketErrorFromErrno, MapsTheFailuresOwnersTest) {
  EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
  EXPECT_EQ(SocketErrorFromErrno(ENETUNREACH), 10051);
  EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
  EXPECT_EQ(SocketErrorFromErrno(EPIPE), 10054);
  EXPECT_EQ(SocketErrorFromErrno(EAGAIN), 10035);
  EXPECT_EQ(SocketErrorFromErrno(EINPROGRESS), 10035);
  EXPECT_EQ(SocketErrorFromErrno(EADDRINUSE), 10048);
  EXPECT_EQ(SocketErrorFromErrno(EADDRNOTAVAIL), 10049);
  EXPECT_EQ(SocketErrorFromErrno(EMFILE), 10024);
  EXPECT_EQ(SocketErrorFromErrno(0), 0);
}

TEST(SocketErrorFromLookup, MapsResolverFailures) {
  EXPECT_EQ(SocketErrorFromLookup(0, 0), 0);
  EXPECT_EQ(SocketErrorFromLookup(EAI_NONAME, 0), 11001);
  EXPECT_EQ(SocketErrorFromLookup(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(SocketErrorFromLookup(EAI_FAIL, 0), 11003);
  EXPECT_EQ(SocketErrorFromLookup(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(PortWords, KeepTheBitsOfEveryValidPort) {
  EXPECT_EQ(ToPortWord(0), 0);
  EXPECT_EQ(ToPortWord(80), 80);
  EXPECT_EQ(ToPortWord(32767), 32767);
  EXPECT_EQ(ToPortWord(32768), -32768);
  EXPECT_EQ(ToPortWord(65535), -1);
  for (std::int32_t port : {0, 1, 21, 32767, 32768, 50000, 65535}) {
    EXPECT_EQ(FromPortWord(ToPortWord(port)), port);
  }
  EXPECT_EQ(FromPortWord(-1), 65535);
}

TEST(PortWords, OutOfRangePortIsOverflowError6) {
  for (std::int32_t port : {-1, 65536, 100000}) {
    SCOPED_TRACE(port);
    test_common::ExpectError(6, [&] { ToPortWord(port); });
  }
}

}  // namespace
}  // namespace net
