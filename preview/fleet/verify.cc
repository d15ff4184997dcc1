#include "preview/fleet/verify.h"

#include <filesystem>
#include <map>
#include <set>

#include "adapter/write_block_size.h"
#include "launcher/launcher.h"
#include "platform/memory_utf16.h"
#include "preview/exports/ascii.h"
#include "preview/exports/paths.h"
#include "preview/exports/unicode.h"
#include "preview/exports/windows_version.h"
#include "preview/machine/registry_text.h"
#include "preview/machine/run_facts.h"

namespace preview {

namespace {

using memory::StoredKey;
using memory::StoredValue;

constexpr const char* kAbsent = "(none)";

bool SameValue(const StoredValue* a, const StoredValue* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return a->type == b->type && a->data == b->data;
}

// The family a version word stands for, and for the Windows the launcher
// serves none, the version itself.
bool SameWindows(unsigned long a, unsigned long b) {
  const launcher::Family family = launcher::ClassifyFamily(a);
  if (family != launcher::ClassifyFamily(b)) return false;
  return family != launcher::Family::kOther || (a & 0xFFFF) == (b & 0xFFFF);
}

// A verdict on the folder as a whole, before anything in it is compared.
std::optional<Verification> FolderVerdict(const Plan& plan, const Collected& after) {
  Verification v;
  if (after.empty) {
    v.verdict = verdict::kIncomplete;
    v.note = "the folder collected after the run is empty";
  } else if (!after.version) {
    v.verdict = verdict::kIncomplete;
    v.note = "the folder collected after the run holds no ver.txt: the collection did not finish";
  } else if (!SameWindows(*after.version, plan.version_word)) {
    v.verdict = verdict::kOtherWindows;
    v.note = "the folder collected after the run is of " + DescribeVersion(*after.version) +
             ", the one collected before of " + DescribeVersion(plan.version_word) +
             ": not judged as the same machine";
  } else {
    return std::nullopt;
  }
  return v;
}

// Every 2000 and XP machine has the adapters' class key: an after folder
// without it, where the before folder had it, is no whole collection.
bool LacksAdapters(const Plan& plan, const Image& found) {
  if (plan.family != launcher::Family::kWindows2000 && plan.family != launcher::Family::kWindowsXP) {
    return false;
  }
  const KeyId id = IdOf(Root::kLocalMachine, memory::StoredName(adapter::kAdapterClassKey));
  const auto has = [&](const Image& image) {
    for (const StoredKey& key : image) {
      if (IdOf(key.root, key.path) == id) return true;
    }
    return false;
  };
  return has(plan.before) && !has(found);
}

// What the run is judged on, and what shows whether it ran at all: a place
// whose planned state differs from the state before is evidence of a run
// where it is found.
class Judge {
 public:
  Judge(const Plan& plan, const Image& found, const CodePage& code_page)
      : before_(IndexOf(plan.before)), planned_(IndexOf(plan.after)), found_(IndexOf(found)),
        code_page_(code_page) {}

  void Places(const std::vector<Place>& places) {
    for (const Place& place : places) {
      const std::u16string path = memory::StoredName(place.key);
      const KeyId id = IdOf(place.root, path);
      if (!place.name) {
        judged_.insert({id, {}, true});
        const bool planned = planned_.count(id) != 0;
        Check(planned != (before_.count(id) != 0), (found_.count(id) != 0) == planned,
              {KeyText(place.root, StoredUtf8(path, code_page_)), planned ? "key present" : "no key",
               found_.count(id) != 0 ? "key present" : "no key"});
        continue;
      }
      const std::u16string name = memory::StoredName(*place.name);
      judged_.insert({id, memory::ComparedName(name), false});
      const StoredValue* planned = FindValue(planned_, id, name);
      const StoredValue* found = FindValue(found_, id, name);
      Check(!SameValue(planned, FindValue(before_, id, name)), SameValue(found, planned),
            {ValueText(place.root, path, name), Shown(planned), Shown(found)});
    }
  }

  // The staged files, where staged.txt lists them: the setup may add files.
  void Staged(const std::vector<StagedFile>& staged, const std::vector<std::string>& present,
              const std::optional<std::vector<std::string>>& before) {
    std::set<std::string> now, then;
    for (const std::string& name : present) now.insert(AsciiLower(name));
    if (before) {
      for (const std::string& name : *before) then.insert(AsciiLower(name));
    }
    for (const StagedFile& file : staged) {
      const std::string name = Utf8FromAnsi(file.name, code_page_);
      Check(then.count(AsciiLower(name)) == 0, now.count(AsciiLower(name)) != 0,
            {"staged file " + name, "present", "missing"});
    }
  }

  // What the launcher's own fix would still change on the found state is
  // missing there: every matching adapter, also those the setup installed
  // meanwhile, has writeBlockSize "1". The in-memory registry holds the
  // found state.
  void Adapters() {
    const Image before_fix = memory::SavedRegistry();
    adapter::ApplyWriteBlockSizeFix();
    for (const Change& change : Diff(before_fix, memory::SavedRegistry())) {
      if (change.op != Change::Op::kSetValue) continue;
      const KeyId id = IdOf(change.root, change.path);
      if (judged_.count({id, memory::ComparedName(change.value.name), false}) != 0) continue;
      differences_.push_back({ValueText(change.root, change.path, change.value.name),
                              Notation(change.value, code_page_),
                              Shown(FindValue(found_, id, change.value.name))});
    }
  }

  // The marker key: a started setup removes it when it ends; where no setup
  // starts, the launcher's key stays. Found where it was not before, it
  // shows that the launcher ran.
  void Marker() {
    const std::u16string path = memory::StoredName(launcher::kMarkerKeyPath);
    const KeyId id = IdOf(Root::kLocalMachine, path);
    judged_.insert({id, {}, true});
    marker_what_ = "marker key " + KeyText(Root::kLocalMachine, StoredUtf8(path, code_page_));
    no_setup_ = planned_.count(id) != 0;
    const bool before = before_.count(id) != 0, found = found_.count(id) != 0;
    marker_before_ = before;
    made_marker_ = found && !before;
    if (no_setup_) {
      Check(!before, found, {marker_what_, "present (no setup starts)", "gone"});
    } else {
      unfinished_ = found;
    }
  }

  void ChangedByOthers(const Image& before, const Image& found, Verification* v) const {
    const std::u16string marker = memory::ComparedName(memory::StoredName(launcher::kMarkerKeyPath));
    for (const Change& change : Diff(before, found)) {
      const KeyId id = IdOf(change.root, change.path);
      if (id.root == Root::kLocalMachine && id.compared == marker) continue;
      const bool is_key =
          change.op == Change::Op::kCreateKey || change.op == Change::Op::kDeleteKey;
      const std::u16string name = is_key ? std::u16string() : memory::ComparedName(change.value.name);
      if (judged_.count({id, name, is_key}) != 0) continue;
      OtherChange other;
      other.key = KeyText(change.root, StoredUtf8(change.path, code_page_));
      switch (change.op) {
        case Change::Op::kCreateKey: other.found = "key created"; break;
        case Change::Op::kDeleteKey: other.found = "key removed"; break;
        case Change::Op::kSetValue:
          other.name = NameText(change.value.name);
          other.found = Notation(change.value, code_page_);
          break;
        case Change::Op::kDeleteValue:
          other.name = NameText(change.value.name);
          other.found = kAbsent;
          break;
      }
      v->changed_by_others.push_back(std::move(other));
    }
  }

  void Decide(bool staged_listed, Verification* v) {
    v->differences = std::move(differences_);
    const bool ran = found_evidence_ > 0 || made_marker_;
    if (evidence_ > 0 && !ran) {
      v->verdict = verdict::kNotRun;
    } else if (!ran && v->differences.empty()) {
      // Nothing found differs from what the plan leaves, and nothing shows
      // the run either.
      v->verdict = verdict::kCannotTell;
      v->note = std::string("nothing the run writes differs from before") +
                (staged_listed ? ", and nothing it stages was missing before"
                               : ", and the folder has no staged.txt") +
                (unfinished_ && marker_before_ ? "; the marker key was there before too" : "") +
                ": the collection cannot show whether the launcher ran";
    } else if (unfinished_) {
      v->verdict = verdict::kNotFinished;
      v->differences.insert(v->differences.begin(),
                            {marker_what_, "gone (the setup removes it when it ends)", "present"});
    } else if (!v->differences.empty()) {
      v->verdict = verdict::kDiffers;
    } else {
      v->verdict = no_setup_ ? verdict::kNoSetup : verdict::kAsPlanned;
    }
  }

 private:
  struct Judged {
    KeyId key;
    std::u16string name;  // compared form; empty for a key
    bool is_key;
    bool operator<(const Judged& other) const {
      if (!(key == other.key)) return key < other.key;
      if (is_key != other.is_key) return is_key;
      return name < other.name;
    }
  };

  // evidence: the planned state differs from the state before.
  void Check(bool evidence, bool ok, Difference difference) {
    if (evidence) {
      ++evidence_;
      if (ok) ++found_evidence_;
    }
    if (!ok) differences_.push_back(std::move(difference));
  }

  std::string Shown(const StoredValue* value) const {
    return value != nullptr ? Notation(*value, code_page_) : kAbsent;
  }
  std::string NameText(const std::u16string& name) const {
    return name.empty() ? "@" : StoredUtf8(name, code_page_);
  }
  std::string ValueText(Root root, const std::u16string& path, const std::u16string& name) const {
    return KeyText(root, StoredUtf8(path, code_page_)) + "\\" + NameText(name);
  }

  const KeyIndex before_, planned_, found_;
  const CodePage& code_page_;
  std::set<Judged> judged_;
  std::vector<Difference> differences_;
  size_t evidence_ = 0, found_evidence_ = 0;
  std::string marker_what_;
  bool no_setup_ = false, unfinished_ = false, made_marker_ = false, marker_before_ = false;
};

}  // namespace

bool NotJudged(const std::string& v) {
  return v == verdict::kNotCollected || v == verdict::kIncomplete || v == verdict::kOtherWindows ||
         v == verdict::kUnreadable;
}

bool ReadStagedList(const std::string& folder, std::optional<std::vector<std::string>>* staged,
                    FolderError* error) {
  staged->reset();
  std::error_code code;
  for (const auto& entry : std::filesystem::directory_iterator(PathOf(folder), code)) {
    if (AsciiLower(Utf8Of(entry.path().filename())) != "staged.txt") continue;
    std::string text;
    if (!ReadAll(entry.path(), &text)) {
      *error = {Utf8Of(entry.path()) + ": cannot read", "staged.txt"};
      return false;
    }
    *staged = StagedNames(text);
  }
  return true;
}

bool ReadCollected(const std::string& folder, Collected* collected, FolderError* error,
                   const regfile::LeadBytes& lead_bytes) {
  MachineFolder machine;
  if (!ReadMachineFolder(folder, false, &machine, error, lead_bytes)) return false;
  *collected = Collected{};
  collected->sources = std::move(machine.sources);
  std::error_code code;
  collected->empty = std::filesystem::is_empty(PathOf(folder), code) && !code;
  for (const auto& entry : std::filesystem::directory_iterator(PathOf(folder), code)) {
    if (AsciiLower(Utf8Of(entry.path().filename())) != "ver.txt") continue;
    std::string text, reason;
    if (!ReadAll(entry.path(), &text)) {
      *error = {Utf8Of(entry.path()) + ": cannot read", "ver.txt"};
      return false;
    }
    collected->version = VersionFromVer(text, &reason);
    if (!collected->version) {
      *error = {Utf8Of(entry.path()) + ": " + reason, "ver.txt"};
      return false;
    }
  }
  return ReadStagedList(folder, &collected->staged, error);
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

Verification Verify(const Plan& plan, const Collected& after, const CodePage& code_page,
                    const std::optional<std::vector<std::string>>& staged_before) {
  if (std::optional<Verification> v = FolderVerdict(plan, after)) return *v;
  // The after-state, on a machine of its own that stores it as the plan's
  // machine does: the images of both compare in one storage form.
  memory::Machine found_machine;
  const memory::UseMachine use(found_machine);
  UseFamilyRegistry(plan.family, code_page);
  StoreStandardKeys();
  (void)LoadSources(after.sources, code_page);
  const Image found = memory::SavedRegistry();
  if (LacksAdapters(plan, found)) {
    Verification v;
    v.verdict = verdict::kIncomplete;
    v.note = "the folder collected after the run holds no export of the network adapters' key, "
             "which every 2000 and XP machine has (the one collected before holds it): the "
             "collection did not finish";
    return v;
  }

  Judge judge(plan, found, code_page);
  judge.Places(PlacesWritten(plan.journal));
  if (after.staged) judge.Staged(plan.staged, *after.staged, staged_before);
  if (plan.fixes_adapters) judge.Adapters();
  judge.Marker();
  Verification result;
  judge.ChangedByOthers(plan.before, found, &result);
  judge.Decide(after.staged.has_value(), &result);
  return result;
}

}  // namespace preview
