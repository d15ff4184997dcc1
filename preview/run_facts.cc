#include "preview/run_facts.h"

#include <set>
#include <utility>

#include "adapter/write_block_size.h"
#include "launcher/launcher.h"
#include "preview/display.h"

namespace preview {

namespace {

using memory::Event;
using memory::Operation;
using platform::Phase;

bool Same(const std::string& a, const std::string& b) { return AsciiLower(a) == AsciiLower(b); }

bool Is(const Event& event, Operation operation, platform::Root root, const std::string& key,
        const std::string& name) {
  return event.operation == operation && event.status == 0 && event.root == root &&
         Same(event.key, key) && Same(event.name, name);
}

bool IsClassKey(const std::string& key) { return Same(key, adapter::kAdapterClassKey); }

bool InClassKey(const std::string& key) {
  const std::string top = AsciiLower(adapter::kAdapterClassKey) + "\\";
  return AsciiLower(key).compare(0, top.size(), top) == 0;
}

// Text data up to its terminator: a rewrite passes the text it read.
std::string Text(const std::string& data) { return data.substr(0, data.find('\0')); }

}  // namespace

bool Entered(const Journal& journal, Phase phase) {
  for (const Event& event : journal) {
    if (event.operation == Operation::kPhase && event.phase == phase) return true;
  }
  return false;
}

bool StartsSilently(const Journal& journal) {
  bool silent = false;
  for (const Event& event : journal) {
    if (event.operation == Operation::kPhase && event.phase == Phase::kResponseFile) silent = true;
    if (event.operation == Operation::kStartProgram) return silent;
  }
  return false;
}

bool Waits(const Journal& journal) {
  for (const Event& event : journal) {
    if (event.phase == Phase::kWait && event.operation == Operation::kOpenKey) {
      return event.status == 0;
    }
  }
  return false;
}

bool FixesAdaptersWhileWaiting(const Journal& journal) {
  for (const Event& event : journal) {
    if (event.phase == Phase::kWait && event.operation == Operation::kOpenKey &&
        IsClassKey(event.key)) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> AdaptersTunedAtFirstPoll(const Journal& journal) {
  std::vector<std::string> tuned;
  const size_t prefix = std::string(adapter::kAdapterClassKey).size() + 1;
  for (const Event& event : journal) {
    if (event.operation == Operation::kSleep) break;  // the first poll is over
    if (event.phase == Phase::kWait && event.operation == Operation::kSetValue &&
        event.status == 0 && Same(event.name, "writeBlockSize") && InClassKey(event.key)) {
      tuned.push_back(event.key.substr(prefix));
    }
  }
  return tuned;
}

std::optional<size_t> MovedBy(const Journal& journal, size_t set) {
  const Event& written = journal[set];
  for (size_t j = set + 1; j < journal.size() && journal[j].phase == written.phase; ++j) {
    const Event& e = journal[j];
    if (e.operation == Operation::kSetValue) break;
    if (e.operation == Operation::kDeleteValue && e.status == 0 && Same(e.name, written.name) &&
        !(e.root == written.root && Same(e.key, written.key))) {
      return j;
    }
  }
  return std::nullopt;
}

std::vector<Place> PlacesWritten(const Journal& journal) {
  std::vector<Place> places;
  std::set<std::pair<int, std::string>> seen;  // root, folded "key\nname" or "key"
  const auto add = [&](const Event& e, std::optional<std::string> name) {
    if (Same(e.key, launcher::kMarkerKeyPath) && e.root == platform::Root::kLocalMachine) return;
    const std::string id = AsciiLower(e.key) + (name ? "\n" + AsciiLower(*name) : "");
    if (seen.insert({static_cast<int>(e.root), id}).second) {
      places.push_back({e.root, e.key, std::move(name)});
    }
  };
  for (const Event& e : journal) {
    if (e.status != 0) continue;
    switch (e.operation) {
      case Operation::kSetValue:
      case Operation::kDeleteValue: add(e, e.name); break;
      case Operation::kKeyCreated: add(e, std::nullopt); break;
      default: break;
    }
  }
  return places;
}

std::string WhyValue(const Journal& journal, platform::Root root, const std::string& key,
                     const std::string& name, bool changed) {
  bool option = false, carried = false, fresh = false, own = false;
  bool adapter = false, marker = false;
  for (size_t i = 0; i < journal.size(); ++i) {
    const Event& set = journal[i];
    if (!Is(set, Operation::kSetValue, root, key, name)) continue;
    switch (set.phase) {
      case Phase::kOptionSettings: option = true; continue;
      case Phase::kWait: adapter = true; continue;
      case Phase::kMarkerKey: marker = true; continue;
      default: break;
    }
    if (MovedBy(journal, i)) {
      carried = true;
      continue;
    }
    // Its own data, read just before and written back.
    bool read_back = false;
    for (size_t j = i; j-- > 0 && journal[j].phase == set.phase;) {
      const Event& e = journal[j];
      if (e.operation == Operation::kQueryValue && e.root == root && Same(e.key, key) &&
          Same(e.name, name)) {
        read_back = e.status == 0 && Text(e.data) == Text(set.data);
        break;
      }
    }
    if (read_back) {
      own = true;
    } else {
      fresh = true;
    }
  }
  if (option) return "option";
  if (carried) return "carried";
  if (fresh) return "default";
  if (adapter) return "adapter";
  if (marker) return "marker";
  if (own && changed) return "rewritten";
  return "kept";
}

std::string WhyChange(const Journal& journal, const Change& change) {
  const std::string key = memory::ProgramName(change.path);
  switch (change.op) {
    case Change::Op::kSetValue:
      return WhyValue(journal, change.root, key, memory::ProgramName(change.value.name), true);
    case Change::Op::kDeleteValue:
      for (const Event& e : journal) {
        if (Is(e, Operation::kDeleteValue, change.root, key,
               memory::ProgramName(change.value.name))) {
          return e.phase == Phase::kCarryOver ? "carried" : "option";
        }
      }
      return "kept";
    case Change::Op::kCreateKey:
      for (const Event& e : journal) {
        if (e.operation == Operation::kKeyCreated && e.root == change.root && Same(e.key, key)) {
          switch (e.phase) {
            case Phase::kMarkerKey: return "marker";
            case Phase::kCarryOver: return "carry-over";
            case Phase::kOptionSettings: return "option";
            default: return "launcher";
          }
        }
      }
      return "launcher";
    case Change::Op::kDeleteKey:
      return "setup";
  }
  return "kept";
}

}  // namespace preview
