// What a run changed in the registry: the difference between two images,
// in an order a .reg file can apply. Images are compared and turned into
// items in the current machine's storage form (registry_image.h).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "preview/machine/registry_image.h"

namespace preview {

struct Change {
  enum class Op { kCreateKey, kSetValue, kDeleteValue, kDeleteKey };
  Op op;
  Root root;
  std::u16string path;  // stored spelling
  memory::StoredValue value;  // kSetValue: name, type, data; kDeleteValue: name
};

// Keys by key name (each parent before its subkeys); per key: its creation,
// then value deletions and sets. A removed key is one kDeleteKey for the
// topmost key removed.
std::vector<Change> Diff(const Image& before, const Image& after);

// The stored keys of image that are in keys or were created by the run
// (absent from before), in the same order as Diff.
Image KeysToShow(const Image& before, const Image& after,
                 const std::set<KeyId>& keys);

// Items of a REGEDIT4 file: every key of image with all its values.
std::vector<regfile::Item> StateItems(const Image& image);
// Items of a REGEDIT4 file that applies the changes.
std::vector<regfile::Item> ChangeItems(const std::vector<Change>& changes);

}  // namespace preview
