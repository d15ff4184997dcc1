#include "preview/machine/changes.h"

#include <algorithm>

namespace preview {

namespace {

regfile::KeyName FileKey(Root root, const std::u16string& path) {
  return regfile::KeyName{root, Regedit4Name(path)};
}

}  // namespace

std::vector<Change> Diff(const Image& before, const Image& after) {
  const auto old_keys = IndexOf(before);
  const auto new_keys = IndexOf(after);
  std::vector<Change> changes;
  for (const auto& [id, key] : new_keys) {
    auto old = old_keys.find(id);
    if (old == old_keys.end()) {
      changes.push_back({Change::Op::kCreateKey, key->root, key->path, {}});
      for (const memory::StoredValue& value : key->values) {
        changes.push_back({Change::Op::kSetValue, key->root, key->path, value});
      }
      continue;
    }
    const ValueIndex now(*key), was_there(*old->second);
    for (const memory::StoredValue& value : old->second->values) {
      if (now.Find(value.name) == nullptr) {
        changes.push_back({Change::Op::kDeleteValue, key->root, key->path,
                           memory::StoredValue{value.name, 0, {}}});
      }
    }
    for (const memory::StoredValue& value : key->values) {
      const memory::StoredValue* was = was_there.Find(value.name);
      if (was == nullptr || was->type != value.type || was->data != value.data) {
        changes.push_back({Change::Op::kSetValue, key->root, key->path, value});
      }
    }
  }
  // Removed keys: only the topmost of each removed subtree.
  std::vector<Change> removed;
  const KeyId* last_top = nullptr;
  for (const auto& [id, key] : old_keys) {
    if (new_keys.count(id) != 0) continue;
    if (last_top != nullptr && Below(id, *last_top)) continue;
    last_top = &id;
    removed.push_back({Change::Op::kDeleteKey, key->root, key->path, {}});
  }
  changes.insert(changes.end(), removed.begin(), removed.end());
  return changes;
}

Image KeysToShow(const Image& before, const Image& after,
                 const std::set<KeyId>& keys) {
  const auto old_keys = IndexOf(before);
  Image shown;
  for (const auto& [id, key] : IndexOf(after)) {
    if (keys.count(id) != 0 || old_keys.count(id) == 0) shown.push_back(*key);
  }
  return shown;
}

std::vector<regfile::Item> StateItems(const Image& image) {
  std::vector<regfile::Item> items;
  for (const memory::StoredKey& key : image) {
    regfile::Item item;
    item.kind = regfile::Item::Kind::kKey;
    item.key = FileKey(key.root, key.path);
    items.push_back(item);
    for (const memory::StoredValue& value : key.values) {
      regfile::Item v;
      v.kind = regfile::Item::Kind::kValue;
      v.key = item.key;
      v.name = Regedit4Name(value.name);
      v.data = Regedit4Data(value);
      items.push_back(v);
    }
  }
  return items;
}

std::vector<regfile::Item> ChangeItems(const std::vector<Change>& changes) {
  std::vector<regfile::Item> items;
  for (const Change& change : changes) {
    regfile::Item item;
    item.key = FileKey(change.root, change.path);
    switch (change.op) {
      case Change::Op::kCreateKey:
        item.kind = regfile::Item::Kind::kKey;
        break;
      case Change::Op::kDeleteKey:
        item.kind = regfile::Item::Kind::kDeleteKey;
        break;
      case Change::Op::kSetValue:
        item.kind = regfile::Item::Kind::kValue;
        item.name = Regedit4Name(change.value.name);
        item.data = Regedit4Data(change.value);
        break;
      case Change::Op::kDeleteValue:
        item.kind = regfile::Item::Kind::kDeleteValue;
        item.name = Regedit4Name(change.value.name);
        break;
    }
    items.push_back(item);
  }
  return items;
}

}  // namespace preview
