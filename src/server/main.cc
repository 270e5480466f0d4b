// vaultline-server: the reference folder server and its parameters endpoint.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "net/dispatch.h"
#include "net/poll_event_loop.h"
#include "server/config.h"
#include "server/demo.h"
#include "server/server.h"
#include "support/error.h"
#include "support/text.h"

namespace {

constexpr const char* kUsage =
    "usage: vaultline-server --data DIR [--config FILE] [--port N] [--http-port N]\n"
    "                        [--bind ADDR] [--demo] [--pf-body TEXT|empty|404]\n"
    "  --data DIR        data folder: DIR/users/<id>/, DIR/dealers/, DIR/links/<target>/\n"
    "  --config FILE     users, links and server settings (INI, see README)\n"
    "  --port N          folder port (default 2121, 0 = any free port)\n"
    "  --http-port N     parameters endpoint port (default 8080, 0 = any free port)\n"
    "  --bind ADDR       IPv4 address to listen on (default 127.0.0.1)\n"
    "  --demo            create the demo account demo/demo and its files if missing\n"
    "  --pf-body X       answer GET /webftp/pf.txt with X, an empty body or 404\n";

int signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto ignored = ::write(signal_pipe[1], &byte, 1);
}

void LogLine(const std::string& line) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::cerr << stamp << ' ' << line << '\n' << std::flush;
}

bool ParsePort(std::string_view text, int& port) {
  const auto value = support::ParseNonNegative(text);
  if (!value || *value > 65535) return false;
  port = static_cast<int>(*value);
  return true;
}

void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string data;
  std::string config_path;
  bool demo = false;
  server::ServerOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--demo") {
      demo = true;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (has_value && arg == "--data") {
      data = argv[++i];
    } else if (has_value && arg == "--config") {
      config_path = argv[++i];
    } else if (has_value && arg == "--bind") {
      options.bind = argv[++i];
    } else if (has_value && arg == "--pf-body") {
      options.pf = server::PfAnswerFromOption(argv[++i]);
    } else if (has_value && arg == "--port") {
      if (!ParsePort(argv[++i], options.port)) {
        std::cerr << "vaultline-server: bad --port\n";
        return 2;
      }
    } else if (has_value && arg == "--http-port") {
      if (!ParsePort(argv[++i], options.http_port)) {
        std::cerr << "vaultline-server: bad --http-port\n";
        return 2;
      }
    } else {
      std::cerr << "vaultline-server: unknown or incomplete argument " << arg << "\n" << kUsage;
      return 2;
    }
  }
  if (data.empty()) {
    std::cerr << "vaultline-server: --data is required\n" << kUsage;
    return 2;
  }

  server::ServerContext context;
  context.SetDataRoot(data);
  context.log = LogLine;
  if (!config_path.empty()) {
    auto loaded = server::LoadConfig(config_path);
    if (!loaded.config) {
      std::cerr << "vaultline-server: " << loaded.error << "\n";
      return 2;
    }
    context.config = std::move(*loaded.config);
  }
  if (demo) {
    std::string error;
    if (!server::SeedDemo(data, context.config, error)) {
      std::cerr << "vaultline-server: demo: " << error << "\n";
      return 1;
    }
  }
  if (context.config.users.empty())
    LogLine("warning: no users configured (give --config FILE or --demo)");

  RaiseDescriptorLimit();
  ::signal(SIGPIPE, SIG_IGN);
  if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("vaultline-server: pipe");
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);

  net::PollEventLoop loop;
  net::SetEventLoop(&loop);
  {
    server::Server server(loop, context, options);
    try {
      server.Start();
    } catch (const support::Error& error) {
      std::cerr << "vaultline-server: cannot start: " << error.Description() << "\n";
      return 1;
    }
    std::cout << "port=" << server.Port() << "\n";
    if (options.http_port >= 0) std::cout << "http_port=" << server.HttpPort() << "\n";
    if (demo)
      std::cout << "demo account: user " << server::kDemoUser << ", password "
                << server::kDemoPassword << "\n";
    std::cout << std::flush;
    LogLine("listening on " + options.bind + ":" + std::to_string(server.Port()) + ", data " +
            std::filesystem::absolute(data).string());

    const net::WatchId watch =
        loop.Watch(signal_pipe[0], net::Readiness::kRead, [&](net::Readiness) {
          char drain[16];
          while (::read(signal_pipe[0], drain, sizeof drain) > 0) {
          }
          LogLine("stopping");
          loop.Quit();
        });
    loop.Run();
    loop.Unwatch(watch);
    server.Stop();
  }
  net::SetEventLoop(nullptr);
  return 0;
}
