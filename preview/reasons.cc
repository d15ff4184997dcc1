#include "preview/reasons.h"

#include "preview/display.h"
#include "settings/layout.h"

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

// Text data up to its terminator: a rewrite passes the text it read.
std::string Text(const std::string& data) { return data.substr(0, data.find('\0')); }

}  // namespace

std::string WhyValue(const std::vector<Event>& journal, platform::Root root,
                     const std::string& key, const std::string& name, bool changed) {
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
    // Moved: the same name deleted from another key right after.
    bool moved = false;
    for (size_t j = i + 1; j < journal.size() && journal[j].phase == set.phase; ++j) {
      const Event& e = journal[j];
      if (e.operation == Operation::kSetValue) break;
      if (e.operation == Operation::kDeleteValue && e.status == 0 && Same(e.name, name) &&
          !Same(e.key, key)) {
        moved = true;
        break;
      }
    }
    if (moved) {
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

std::string WhyChange(const std::vector<Event>& journal, const Change& change) {
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
