// Why the run wrote what it wrote, read from the journal of that run.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "platform/memory_platform.h"
#include "preview/changes.h"

namespace preview {

// Why the run left a value as it is: "option" when an action of the option
// wrote it (even with the same data); else "carried" when it was moved from
// another key (written, then deleted there); else "default" when written
// with data the run did not read from it; else "rewritten" when its own data
// was written back in another form; else "kept" (not written, or written
// back unchanged). Values written while the marker key is polled are
// "adapter"; by the marker key's step, "marker".
std::string WhyValue(const std::vector<memory::Event>& journal, platform::Root root,
                     const std::string& key, const std::string& name, bool changed);

// The reasons of a plan's changes. The journal's writes are sorted by key
// and name once, so that each of many changes (a run that tunes thousands of
// adapters) finds its own without reading the whole journal again.
class Reasons {
 public:
  // The journal must outlive the reasons.
  explicit Reasons(const std::vector<memory::Event>& journal);
  // As WhyValue for values; for keys, the step that created them, or
  // "setup" for a key the setup removed.
  std::string Why(const Change& change) const;

 private:
  const std::vector<memory::Event>& journal_;
  // Event numbers of successful value writes and deletions by root, key and
  // name (A-Z folded), and of keys created by root and key.
  std::unordered_map<std::string, std::vector<size_t>> sets_, deletions_, created_;
};

}  // namespace preview
