// What the launcher did in a run, read from the journal of that run. Every
// command that reports a fact of the run (plan text and JSON, the fleet's
// rows, verify) takes it from here, so that no rule of the launcher is
// worked out twice.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/memory_platform.h"
#include "preview/machine/changes.h"

namespace preview {

using Journal = std::vector<memory::Event>;

// Whether the run entered the step (its phase shows in the journal).
bool Entered(const Journal& journal, platform::Phase phase);

// The setup was started with the silent switch: the run chose a response
// file (staged or not) before it started the setup.
bool StartsSilently(const Journal& journal);

// The launcher waited: the first poll found the marker key.
bool Waits(const Journal& journal);

// The wait ran the write-block-size fix: while polling, the run tried to
// open the network adapters' class key, whether or not it was there.
bool FixesAdaptersWhileWaiting(const Journal& journal);

// The adapter subkeys that got writeBlockSize at the first poll.
std::vector<std::string> AdaptersTunedAtFirstPoll(const Journal& journal);

// The deletion that makes the write at journal[set] a move: the same name
// deleted from another key right after it, in the same step. nullopt when
// the write is no move.
std::optional<size_t> MovedBy(const Journal& journal, size_t set);

// A place of the registry the run wrote, deleted or created: a value (name
// set) or a key (name unset). Paths and names in the program's spelling.
struct Place {
  platform::Root root;
  std::string key;
  std::optional<std::string> name;
};
// Every value the run set or deleted and every key it created, once each
// (names compared without regard to ASCII case, as the launcher's names
// are ASCII), in the order first touched. The marker key and what the
// setup does are not the run's.
std::vector<Place> PlacesWritten(const Journal& journal);

// Why the run left a value as it is: "option" when an action of the option
// wrote it (even with the same data); else "carried" when it was moved from
// another key (written, then deleted there); else "default" when written
// with data the run did not read from it; else "rewritten" when its own data
// was written back in another form; else "kept" (not written, or written
// back unchanged). Values written while the marker key is polled are
// "adapter"; by the marker key's step, "marker".
std::string WhyValue(const Journal& journal, platform::Root root, const std::string& key,
                     const std::string& name, bool changed);

// The reasons of a plan's changes. The journal's writes are sorted by key
// and name once, so that each of many changes (a run that tunes thousands of
// adapters) finds its own without reading the whole journal again.
class Reasons {
 public:
  // The journal must outlive the reasons.
  explicit Reasons(const Journal& journal);
  // As WhyValue for values; for keys, the step that created them, or
  // "setup" for a key the setup removed.
  std::string Why(const Change& change) const;

 private:
  const Journal& journal_;
  // Event numbers of successful value writes and deletions by root, key and
  // name (A-Z folded), and of keys created by root and key.
  std::unordered_map<std::string, std::vector<size_t>> sets_, deletions_, created_;
};

}  // namespace preview
