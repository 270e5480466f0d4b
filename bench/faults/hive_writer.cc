// hive_writer: writes the program's settings in a loop so that bench/faults/hive_kill
// can kill it at any moment, and checks what a kill left behind.
//
//   hive_writer seed  VALUES BYTES             one full set of "A" values
//   hive_writer write VALUES BYTES             rewrite the set forever, "A"/"B" in turn
//   hive_writer check VALUES BYTES EXPECT_DIR [LETTER COUNT]
//
// The hive is the one of the settings code (QUARRYTAB_HIVE_DIR points it
// elsewhere). The set is VALUES text values "Value00".. of section FaultRun of
// the program's settings, each BYTES copies of one letter, written one value
// per call with AppSetting as the program writes its settings at exit.
//
// A state of the set is written "LETTER COUNT": the first COUNT values hold
// LETTER and the rest the other letter (COUNT = VALUES: all of them). `write`
// continues from the state it finds, prints "start LETTER COUNT", and after
// every value write returns prints the state reached, with one write call each,
// so a kill loses no line of a finished write.
//
// `check` loads the hive with the settings code and answers, on stdout,
// "state LETTER COUNT" and exit 0 when the file is exactly the hive the
// settings code writes for that state (rebuilt in EXPECT_DIR), and, given the
// last state the writer reported, when the state is that one or the one its
// next write makes. Exit 1: a value is missing, torn or of a wrong kind, or
// the file holds anything else; exit 3: a whole state, but not one of those two.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_setting.h"
#include "quarrytab/hive_file_store.h"
#include "quarrytab/registry.h"
#include "support/error.h"

namespace {

constexpr const char* kTitle = "Orvalis\\Vaultline";
constexpr const char* kSection = "FaultRun";

struct State {
  char letter = 'A';
  int count = 0;
  bool operator==(const State&) const = default;
};

char Other(char letter) { return letter == 'A' ? 'B' : 'A'; }

/// The state one more value write makes.
State Successor(State s, int values) {
  if (s.count < values) return {s.letter, s.count + 1};
  return {Other(s.letter), 1};
}

std::string ValueName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "Value%02d", i);
  return name;
}

void Say(const std::string& line) {
  const std::string text = line + "\n";
  [[maybe_unused]] const auto ignored = ::write(STDOUT_FILENO, text.data(), text.size());
}

/// Writes value `index` of the set in `letter` through the program's settings code.
void WriteValue(app::AppSetting& settings, int index, char letter, int bytes) {
  settings.SaveAppSettingString(kSection, ValueName(index),
                                std::string(static_cast<std::size_t>(bytes), letter));
}

std::unique_ptr<app::AppSetting> OpenSettings(const std::string& directory) {
  auto settings =
      std::make_unique<app::AppSetting>(std::make_shared<quarrytab::HiveFileStore>(directory));
  settings->SetAppSettingTitle(kTitle);
  return settings;
}

/// The state the hive holds, or the reason it holds none.
std::optional<State> ReadState(const std::string& directory, int values, int bytes,
                               std::string& why) {
  quarrytab::HiveFileStore store(directory);
  const std::string key = std::string("Software\\") + kTitle + "\\" + kSection;
  std::vector<std::string> names;
  if (const auto code = store.EnumValues(quarrytab::kHkeyCurrentUser, key, names); code != 0) {
    why = "the key cannot be read (code " + std::to_string(code) + ")";
    return std::nullopt;
  }
  if (static_cast<int>(names.size()) != values) {
    why = std::to_string(names.size()) + " values instead of " + std::to_string(values);
    return std::nullopt;
  }
  // The program's own read path must see the same text as the store.
  auto settings = OpenSettings(directory);
  std::vector<char> letters;
  for (int i = 0; i < values; ++i) {
    quarrytab::RegistryData data;
    const auto code = store.QueryValue(quarrytab::kHkeyCurrentUser, key, ValueName(i), data);
    if (code != 0) {
      why = ValueName(i) + " cannot be read (code " + std::to_string(code) + ")";
      return std::nullopt;
    }
    const char letter = data.bytes.empty() ? '?' : data.bytes.front();
    const std::string whole = std::string(static_cast<std::size_t>(bytes), letter) + '\0';
    if (data.type != quarrytab::kRegSz || (letter != 'A' && letter != 'B') || data.bytes != whole) {
      why = ValueName(i) + " is torn or of another kind (type " + std::to_string(data.type) + ", " +
            std::to_string(data.bytes.size()) + " bytes)";
      return std::nullopt;
    }
    if (settings->GetAppSettingString(kSection, ValueName(i), "") !=
        whole.substr(0, whole.size() - 1)) {
      why = ValueName(i) + " reads otherwise through AppSetting";
      return std::nullopt;
    }
    letters.push_back(letter);
  }
  State state{letters.front(), 0};
  while (state.count < values && letters[static_cast<std::size_t>(state.count)] == state.letter)
    ++state.count;
  for (int i = state.count; i < values; ++i) {
    if (letters[static_cast<std::size_t>(i)] != Other(state.letter)) {
      why = "the letters do not form one interrupted pass";
      return std::nullopt;
    }
  }
  return state;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

/// The hive file the settings code writes for `state`, written from nothing.
std::string ExpectedHive(const std::string& directory, State state, int values, int bytes) {
  std::error_code ec;
  std::filesystem::remove_all(directory, ec);
  auto settings = OpenSettings(directory);
  for (int i = 0; i < values; ++i)
    WriteValue(*settings, i, i < state.count ? state.letter : Other(state.letter), bytes);
  return ReadBytes(quarrytab::HiveFileStore(directory).HivePath(quarrytab::kHkeyCurrentUser));
}

int Seed(int values, int bytes) {
  auto settings = OpenSettings(quarrytab::DefaultHiveDirectory());
  for (int i = 0; i < values; ++i) WriteValue(*settings, i, 'A', bytes);
  return 0;
}

int Write(int values, int bytes) {
  const std::string directory = quarrytab::DefaultHiveDirectory();
  std::string why;
  auto state = ReadState(directory, values, bytes, why);
  if (!state) {
    std::fprintf(stderr, "hive_writer: no state to continue from: %s\n", why.c_str());
    return 1;
  }
  Say("start " + std::string(1, state->letter) + " " + std::to_string(state->count));
  auto settings = OpenSettings(directory);
  for (;;) {
    const State next = Successor(*state, values);
    WriteValue(*settings, next.count - 1, next.letter, bytes);
    state = next;
    Say(std::string(1, state->letter) + " " + std::to_string(state->count));
  }
}

int Check(int values, int bytes, const std::string& expect_dir, std::optional<State> reported) {
  const std::string directory = quarrytab::DefaultHiveDirectory();
  std::string why;
  const auto state = ReadState(directory, values, bytes, why);
  if (!state) {
    std::printf("torn: %s\n", why.c_str());
    return 1;
  }
  std::printf("state %c %d\n", state->letter, state->count);
  const std::string path =
      quarrytab::HiveFileStore(directory).HivePath(quarrytab::kHkeyCurrentUser);
  const std::string actual = ReadBytes(path);
  const std::string expected = ExpectedHive(expect_dir, *state, values, bytes);
  if (actual != expected) {
    std::printf("torn: the file (%zu bytes) is not the hive of its state (%zu bytes)\n",
                actual.size(), expected.size());
    return 1;
  }
  if (reported && !(*state == *reported) && !(*state == Successor(*reported, values))) {
    std::printf("lost: the writer had reached %c %d\n", reported->letter, reported->count);
    return 3;
  }
  return 0;
}

int Usage() {
  std::fputs(
      "usage: hive_writer seed|write VALUES BYTES\n"
      "       hive_writer check VALUES BYTES EXPECT_DIR [LETTER COUNT]\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string mode = argv[1];
  const int values = std::atoi(argv[2]);
  const int bytes = std::atoi(argv[3]);
  if (values < 1 || values > 99 || bytes < 1) return Usage();
  try {
    if (mode == "seed" && argc == 4) return Seed(values, bytes);
    if (mode == "write" && argc == 4) return Write(values, bytes);
    if (mode == "check" && (argc == 5 || argc == 7)) {
      std::optional<State> reported;
      if (argc == 7) reported = State{argv[5][0], std::atoi(argv[6])};
      return Check(values, bytes, argv[4], reported);
    }
  } catch (const support::Error& error) {
    std::printf("error %d: %s\n", error.Number(), error.Description().c_str());
    return 1;
  }
  return Usage();
}
