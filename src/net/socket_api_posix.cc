#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/socket_api.h"
#include "net/socket_errors.h"

namespace net::sys {
namespace {

int LastError() { return SocketErrorFromErrno(errno); }

sockaddr_in ToSockaddr(Endpoint e) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(e.port);
  sa.sin_addr.s_addr = e.address;
  return sa;
}

Endpoint FromSockaddr(const sockaddr_in& sa) {
  return Endpoint{sa.sin_addr.s_addr, ntohs(sa.sin_port)};
}

}  // namespace

int CreateSocket(SocketKind kind, int* fd) {
  const int type = kind == SocketKind::kStream ? SOCK_STREAM : SOCK_DGRAM;
  const int protocol = kind == SocketKind::kStream ? IPPROTO_TCP : IPPROTO_UDP;
  const int s = socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
  if (s < 0) return LastError();
  if (kind == SocketKind::kStream) {
    // Here SO_REUSEADDR only lets a listener take a port whose closed
    // connections still linger in TIME_WAIT, so a restarted server gets its
    // port back at once; two sockets still cannot listen on one port. (On
    // Windows the option means something else: a Win32 backend must not copy it.)
    const int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  }
  *fd = s;
  return 0;
}

int CloseSocket(int fd) { return close(fd) == 0 ? 0 : LastError(); }

int Bind(int fd, Endpoint local) {
  const sockaddr_in sa = ToSockaddr(local);
  return bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 ? 0 : LastError();
}

int Listen(int fd, int backlog) { return listen(fd, backlog) == 0 ? 0 : LastError(); }

int Connect(int fd, Endpoint remote) {
  const sockaddr_in sa = ToSockaddr(remote);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return 0;
  return LastError();
}

int TakePendingError(int fd) {
  int value = 0;
  socklen_t len = sizeof value;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &value, &len) != 0) return LastError();
  return SocketErrorFromErrno(value);
}

int Accept(int fd, int* accepted, Endpoint* peer) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  const int s = accept4(fd, reinterpret_cast<sockaddr*>(&sa), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (s < 0) return LastError();
  *accepted = s;
  if (peer) *peer = FromSockaddr(sa);
  return 0;
}

int Send(int fd, const char* data, std::size_t size, std::size_t* sent) {
  const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
  if (n < 0) return LastError();
  *sent = static_cast<std::size_t>(n);
  return 0;
}

int SendTo(int fd, const char* data, std::size_t size, Endpoint to, std::size_t* sent) {
  const sockaddr_in sa = ToSockaddr(to);
  const ssize_t n =
      sendto(fd, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  if (n < 0) return LastError();
  *sent = static_cast<std::size_t>(n);
  return 0;
}

int Receive(int fd, char* buffer, std::size_t size, bool peek, std::size_t* received) {
  const ssize_t n = recv(fd, buffer, size, peek ? MSG_PEEK : 0);
  if (n < 0) return LastError();
  *received = static_cast<std::size_t>(n);
  return 0;
}

int ReceiveFrom(int fd, char* buffer, std::size_t size, bool peek, std::size_t* received,
                Endpoint* from) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  const ssize_t n =
      recvfrom(fd, buffer, size, peek ? MSG_PEEK : 0, reinterpret_cast<sockaddr*>(&sa), &len);
  if (n < 0) return LastError();
  *received = static_cast<std::size_t>(n);
  if (from) *from = FromSockaddr(sa);
  return 0;
}

int PendingSize(int fd, int* size) {
  int value = 0;
  if (ioctl(fd, FIONREAD, &value) != 0) return LastError();
  *size = value;
  return 0;
}

int ReadBufferSizes(int fd, int* receive, int* send) {
  socklen_t len = sizeof(int);
  if (getsockopt(fd, SOL_SOCKET, SO_RCVBUF, receive, &len) != 0) return LastError();
  len = sizeof(int);
  if (getsockopt(fd, SOL_SOCKET, SO_SNDBUF, send, &len) != 0) return LastError();
  return 0;
}

int EnableBroadcast(int fd) {
  const int one = 1;
  return setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) == 0 ? 0 : LastError();
}

int LocalEndpoint(int fd, Endpoint* local) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return LastError();
  *local = FromSockaddr(sa);
  return 0;
}

int PeerEndpoint(int fd, Endpoint* peer) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return LastError();
  *peer = FromSockaddr(sa);
  return 0;
}

int OpenDescriptorCount() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int count = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count - 1;  // the directory's own descriptor
}

bool ParseDotted(const std::string& text, std::uint32_t* address) {
  const in_addr_t a = inet_addr(text.c_str());
  if (a == INADDR_NONE) return false;
  *address = a;
  return true;
}

std::string FormatDotted(std::uint32_t address) {
  char buffer[INET_ADDRSTRLEN] = {};
  in_addr a{};
  a.s_addr = address;
  inet_ntop(AF_INET, &a, buffer, sizeof buffer);
  return buffer;
}

int HostName(std::string* name) {
  char buffer[257] = {};
  if (gethostname(buffer, 256) != 0) return LastError();
  *name = std::string(buffer, strnlen(buffer, 256));
  return 0;
}

int ResolveNow(const std::string& host, std::uint32_t* address) {
  if (ParseDotted(host, address)) return 0;
  if (host.empty()) return kWsaHostNotFound;  // nothing to ask a name service about
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* result = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
  if (rc != 0) return SocketErrorFromLookup(rc, errno);
  int answer = kWsaNoData;
  for (addrinfo* ai = result; ai; ai = ai->ai_next) {
    if (ai->ai_family == AF_INET) {
      *address = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
      answer = 0;
      break;
    }
  }
  freeaddrinfo(result);
  return answer;
}

}  // namespace net::sys
