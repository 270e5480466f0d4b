// plain_copy: the baseline of the transfer benchmark. Copies a file over one
// loopback TCP connection with plain blocking read/write calls of a fixed
// block size, the way the transfer would go without any protocol.
//
//   plain_copy serve send|recv FILE BLOCK   listen on 127.0.0.1:0, print
//                                           "port=N", serve one connection
//   plain_copy client send|recv PORT FILE BLOCK
//
// "send" reads FILE and writes it to the socket; "recv" writes what arrives
// to FILE until the peer closes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Fail(const char* what) {
  std::perror(what);
  return 1;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

/// Copies `from` to `to` in reads of at most `block` bytes.
int Copy(int from, int to, std::size_t block) {
  std::vector<char> buffer(block);
  for (;;) {
    const ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0) return Fail("read");
    if (n == 0) return 0;
    if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(n))) return Fail("write");
  }
}

int Transfer(int sock, const std::string& direction, const char* path, std::size_t block) {
  int rc = 0;
  if (direction == "send") {
    const int file = ::open(path, O_RDONLY);
    if (file < 0) return Fail(path);
    rc = Copy(file, sock, block);
    ::close(file);
    ::shutdown(sock, SHUT_WR);
    char drain;
    while (::read(sock, &drain, 1) > 0) {
    }
  } else {
    const int file = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file < 0) return Fail(path);
    rc = Copy(sock, file, block);
    ::close(file);
  }
  ::close(sock);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "serve") == 0) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return Fail("listen");
    std::printf("port=%d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    const int sock = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    if (sock < 0) return Fail("accept");
    return Transfer(sock, argv[2], argv[3], std::strtoull(argv[4], nullptr, 10));
  }
  if (argc == 6 && std::strcmp(argv[1], "client") == 0) {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[3])));
    if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      return Fail("connect");
    return Transfer(sock, argv[2], argv[4], std::strtoull(argv[5], nullptr, 10));
  }
  std::fprintf(stderr,
               "usage: plain_copy serve send|recv FILE BLOCK\n"
               "       plain_copy client send|recv PORT FILE BLOCK\n");
  return 2;
}
