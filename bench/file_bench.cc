// Chunked transfers through File against plain read()/write() on the same
// descriptor kind, the cost the transfer engines pay per chunk. Prints the best
// of several rounds and the ratio File / plain (1.00 means no overhead).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/file.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kChunk = 4u << 20;    // a large transfer chunk
constexpr std::size_t kTotal = 256u << 20;  // bytes moved per round
constexpr int kRounds = 7;

template <typename Body>
double BestSeconds(Body body) {
  double best = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    const auto start = Clock::now();
    body();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

void Report(const char* what, double plain, double file) {
  const double mib = static_cast<double>(kTotal) / (1 << 20);
  std::printf("%-28s plain %8.1f MiB/s   File %8.1f MiB/s   ratio %.2f\n", what, mib / plain,
              mib / file, file / plain);
}

}  // namespace

int main() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "vaultline-bench-XXXXXX").string();
  const int probe = ::mkstemp(pattern.data());
  if (probe < 0) return 1;
  ::close(probe);
  const std::string path = pattern;
  std::vector<std::uint8_t> chunk(kChunk, 0x5A);

  const double plain_write = BestSeconds([&] {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    for (std::size_t done = 0; done < kTotal; done += kChunk) {
      if (::write(fd, chunk.data(), kChunk) != static_cast<ssize_t>(kChunk)) std::abort();
    }
    ::close(fd);
  });
  const double file_write = BestSeconds([&] {
    support::File file;
    file.OpenFile(path, support::File::kGenericWrite, support::File::kDenyWrite, true);
    file.ResizeToPosition();
    for (std::size_t done = 0; done < kTotal; done += kChunk) file.WriteDataBin(chunk);
  });
  Report("write 4 MiB chunks", plain_write, file_write);

  const double plain_read = BestSeconds([&] {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<std::uint8_t> buffer(kChunk);
    while (::read(fd, buffer.data(), kChunk) > 0) {
    }
    ::close(fd);
  });
  const double file_read = BestSeconds([&] {
    support::File file;
    file.OpenFile(path, support::File::kGenericRead, support::File::kDenyWrite, false);
    std::vector<std::uint8_t> buffer;
    do {
      buffer.resize(kChunk);  // the engine's re-dimension before each chunk
      file.ReadDataBin(buffer);
    } while (!buffer.empty());
  });
  Report("read 4 MiB chunks", plain_read, file_read);

  const double plain_small = BestSeconds([&] {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::uint8_t buffer[4096];
    for (std::size_t done = 0; done < (kTotal >> 4); done += sizeof buffer) {
      if (::read(fd, buffer, sizeof buffer) <= 0) std::abort();
    }
    ::close(fd);
  });
  const double file_small = BestSeconds([&] {
    support::File file;
    file.OpenFile(path, support::File::kGenericRead, support::File::kDenyNone, false);
    std::uint8_t buffer[4096];
    for (std::size_t done = 0; done < (kTotal >> 4); done += sizeof buffer) {
      file.ReadDataBinEx(buffer, sizeof buffer);
    }
  });
  std::printf("%-28s ratio %.2f (16 MiB in 4 KiB reads)\n", "read 4 KiB blocks",
              file_small / plain_small);
  std::filesystem::remove(path);
  return 0;
}
