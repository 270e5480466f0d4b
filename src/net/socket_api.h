#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// Thin wrappers over the system's socket calls. Every call answers 0 or a socket error
/// number (net/socket_errors.h), so the code above never sees errno. Sockets are
/// IPv4, non-blocking, close-on-exec, and never raise SIGPIPE.
namespace net::sys {

/// An IPv4 endpoint; `address` in network byte order, `port` in host order.
struct Endpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
};

enum class SocketKind { kStream, kDatagram };

/// Largest datagram payload an IPv4 UDP socket can send.
inline constexpr int kMaxDatagramSize = 65507;

int CreateSocket(SocketKind kind, int* fd);
int CloseSocket(int fd);
int Bind(int fd, Endpoint local);
int Listen(int fd, int backlog);
/// Starts a connect; 10035 means it is under way and completes with write readiness.
int Connect(int fd, Endpoint remote);
/// The error a finished connect attempt left on the socket (0 = connected).
int TakePendingError(int fd);
/// Accepts one connection as a non-blocking socket.
int Accept(int fd, int* accepted, Endpoint* peer);
int Send(int fd, const char* data, std::size_t size, std::size_t* sent);
int SendTo(int fd, const char* data, std::size_t size, Endpoint to, std::size_t* sent);
/// `*received` 0 with answer 0 means the peer's end of stream (or an empty datagram).
int Receive(int fd, char* buffer, std::size_t size, bool peek, std::size_t* received);
int ReceiveFrom(int fd, char* buffer, std::size_t size, bool peek, std::size_t* received,
                Endpoint* from);
/// Size of the next waiting datagram (UDP) or of the readable bytes (TCP).
int PendingSize(int fd, int* size);
/// SO_RCVBUF and SO_SNDBUF as the system reports them.
int ReadBufferSizes(int fd, int* receive, int* send);
int EnableBroadcast(int fd);
int LocalEndpoint(int fd, Endpoint* local);
int PeerEndpoint(int fd, Endpoint* peer);
/// The number of open descriptors of this process (for leak checks).
int OpenDescriptorCount();

/// Parses a dotted IPv4 address the way the system's classic parser does
/// ("127.1" is accepted); the all-ones address "255.255.255.255" cannot be told from
/// a failure there and is refused too.
bool ParseDotted(const std::string& text, std::uint32_t* address);
/// "a.b.c.d" of an address in network byte order.
std::string FormatDotted(std::uint32_t address);
/// The computer's host name, at most 256 characters.
int HostName(std::string* name);
/// Resolves a dotted address or host name to its first IPv4 address, synchronously.
/// An empty name is 11001 "Host not found." without a query.
int ResolveNow(const std::string& host, std::uint32_t* address);

}  // namespace net::sys
