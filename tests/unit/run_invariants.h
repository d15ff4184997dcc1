// What any whole run of the launcher may do to the in-memory world, checked
// after the run by the fault-injection test and the whole-run fuzz target:
// the registry places it may write, the one folder it writes files into, the
// one program it may start, closed handles, and that every value it moved
// out of the legacy key or the user's installer key arrived.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "adapter/write_block_size.h"
#include "launcher/dispatch.h"
#include "launcher/launcher.h"
#include "launcher/options.h"
#include "platform/memory_testing.h"
#include "settings/layout.h"

namespace run_check {

using platform::Root;

inline std::string Fold(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return s;
}

inline std::string Place(Root root, const std::string& path) {
  return Fold((root == Root::kLocalMachine ? "HKLM\\" : "HKCU\\") + path);
}

// key is place itself or one of the keys above it.
inline bool OnPathTo(const std::string& key, const std::string& place) {
  return place == key || place.compare(0, key.size() + 1, key + "\\") == 0;
}

inline bool Same(const std::optional<memory::Value>& a,
                 const std::optional<memory::Value>& b) {
  if (!a || !b) return !a && !b;
  return a->type == b->type && a->data == b->data;
}

inline memory::Value Sz(const std::string& text) {
  return {platform::kRegSz, text + '\0'};
}

// The values a run may move, from where to where.
struct Move {
  Root root;
  const char* from;
  const char* name;
  const char* to;  // under HKEY_LOCAL_MACHINE
};
inline const Move kMoves[] = {
    {Root::kLocalMachine, settings::kLegacyKey, settings::kGinaInstallOption,
     settings::kSettingsKey},
    {Root::kLocalMachine, settings::kLegacyKey, settings::kSilentLeapOption,
     settings::kSettingsKey},
    {Root::kLocalMachine, settings::kLegacyKey, settings::kWModeSelect,
     settings::kSettingsKey},
    {Root::kCurrentUser, settings::kInstallerKey, settings::kInstallOption,
     settings::kInstallerKey},
};

// What moving the stored value writes: the text up to the first zero byte of a
// 50-byte read, at most 49 characters, as REG_SZ, or wModeSelect's four
// bytes, zero-filled, as REG_DWORD. Nothing for a value too long to be
// read, which is never moved.
inline std::optional<memory::Value> Moved(const Move& m,
                                        const memory::Value& stored) {
  const std::string& d = stored.data;
  if (Fold(m.name) == Fold(settings::kWModeSelect)) {
    if (d.size() > 4) return std::nullopt;
    return memory::Value{platform::kRegDword,
                       d + std::string(4 - d.size(), '\0')};
  }
  if (d.size() > settings::kTextCapacity) return std::nullopt;
  return Sz(
      d.substr(0, std::min<size_t>(d.find('\0'), settings::kTextCapacity - 1)));
}

// Values a later step of the run writes over a moved one by design: the
// option's setter, and, only when an injected failure made its read of the
// settings key fail, the GinaInstallOption default.
inline std::vector<memory::Value> Overwrites(const Move& m, int option,
                                           bool faults) {
  const std::string text = launcher::OptionString(option);
  const std::string name = Fold(m.name);
  std::vector<memory::Value> values;
  if (name == Fold(settings::kGinaInstallOption)) {
    if (text.find("-gina") != std::string::npos) values.push_back(Sz("1"));
    if (faults) values.push_back(Sz("0"));
  } else if (name == Fold(settings::kSilentLeapOption)) {
    if (text.find("-sl") != std::string::npos) values.push_back(Sz("1"));
  } else if (name == Fold(settings::kWModeSelect)) {
    const size_t at = text.find("-wm=");
    if (at != std::string::npos) {
      const unsigned long mode =
          std::strtoul(text.c_str() + at + 4, nullptr, 10);
      std::string bytes(4, '\0');
      bytes[0] = static_cast<char>(mode);
      values.push_back({platform::kRegDword, bytes});
    }
  }
  return values;
}

// The adapter's ComponentId, read as the write-block-size fix reads it (500
// bytes), begins with one of the supported hardware ids.
inline bool SupportedAdapter(const std::string& key_path) {
  const auto id = memory::GetValue(Root::kLocalMachine, key_path, "ComponentId");
  if (!id || id->data.size() > 500) return false;
  const std::string text = Fold(id->data.substr(0, id->data.find('\0')))
                               .substr(0, adapter::kHardwareIdLength);
  for (const char* known : adapter::kHardwareIds) {
    if (text == Fold(known)) return true;
  }
  return false;
}

// One line of memory::RegistryWrites(), folded: "set HKLM\A:Name".
struct Write {
  std::string verb, key, name;
};
inline Write Parse(const std::string& line) {
  Write w;
  const size_t blank = line.find(' ');
  w.verb = line.substr(0, blank);
  std::string rest = line.substr(blank + 1);
  if (w.verb != "create") {
    // The system's value names hold no colon; a key name may.
    const size_t colon = rest.rfind(':');
    w.name = Fold(rest.substr(colon + 1));
    rest = rest.substr(0, colon);
  }
  w.key = Fold(rest);
  return w;
}

// Taken before a run; Verify compares the world after it with this.
class Before {
 public:
  // folders: every folder a file of the world may lie in; the staging
  // folder is the only one the run may change.
  Before(std::vector<std::string> folders, std::string staging)
      : folders_(std::move(folders)), staging_(Fold(staging)) {
    files_ = Files();
    for (const Move& m : kMoves)
      sources_.push_back(memory::GetValue(m.root, m.from, m.name));
  }

  // "" when the run kept every rule, else the first rule broken.
  std::string Verify(const char* tail, bool faults) const {
    if (memory::OpenHandles() != 0) return "a registry handle is left open";
    const int option = launcher::ResolveOption(tail);
    if (std::string problem = CheckWrites(option); !problem.empty()) {
      return problem;
    }
    if (std::string problem = CheckMoves(option, faults); !problem.empty()) {
      return problem;
    }
    const auto after = Files();
    for (const auto& [path, file] : files_) {
      const auto it = after.find(path);
      if ((it == after.end() || it->second != file) && !InStaging(path)) {
        return "file changed or removed outside the staging folder: " + path;
      }
    }
    for (const auto& [path, file] : after) {
      if (files_.count(path) == 0 && !InStaging(path)) {
        return "file written outside the staging folder: " + path;
      }
    }
    const auto starts = memory::Starts();
    if (starts.size() > 1) return "more than one program started";
    if (starts.size() == 1 &&
        Fold(starts[0].application) != staging_ + "\\setup.exe") {
      return "started another program than the staged setup: " +
             starts[0].application;
    }
    return "";
  }

 private:
  using FileMap = std::map<std::string, std::pair<std::string, unsigned long>>;

  FileMap Files() const {
    FileMap files;
    for (const std::string& folder : folders_) {
      for (const std::string& name : memory::FilesIn(folder)) {
        const std::string path =
            folder + (folder.back() == '\\' ? "" : "\\") + name;
        files[Fold(path)] = {memory::FileContents(path),
                             memory::FileAttributesOf(path)};
      }
    }
    return files;
  }

  bool InStaging(const std::string& path) const {
    return path.compare(0, staging_.size() + 1, staging_ + "\\") == 0 &&
           path.find('\\', staging_.size() + 1) == std::string::npos;
  }

  std::string CheckWrites(int option) const {
    const launcher::Family family =
        launcher::ClassifyFamily(platform::VersionWord());
    const bool nt = family == launcher::Family::kWindows2000 ||
                    family == launcher::Family::kWindowsXP;
    const bool install_type = family != launcher::Family::kOther &&
                              (option == 13 || option == 14 || option == 15 ||
                               option == 16 || option == 35);
    const bool wbs = launcher::IsWriteBlockSizeOption(option);
    const std::string set = Place(Root::kLocalMachine, settings::kSettingsKey);
    const std::string legacy = Place(Root::kLocalMachine, settings::kLegacyKey);
    const std::string machine =
        Place(Root::kLocalMachine, settings::kInstallerKey);
    const std::string user = Place(Root::kCurrentUser, settings::kInstallerKey);
    const std::string marker =
        Place(Root::kLocalMachine, launcher::kMarkerKeyPath);
    const std::string adapters =
        Place(Root::kLocalMachine, adapter::kAdapterClassKey) + "\\";
    const auto moved_name = [](const std::string& name, bool with_user) {
      for (const Move& m : kMoves) {
        if ((m.root == Root::kCurrentUser) == with_user &&
            name == Fold(m.name)) {
          return true;
        }
      }
      return false;
    };
    for (const std::string& line : memory::RegistryWrites()) {
      const Write w = Parse(line);
      bool allowed = false;
      if (w.verb == "create") {
        allowed = (nt && OnPathTo(w.key, set)) ||
                  (install_type && OnPathTo(w.key, machine)) ||
                  OnPathTo(w.key, marker);
      } else if (w.verb == "set") {
        allowed =
            (nt && w.key == set &&
             (moved_name(w.name, false) ||
              w.name == Fold(settings::kXRStatus))) ||
            (install_type && w.key == machine &&
             w.name == Fold(settings::kInstallOption)) ||
            (wbs && w.key.compare(0, adapters.size(), adapters) == 0 &&
             w.key.find('\\', adapters.size()) == std::string::npos &&
             w.name == "writeblocksize" && SupportedAdapter(w.key.substr(5)));
      } else if (w.verb == "delete") {
        allowed = (nt && w.key == legacy && moved_name(w.name, false)) ||
                  (install_type && w.key == user && moved_name(w.name, true));
      }
      if (!allowed) return "registry write not allowed: " + line;
    }
    return "";
  }

  std::string CheckMoves(int option, bool faults) const {
    const std::vector<std::string> writes = memory::RegistryWrites();
    for (size_t i = 0; i < std::size(kMoves); ++i) {
      const Move& m = kMoves[i];
      const std::optional<memory::Value>& before = sources_[i];
      if (!before || Same(before, memory::GetValue(m.root, m.from, m.name))) {
        continue;
      }
      const std::string label = std::string(m.name) + " of " + m.from;
      const std::optional<memory::Value> moved = Moved(m, *before);
      if (!moved) return label + " deleted though it could not be read";
      const std::optional<memory::Value> arrived =
          memory::GetValue(Root::kLocalMachine, m.to, m.name);
      if (Same(moved, arrived)) continue;
      // A later step may have replaced it on purpose, but only after the
      // move had written the target and then deleted the source.
      const std::string from = Place(m.root, m.from);
      const std::string to = Place(Root::kLocalMachine, m.to);
      std::vector<size_t> sets;
      size_t deleted = 0;
      for (size_t n = 0; n < writes.size(); ++n) {
        const Write w = Parse(writes[n]);
        if (w.name != Fold(m.name)) continue;
        if (w.verb == "set" && w.key == to) sets.push_back(n);
        if (w.verb == "delete" && w.key == from) deleted = n;
      }
      const bool landed = !sets.empty() && sets.front() < deleted;
      const bool replaced = !sets.empty() && sets.back() > deleted;
      bool designed = false;
      for (const memory::Value& v : Overwrites(m, option, faults)) {
        designed = designed || Same(v, arrived);
      }
      if (!landed || !replaced || !designed) {
        return label + " lost: its move did not arrive";
      }
    }
    return "";
  }

  std::vector<std::string> folders_;
  std::string staging_;  // folded
  FileMap files_;
  std::vector<std::optional<memory::Value>> sources_;
};

}  // namespace run_check
