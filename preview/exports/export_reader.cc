#include "preview/exports/export_reader.h"

#include <algorithm>

#include "platform/memory_utf16.h"
#include "preview/exports/ascii.h"

namespace preview {

namespace {

using regfile::Filter;
using regfile::Item;

bool AtOrBelow(const std::u16string& name, const std::u16string& top) {
  return name.size() >= top.size() && name.compare(0, top.size(), top) == 0 &&
         (name.size() == top.size() || name[top.size()] == u'\\');
}

// Units of the leading components name and top share.
size_t SharedComponents(const std::u16string& name, const std::u16string& top) {
  size_t shared = 0;
  for (size_t i = 0;; ++i) {
    const bool name_over = i == name.size(), top_over = i == top.size();
    if ((name_over || name[i] == u'\\') && (top_over || top[i] == u'\\')) shared = i;
    if (name_over || top_over || name[i] != top[i]) break;
  }
  return shared;
}

class LauncherKeys : public Filter {
 public:
  LauncherKeys(Keep keep, KeyLineCounts* counts) : keep_(keep), counts_(counts) {
    for (const ExportedKey& key : kExportedKeys) tops_.push_back(AsciiLower(memory::Widen(key.path)));
  }

  Take KeyLine(Item* line) override {
    // Key paths are ASCII in the launcher's keys: A-Z folded only.
    const std::u16string name = AsciiLower(line->key.path);
    ++counts_->all;
    for (size_t k = 0; k < tops_.size(); ++k) {
      if (line->key.root == kExportedKeys[k].root && AtOrBelow(name, tops_[k])) {
        ++counts_->within[k];
      }
    }
    if (keep_ == Keep::kEveryKey) return Kept(*line, Take::kKeyAndValues);
    // Other letters may fold onto ASCII on some registry: such a key stays.
    const bool ascii = std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x80; });
    bool parent = false;
    size_t shared = 0;
    for (size_t k = 0; k < tops_.size(); ++k) {
      if (line->key.root != kExportedKeys[k].root) continue;
      if (!ascii || AtOrBelow(name, tops_[k])) return Kept(*line, Take::kKeyAndValues);
      if (name.empty() || AtOrBelow(tops_[k], name)) parent = true;
      shared = std::max(shared, SharedComponents(name, tops_[k]));
    }
    if (parent) return Kept(*line, Take::kKeyLine);
    // Another key: it names parents of the launcher's keys, which a key
    // line creates in its own letter case when they are missing.
    if (line->kind != Item::Kind::kKey || shared == 0) return Take::kNothing;
    line->key.path.resize(shared);
    if (last_is_line_ && last_root_ == line->key.root && last_path_ == line->key.path) {
      return Take::kNothing;  // the same line again, with nothing between
    }
    return Kept(*line, Take::kKeyLine);
  }

 private:
  Take Kept(const Item& line, Take take) {
    last_is_line_ = take == Take::kKeyLine && line.kind == Item::Kind::kKey;
    last_root_ = line.key.root;
    last_path_ = line.key.path;
    return take;
  }

  const Keep keep_;
  KeyLineCounts* const counts_;
  std::vector<std::u16string> tops_;  // kExportedKeys' paths, folded
  // The last item kept: a key line without values after it, and its key.
  bool last_is_line_ = false;
  platform::Root last_root_ = platform::Root::kLocalMachine;
  regfile::Units last_path_;
};

}  // namespace

bool ReadSource(regfile::Input& input, Keep keep, const regfile::LeadBytes& lead_bytes,
                Source* source, regfile::Error* error) {
  source->key_lines = KeyLineCounts{};
  LauncherKeys filter(keep, &source->key_lines);
  return regfile::Read(input, &source->file, error, lead_bytes, &filter);
}

}  // namespace preview
