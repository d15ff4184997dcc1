// A machine for a whole launcher run, chosen from a stream of bytes: the
// command line and lead bytes, the version word, the system folder,
// registry values of any type and length in every key the launcher reads,
// keys without write or read rights, package and staged files present,
// missing or read-only, and a setup that ends after a few polls and may add
// adapters meanwhile. The whole-run fuzz target runs the launcher on it in
// memory; the fidelity check writes it into a Wine prefix as well.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace world {

using platform::Root;

constexpr size_t kMaxCommandLine = 32767;
constexpr int kMaxPolls = 5;

enum class Rights : uint8_t { kAll, kNoWrite, kNoRead };

struct Value {
  std::string name;
  unsigned long type;
  std::string bytes;  // as RegSetValueExA is given them
};

struct Key {
  Root root;
  std::string path;
  bool present = false;
  std::vector<Value> values;
  Rights rights = Rights::kAll;
};

// What lies in the staging folder before the run, per staged name.
enum class Leftover : uint8_t { kNone, kFile, kReadOnlyFile, kFolder };

struct Machine {
  unsigned long version = 0x0A280105;
  uint8_t lead_bytes = 0;  // fuzz::ChooseLeadBytes
  std::string system = "C:\\WINDOWS\\system32";
  std::string folder = "C:\\Pkg";  // where the launcher and package lie
  bool started_in_folder = false;  // the current folder is the package's
  std::string command_line;
  uint32_t present = 0;    // bit i: package file i (kPackageFiles) is there
  uint32_t read_only = 0;  // bit i: and read-only
  enum class Staging : uint8_t { kFolder, kMissing, kFile } staging = Staging::kFolder;
  std::vector<Leftover> leftovers;  // per kStagedFiles
  // 0 all rights; 1 no write under HKLM; 2 no write under the Corvane key;
  // 3 nothing readable under HKLM\SOFTWARE; 4 no write under HKCU.
  int denied = 0;
  std::vector<Key> keys;  // settings, legacy, installer (HKLM, HKCU)
  Key class_key;
  std::vector<Key> adapters;            // there before the run
  Key marker;
  int polls = 1;                        // the setup ends at this poll
  std::vector<std::vector<Key>> added;  // adapters it adds at each poll
  bool start_succeeds = true;
  bool run_again = false;
};

// The files a package may hold (the launcher's names and every response
// file), and the names the staging folder may hold.
extern const char* const kPackageFiles[20];
extern const char* const kStagedFiles[10];

Machine Choose(FuzzedDataProvider& in);

// Sets the in-memory platform up as the machine (after memory::Reset),
// the setup's sleep hook aside.
void Apply(const Machine& machine);
void ApplyKey(const Key& key);

}  // namespace world
