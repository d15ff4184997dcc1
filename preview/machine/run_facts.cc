#include "preview/machine/run_facts.h"

#include <set>
#include <utility>

#include "adapter/write_block_size.h"
#include "launcher/launcher.h"
#include "preview/exports/ascii.h"

namespace preview {

namespace {

using memory::Event;
using memory::Operation;
using platform::Phase;

bool Is(const Event& event, Operation operation, platform::Root root, const std::string& key,
        const std::string& name) {
  return event.operation == operation && event.status == 0 && event.root == root &&
         AsciiLower(event.key) == AsciiLower(key) &&
         AsciiLower(event.name) == AsciiLower(name);
}

bool IsClassKey(const std::string& key) {
  return AsciiLower(key) == AsciiLower(adapter::kAdapterClassKey);
}

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
        event.status == 0 && AsciiLower(event.name) == "writeblocksize" &&
        InClassKey(event.key)) {
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
    if (e.operation == Operation::kDeleteValue && e.status == 0 &&
        AsciiLower(e.name) == AsciiLower(written.name) &&
        !(e.root == written.root && AsciiLower(e.key) == AsciiLower(written.key))) {
      return j;
    }
  }
  return std::nullopt;
}

std::vector<Place> PlacesWritten(const Journal& journal) {
  std::vector<Place> places;
  std::set<std::pair<int, std::string>> seen;  // root, folded "key\nname" or "key"
  const auto add = [&](const Event& e, std::optional<std::string> name) {
    if (AsciiLower(e.key) == AsciiLower(launcher::kMarkerKeyPath) &&
        e.root == platform::Root::kLocalMachine) {
      return;
    }
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

namespace {

// Where the journal is indexed: the root, the key and the name, A-Z folded
// (the key's length first, as names may hold any character).
std::string Indexed(platform::Root root, const std::string& key, const std::string& name) {
  return std::to_string(static_cast<int>(root)) + ":" + std::to_string(key.size()) + ":" +
         AsciiLower(key) + AsciiLower(name);
}

// The reason of a value from the successful writes of it (event numbers in
// journal order).
std::string ValueReason(const Journal& journal, const std::vector<size_t>& sets,
                        platform::Root root, const std::string& key, const std::string& name,
                        bool changed) {
  bool option = false, carried = false, fresh = false, own = false;
  bool adapter = false, marker = false;
  for (size_t i : sets) {
    const Event& set = journal[i];
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
      if (e.operation == Operation::kQueryValue && e.root == root &&
          AsciiLower(e.key) == AsciiLower(key) && AsciiLower(e.name) == AsciiLower(name)) {
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

const std::vector<size_t>& Events(const std::unordered_map<std::string, std::vector<size_t>>& index,
                                  const std::string& place) {
  static const std::vector<size_t> kNone;
  auto found = index.find(place);
  return found == index.end() ? kNone : found->second;
}

}  // namespace

std::string WhyValue(const Journal& journal, platform::Root root, const std::string& key,
                     const std::string& name, bool changed) {
  std::vector<size_t> sets;
  for (size_t i = 0; i < journal.size(); ++i) {
    if (Is(journal[i], Operation::kSetValue, root, key, name)) sets.push_back(i);
  }
  return ValueReason(journal, sets, root, key, name, changed);
}

Reasons::Reasons(const Journal& journal) : journal_(journal) {
  for (size_t i = 0; i < journal.size(); ++i) {
    const Event& e = journal[i];
    switch (e.operation) {
      case Operation::kSetValue:
        if (e.status == 0) sets_[Indexed(e.root, e.key, e.name)].push_back(i);
        break;
      case Operation::kDeleteValue:
        if (e.status == 0) deletions_[Indexed(e.root, e.key, e.name)].push_back(i);
        break;
      case Operation::kKeyCreated:
        created_[Indexed(e.root, e.key, "")].push_back(i);
        break;
      default:
        break;
    }
  }
}

std::string Reasons::Why(const Change& change) const {
  const std::string key = memory::ProgramName(change.path);
  switch (change.op) {
    case Change::Op::kSetValue: {
      const std::string name = memory::ProgramName(change.value.name);
      return ValueReason(journal_, Events(sets_, Indexed(change.root, key, name)), change.root,
                         key, name, true);
    }
    case Change::Op::kDeleteValue: {
      const std::vector<size_t>& deletions =
          Events(deletions_, Indexed(change.root, key, memory::ProgramName(change.value.name)));
      if (deletions.empty()) return "kept";
      return journal_[deletions.front()].phase == Phase::kCarryOver ? "carried" : "option";
    }
    case Change::Op::kCreateKey: {
      const std::vector<size_t>& created = Events(created_, Indexed(change.root, key, ""));
      if (created.empty()) return "launcher";
      switch (journal_[created.front()].phase) {
        case Phase::kMarkerKey: return "marker";
        case Phase::kCarryOver: return "carry-over";
        case Phase::kOptionSettings: return "option";
        default: return "launcher";
      }
    }
    case Change::Op::kDeleteKey:
      return "setup";
  }
  return "kept";
}

}  // namespace preview
