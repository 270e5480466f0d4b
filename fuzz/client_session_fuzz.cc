// Feeds arbitrary bytes to one server session over a scratch data folder, in
// pieces, after a valid log-in when the first input byte is odd. Besides
// crashes and sanitizer reports it checks that nothing appears next to the
// data folder: no request may write outside it.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "server/client_session.h"
#include "session/protocol.h"

namespace {

namespace fs = std::filesystem;

struct NullTransport : server::Transport {
  void Send(std::string_view bytes) override { sent += bytes.size(); }
  void CloseAfterSend() override { closed = true; }
  void Close() override { closed = true; }
  std::size_t sent = 0;
  bool closed = false;
};

struct Scratch {
  Scratch() {
    base = fs::temp_directory_path() / ("vaultline-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(base / "data" / "users" / "u" / "f");
    fs::create_directories(base / "data" / "dealers");
    fs::create_directories(base / "data" / "links" / "l");
    std::ofstream(base / "data" / "users" / "u" / "a.txt") << "abc";
    std::ofstream(base / "data" / "links" / "l" / "b.txt") << "bcd";
    std::ofstream(base / "sentinel") << "x";
    context.SetDataRoot(base / "data");
    server::UserConfig user;
    user.id = "u";
    user.password = "p";
    user.quota = 1 << 20;
    user.dealers = true;
    context.config.users.push_back(user);
    context.config.links.push_back(server::LinkConfig{"L", "l"});
    context.config.max_sessions_per_user = 1 << 30;
    context.block_size = 64;
  }
  ~Scratch() { fs::remove_all(base); }
  fs::path base;
  server::ServerContext context;
};

Scratch& State() {
  static Scratch scratch;
  return scratch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Scratch& scratch = State();
  NullTransport transport;
  {
    server::ClientSession session(scratch.context, transport, 1, "fuzz");
    if (data[0] & 1) {
      // "p" scrambled with the first key character.
      session.OnData(
          session::FrameMessage(std::string("LOGIN|5|u|") + static_cast<char>('p' + 'T')));
    }
    const std::size_t step = 1 + (data[0] >> 1);
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (std::size_t at = 0; at < input.size() && !transport.closed; at += step) {
      session.OnData(input.substr(at, step));
      for (int i = 0; i < 64 && !transport.closed; ++i) session.OnSendComplete();
    }
  }
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(scratch.base)) ++entries;
  if (entries != 2) std::abort();  // something was written beside the data folder
  return 0;
}
