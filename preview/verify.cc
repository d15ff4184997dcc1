#include "preview/verify.h"

#include <filesystem>
#include <map>
#include <set>

#include "adapter/write_block_size.h"
#include "launcher/launcher.h"
#include "platform/memory_utf16.h"
#include "preview/display.h"
#include "preview/escape.h"

namespace preview {

namespace {

using memory::StoredKey;
using memory::StoredValue;

constexpr const char* kAbsent = "(none)";

struct Place {
  KeyId key;
  std::u16string name;  // compared form; empty with is_key
  bool is_key;
  bool operator<(const Place& other) const {
    if (!(key == other.key)) return key < other.key;
    if (is_key != other.is_key) return is_key;
    return name < other.name;
  }
};

std::string KeyText(Root root, const std::u16string& path, const CodePage& code_page) {
  std::string text = regfile::RootName(root);
  if (!path.empty()) text += "\\" + StoredUtf8(path, code_page);
  return text;
}

std::string ValueText(const Change& change, const CodePage& code_page) {
  const std::string name = StoredUtf8(change.value.name, code_page);
  return KeyText(change.root, change.path, code_page) + "\\" + (name.empty() ? "@" : name);
}

// Whether the run polled with the adapter fix: it enumerated the adapters'
// class key while waiting.
bool TunesAdapters(const Plan& plan) {
  for (const memory::Event& event : plan.journal) {
    if (event.phase == platform::Phase::kWait &&
        event.operation == memory::Operation::kEnumKey &&
        AsciiLower(event.key) == AsciiLower(adapter::kAdapterClassKey)) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool ReadCollected(const std::string& folder, Collected* collected, FolderError* error,
                   const regfile::LeadBytes& lead_bytes) {
  MachineFolder machine;
  if (!ReadMachineFolder(folder, false, &machine, error, lead_bytes)) return false;
  collected->sources = std::move(machine.sources);
  collected->staged.reset();
  std::error_code code;
  for (const auto& entry : std::filesystem::directory_iterator(folder, code)) {
    if (AsciiLower(entry.path().filename().string()) != "staged.txt") continue;
    std::string text;
    if (!ReadAll(entry.path(), &text)) {
      *error = {entry.path().string() + ": cannot read", "staged.txt"};
      return false;
    }
    collected->staged = StagedNames(text);
  }
  return true;
}

std::vector<std::string> StagedNames(const std::string& content) {
  std::string text = content;
  // cmd /u writes UTF-16LE; the names are the package's, in ASCII.
  if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || text[1] == '\0')) {
    std::u16string units = memory::FromLittleEndian(text);
    if (!units.empty() && units[0] == 0xFEFF) units.erase(0, 1);
    text.clear();
    for (char16_t u : units) text += u < 0x100 ? static_cast<char>(u) : '?';
  }
  std::vector<std::string> names;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find_first_of("\r\n", from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\x1A')) line.pop_back();
    if (!line.empty()) names.push_back(line);
    from = end + 1;
  }
  return names;
}

Verification Verify(const Plan& plan, const Collected& after, const CodePage& code_page) {
  Verification result;
  // The after-state, stored as the plan's machine stores it.
  UseFamilyRegistry(plan.family, code_page);
  StoreStandardKeys();
  (void)LoadSources(after.sources, code_page);
  const Image found = memory::SavedRegistry();
  const auto found_keys = IndexOf(found);
  const auto planned_keys = IndexOf(plan.after);
  const std::u16string marker_path = memory::StoredName(launcher::kMarkerKeyPath);
  const KeyId marker = IdOf(Root::kLocalMachine, marker_path);
  const std::string marker_what = "marker key " + KeyText(Root::kLocalMachine, marker_path, code_page);

  // Whether the run happened at all shows in what it adds; a deletion is
  // found as well on a machine whose key is simply gone.
  size_t to_find = 0, found_count = 0;
  std::set<Place> planned_places;
  const auto check = [&](bool ok, Difference difference, bool adds = true) {
    if (adds) ++to_find;
    if (ok) {
      if (adds) ++found_count;
    } else {
      result.differences.push_back(std::move(difference));
    }
  };

  // Every registry change of the plan; the marker key apart.
  for (const Change& change : plan.changes) {
    const KeyId id = IdOf(change.root, change.path);
    if (id == marker) continue;
    const std::string key = KeyText(change.root, change.path, code_page);
    switch (change.op) {
      case Change::Op::kCreateKey:
        planned_places.insert({id, {}, true});
        check(found_keys.count(id) != 0, {key, "key present", "no key"});
        break;
      case Change::Op::kDeleteKey:
        planned_places.insert({id, {}, true});
        check(found_keys.count(id) == 0, {key, "no key", "key present"}, false);
        break;
      case Change::Op::kSetValue: {
        planned_places.insert({id, memory::ComparedName(change.value.name), false});
        const StoredValue* value = FindValue(found_keys, id, change.value.name);
        const bool same =
            value != nullptr && value->type == change.value.type && value->data == change.value.data;
        check(same, {ValueText(change, code_page), Notation(change.value, code_page),
                     value != nullptr ? Notation(*value, code_page) : kAbsent});
        break;
      }
      case Change::Op::kDeleteValue: {
        planned_places.insert({id, memory::ComparedName(change.value.name), false});
        const StoredValue* value = FindValue(found_keys, id, change.value.name);
        check(value == nullptr,
              {ValueText(change, code_page), kAbsent,
               value != nullptr ? Notation(*value, code_page) : kAbsent},
              false);
        break;
      }
    }
  }

  // The staged files, where they were collected: the setup may add files.
  if (after.staged) {
    std::set<std::string> present;
    for (const std::string& name : *after.staged) present.insert(AsciiLower(name));
    for (const StagedFile& file : plan.staged) {
      const std::string name = Utf8FromAnsi(file.name, code_page);
      check(present.count(AsciiLower(name)) != 0,
            {"staged file " + name, "present", "missing"});
    }
  }

  // Every matching adapter, also those the setup installed meanwhile, has
  // writeBlockSize "1": what the launcher's own fix would still change on
  // the after-state is missing there.
  if (TunesAdapters(plan)) {
    const Image before_fix = memory::SavedRegistry();
    adapter::ApplyWriteBlockSizeFix();
    for (const Change& change : Diff(before_fix, memory::SavedRegistry())) {
      if (change.op != Change::Op::kSetValue) continue;
      const KeyId id = IdOf(change.root, change.path);
      const Place place{id, memory::ComparedName(change.value.name), false};
      if (planned_places.count(place) != 0) continue;  // judged above already
      const StoredValue* value = FindValue(found_keys, id, change.value.name);
      check(false, {ValueText(change, code_page), Notation(change.value, code_page),
                    value != nullptr ? Notation(*value, code_page) : kAbsent});
    }
  }

  // The marker key: gone once a started setup ended; else the launcher's
  // own key stays, as only a setup removes it.
  const bool marker_planned = planned_keys.count(marker) != 0;
  const bool marker_found = found_keys.count(marker) != 0;
  bool unfinished = false;
  if (marker_found && !marker_planned) {
    unfinished = true;
  } else if (!marker_found && marker_planned) {
    result.differences.push_back({marker_what, "present (no setup starts)", "gone"});
  }

  // What others changed: the plan does not judge it.
  for (const Change& change : Diff(plan.before, found)) {
    const KeyId id = IdOf(change.root, change.path);
    if (id == marker) continue;
    const bool is_key =
        change.op == Change::Op::kCreateKey || change.op == Change::Op::kDeleteKey;
    if (planned_places.count({id, is_key ? std::u16string() : memory::ComparedName(change.value.name),
                              is_key}) != 0) {
      continue;
    }
    OtherChange other;
    other.key = KeyText(change.root, change.path, code_page);
    switch (change.op) {
      case Change::Op::kCreateKey: other.found = "key created"; break;
      case Change::Op::kDeleteKey: other.found = "key removed"; break;
      case Change::Op::kSetValue:
        other.name = StoredUtf8(change.value.name, code_page);
        other.found = Notation(change.value, code_page);
        break;
      case Change::Op::kDeleteValue:
        other.name = StoredUtf8(change.value.name, code_page);
        other.found = kAbsent;
        break;
    }
    result.changed_by_others.push_back(std::move(other));
  }

  if (to_find > 0 && found_count == 0) {
    result.verdict = verdict::kNotRun;
  } else if (unfinished) {
    result.verdict = verdict::kNotFinished;
    result.differences.insert(result.differences.begin(),
                              {marker_what, "gone (the setup removes it when it ends)", "present"});
  } else if (!result.differences.empty()) {
    result.verdict = verdict::kDiffers;
  } else {
    result.verdict = verdict::kAsPlanned;
  }
  return result;
}

std::string DifferenceText(const Difference& difference) {
  if (difference.planned.empty() && difference.found.empty()) return difference.what;
  return difference.what + ": planned " + difference.planned + ", found " + difference.found;
}

std::string ShownDifference(const Difference& difference) {
  if (difference.planned.empty() && difference.found.empty()) return EscapeText(difference.what);
  return EscapeText(difference.what) + ": planned " + EscapeNotation(difference.planned) +
         ", found " + EscapeNotation(difference.found);
}

namespace {

// Verify() says of a key itself that it was created or removed.
bool IsKeyChange(const OtherChange& change) {
  return change.found == "key created" || change.found == "key removed";
}

std::string ValueName(const OtherChange& change) {
  return change.name.empty() ? "@" : change.name;
}

}  // namespace

std::string VerificationText(const Verification& verification) {
  std::string text = "Verdict: " + verification.verdict + "\n";
  if (!verification.differences.empty()) {
    text += "\nDifferences (what, planned, found):\n";
    for (const Difference& d : verification.differences) {
      text += "  " + EscapeText(d.what) + "\n      planned: " + EscapeNotation(d.planned) +
              "\n      found:   " + EscapeNotation(d.found) + "\n";
    }
  }
  if (!verification.changed_by_others.empty()) {
    text += "\nChanged by others (not judged):\n";
    for (const OtherChange& o : verification.changed_by_others) {
      text += "  " + EscapeText(IsKeyChange(o) ? o.key : o.key + "\\" + ValueName(o)) + ": " +
              EscapeNotation(o.found) + "\n";
    }
  }
  return text;
}

nlohmann::ordered_json VerificationJson(const Verification& verification) {
  nlohmann::ordered_json out;
  out["verdict"] = verification.verdict;
  out["differences"] = nlohmann::ordered_json::array();
  for (const Difference& d : verification.differences) {
    out["differences"].push_back({{"what", d.what}, {"planned", d.planned}, {"found", d.found}});
  }
  out["changed_by_others"] = nlohmann::ordered_json::array();
  for (const OtherChange& o : verification.changed_by_others) {
    out["changed_by_others"].push_back(
        {{"key", o.key},
         {"name", IsKeyChange(o) ? nlohmann::ordered_json(nullptr)
                                 : nlohmann::ordered_json(ValueName(o))},
         {"found", o.found}});
  }
  return out;
}

}  // namespace preview
