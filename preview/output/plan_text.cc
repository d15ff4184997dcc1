// The plan as numbered steps in the order of the run, read off the journal
// of the in-memory platform, then the settings before and after.
#include <iomanip>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "launcher/launcher.h"
#include "launcher/options.h"
#include "preview/exports/ascii.h"
#include "preview/exports/unicode.h"
#include "preview/exports/windows_version.h"
#include "preview/machine/registry_text.h"
#include "preview/machine/run_facts.h"
#include "preview/output/escape.h"
#include "preview/output/option_table_format.h"
#include "preview/output/plan_output.h"
#include "settings/layout.h"

namespace preview {

namespace {

using memory::Event;
using memory::Operation;
using platform::Phase;
using platform::Root;

constexpr Root kMachine = Root::kLocalMachine;
constexpr Root kUser = Root::kCurrentUser;


// The keys of the settings store by what they are to the client.
std::string KeyLabel(Root root, const std::string& key) {
  const std::string folded = AsciiLower(key);
  if (root == kMachine && folded == AsciiLower(settings::kSettingsKey)) {
    return "the settings key";
  }
  if (root == kMachine && folded == AsciiLower(settings::kLegacyKey)) {
    return "the legacy key";
  }
  if (folded == AsciiLower(settings::kInstallerKey)) {
    return root == kMachine ? "the installer key (HKEY_LOCAL_MACHINE)"
                            : "the installer key (HKEY_CURRENT_USER)";
  }
  return KeyText(root, key);
}

class Text {
 public:
  Text(const Plan& plan, const CodePage& code_page)
      : plan_(plan), code_page_(code_page) {}

  std::string Render() {
    Header();
    MarkerStep();
    StagingStep();
    if (plan_.family == launcher::Family::kOther) {
      Step("Windows version: " + DescribeVersion(plan_.version_word) +
           " is none of the families the launcher serves (9x, 2000, XP): it "
           "writes no setting, stages no response file and starts no setup.");
    } else {
      SettingsSteps();
      InstallTypeStep();
      ResponseStep();
    }
    StartStep();
    WaitStep();
    SettingsTable();
    return out_.str();
  }

 private:
  void Step(const std::string& text) {
    out_ << std::setw(2) << ++step_ << ". " << text << "\n";
  }
  void Detail(const std::string& text) { out_ << "      " << text << "\n"; }

  // Program text as the plan shows it.
  std::string Show(const std::string& ansi) const {
    return EscapeText(Utf8FromAnsi(ansi, code_page_));
  }
  // A value's name; "@" for the key's default value.
  std::string ShowName(const std::string& ansi) const {
    return ansi.empty() ? "@" : Show(ansi);
  }

  std::string ValueText(unsigned long type, const std::string& program) const {
    return EscapeNotation(Notation(
        memory::StoredValue{u"", type, memory::StoredData(type, program)}, code_page_, 24));
  }

  std::vector<const Event*> In(Phase phase) const {
    std::vector<const Event*> events;
    for (const Event& event : plan_.journal) {
      if (event.phase == phase && event.operation != Operation::kPhase) {
        events.push_back(&event);
      }
    }
    return events;
  }

  void Header() {
    out_ << "Plan for " << DescribeVersion(plan_.version_word) << " (version word 0x"
         << std::hex << std::uppercase << std::setw(8) << std::setfill('0')
         << plan_.version_word << std::dec << std::nouppercase << std::setfill(' ')
         << ", family " << FamilyName(plan_.family) << ")\n";
    out_ << "Command line: " << Show(plan_.command_line) << "\n";
    out_ << "Tail: \"" << Show(plan_.tail) << "\": ";
    if (plan_.option == launcher::kNoOption) {
      out_ << "no option of the table\n";
    } else {
      out_ << "option " << plan_.option << "\n";
    }
    out_ << "Package: " << Show(plan_.package_folder)
         << (plan_.all_present ? " (every package and response file counted as present)"
                               : "")
         << "\n\n";
  }

  void MarkerStep() {
    std::string state = "could not be created";
    bool created = false;
    for (const Event* event : In(Phase::kMarkerKey)) {
      if (event->operation == Operation::kKeyCreated) created = true;
      if (event->operation == Operation::kCreateKeyPlain && event->status == 0) {
        state = "already present";
      }
    }
    if (created) state = "created";
    Step("Marker key " + Show(KeyText(kMachine, launcher::kMarkerKeyPath)) + ": " + state +
         ". It stays while the setup runs; the setup removes it when it ends.");
  }

  void StagingStep() {
    if (plan_.staging_folder.empty()) {
      Step("Staging: no staging folder (the system folder's path does not fit); "
           "nothing is staged.");
      return;
    }
    std::string folder = "folder already there";
    for (const Event* event : In(Phase::kStaging)) {
      if (event->operation == Operation::kMakeFolder && event->status == 0) {
        folder = "folder created";
      }
    }
    Step("Staging into " + Show(plan_.staging_folder) + " (" + folder + "):");
    std::string copied;
    for (const Event* event : In(Phase::kStaging)) {
      if (event->operation != Operation::kCopyFile || event->status != 0) continue;
      for (const StagedFile& file : plan_.staged) {
        if (AsciiLower(plan_.staging_folder + "\\" + file.name) != AsciiLower(event->target)) continue;
        std::string item = Show(file.source);
        if (AsciiLower(file.source) != AsciiLower(file.name)) item += " as " + Show(file.name);
        copied += (copied.empty() ? "" : ", ") + item;
      }
    }
    Detail("copied: " + (copied.empty() ? std::string("nothing") : copied));
    if (!plan_.missing.empty()) {
      std::string missing;
      for (const std::string& name : plan_.missing) {
        missing += (missing.empty() ? "" : ", ") + Show(name);
      }
      Detail("not staged: " + missing +
             (plan_.all_present ? " (the source folder cannot be used)"
                                : " (not in the package)"));
    }
  }

  // Writes and deletes of a phase; a write followed by the deletion of the
  // same name elsewhere is a move.
  void Mutations(Phase phase, std::map<std::string, bool>* present) {
    const bool carry_over = phase == Phase::kCarryOver;
    const Journal& journal = plan_.journal;
    std::vector<bool> used(journal.size(), false);
    bool any = false;
    for (size_t i = 0; i < journal.size(); ++i) {
      const Event& e = journal[i];
      if (e.phase != phase || e.status != 0 || used[i]) continue;
      const std::string id = AsciiLower(KeyText(e.root, e.key) + ":" + e.name);
      if (e.operation == Operation::kDeleteValue) {
        Detail(ShowName(e.name) + " deleted from " + Show(KeyLabel(e.root, e.key)));
        (*present)[id] = false;
        any = true;
        continue;
      }
      if (e.operation != Operation::kSetValue) continue;
      any = true;
      std::string line = ShowName(e.name) + " = " + ValueText(e.type, e.data);
      std::string how;
      if (const std::optional<size_t> moved = MovedBy(journal, i)) {
        const Event& d = journal[*moved];
        how = "moved from " + Show(KeyLabel(d.root, d.key));
        used[*moved] = true;
        (*present)[AsciiLower(KeyText(d.root, d.key) + ":" + d.name)] = false;
      } else if (carry_over) {
        how = (*present)[id] ? "written back as it reads, as REG_SZ"
                             : "the default, as none is there";
      } else {
        how = (*present)[id] ? "set by the option, over what was there" : "set by the option";
      }
      (*present)[id] = true;
      Detail(line + " in " + Show(KeyLabel(e.root, e.key)) + ": " + how);
    }
    if (!any) Detail("nothing changes");
  }

  void SettingsSteps() {
    // What was there before, of the values these steps write or delete:
    // the other values of a large key are not kept.
    std::set<std::string> written;
    for (const Event& event : plan_.journal) {
      if (event.operation == Operation::kSetValue || event.operation == Operation::kDeleteValue) {
        written.insert(AsciiLower(KeyText(event.root, event.key) + ":" + event.name));
      }
    }
    std::map<std::string, bool> present;
    for (const memory::StoredKey& key : plan_.before) {
      const std::string name = AsciiLower(KeyText(key.root, memory::ProgramName(key.path)));
      if (written.lower_bound(name + ":") == written.lower_bound(name + ";")) continue;
      for (const memory::StoredValue& value : key.values) {
        const std::string id = name + ":" + AsciiLower(memory::ProgramName(value.name));
        if (written.count(id) != 0) present[id] = true;
      }
    }
    if (plan_.family == launcher::Family::kWindows9x) {
      Step("Carry-over of older settings: none on Windows 9x.");
    } else {
      Step("Carry-over of older settings into the settings key:");
      Mutations(Phase::kCarryOver, &present);
    }
    const launcher::OptionRow& row = launcher::Option(plan_.option);
    if (plan_.family == launcher::Family::kWindows9x) {
      Step(std::string("Settings of the option: none on Windows 9x") +
           (row.actions != 0 ? " (its -gina, -sl, -XR or -wm= part is not applied)."
                             : "."));
    } else if (row.actions == 0) {
      Step("Settings of the option: none.");
    } else {
      Step("Settings of the option (" + ActionList(plan_.option) + "):");
      Mutations(Phase::kOptionSettings, &present);
    }
  }

  void InstallTypeStep() {
    if (!Entered(plan_.journal, Phase::kInstallType)) {
      Step("Install type: not asked (only the update and uninstall options ask).");
      return;
    }
    std::string answer = "not visible (no response file could be staged)";
    if (plan_.full_install) {
      answer = *plan_.full_install ? "full install" : "driver only";
    }
    Step("Install type: " + answer + ", because the query");
    for (const Event* event : In(Phase::kInstallType)) {
      const std::string where = KeyText(event->root, event->key);
      switch (event->operation) {
        case Operation::kOpenKey:
          Detail("opens " + Show(where) + ": " +
                 (event->status == 0 ? "present" : "not there (or not writable)"));
          break;
        case Operation::kQueryValue:
          if (event->status == 0) {
            Detail("reads InstallOption = " + ValueText(1, event->data));
          } else {
            Detail(event->status == memory::kMoreData
                       ? "finds InstallOption too long to read (50 bytes or more)"
                       : "finds no InstallOption there");
          }
          break;
        case Operation::kSetValue:
          if (event->status == 0) {
            Detail("writes InstallOption = " + ValueText(event->type, event->data) +
                   " under " + Show(where));
          }
          break;
        case Operation::kDeleteValue:
          if (event->status == 0) Detail("deletes InstallOption under " + Show(where));
          break;
        default:
          break;
      }
    }
    Detail(std::string("and compares it with \"") + settings::kDriverOnly +
           "\" (letter case counts).");
  }

  void ResponseStep() {
    if (plan_.response == launcher::Response::kPlain) {
      Step("Response file: none for this option on this family; the setup runs "
           "interactively.");
      return;
    }
    if (!plan_.response_file) {
      Step(std::string("Response file: ") + ResponseName(plan_.response) +
           ", but nothing can be staged.");
      return;
    }
    if (plan_.response_staged) {
      Step("Response file: " + Show(*plan_.response_file) + ", staged as setup.iss.");
    } else {
      Step("Response file: " + Show(*plan_.response_file) +
           " is not in the package: no setup.iss is staged, and the setup still "
           "starts with /s.");
    }
  }

  void StartStep() {
    if (!plan_.setup_command) {
      Step("Setup: not started.");
      return;
    }
    Step("Setup: " + Show(*plan_.setup_command) + " -- " +
         (plan_.setup_started ? "started"
                              : "cannot start: setup.exe was not staged") +
         ".");
  }

  void WaitStep() {
    if (!plan_.waits) {
      Step("No wait: no setup runs, so the launcher ends at once with exit code 0" +
           std::string(plan_.family == launcher::Family::kOther || !plan_.setup_started
                           ? " and leaves the marker key in place."
                           : "."));
      return;
    }
    Step("Wait: polls the marker key every 2 s until the setup removes it, then ends "
         "with exit code 0.");
    if (!plan_.fixes_adapters) {
      Detail("adapters are not touched (the option has no /wbs).");
      return;
    }
    std::string names;
    for (const std::string& name : plan_.adapters_tuned) {
      names += (names.empty() ? "" : ", ") + Show(name);
    }
    Detail("/wbs: writeBlockSize = \"1\" at the first poll on " +
           (names.empty() ? std::string("no adapter (none present matches)")
                          : "adapter " + names) +
           ";");
    Detail("adapters the setup installs later are tuned at the first poll after "
           "they appear.");
  }

  const memory::StoredKey* Find(const Image& image, Root root,
                                const std::string& path) const {
    return FindKey(image, root, memory::StoredName(path));
  }

  void SettingsTable() {
    out_ << "\nSettings before and after:\n";
    const struct {
      Root root;
      const char* path;
    } keys[] = {{kMachine, settings::kSettingsKey},
                {kMachine, settings::kLegacyKey},
                {kMachine, settings::kInstallerKey},
                {kUser, settings::kInstallerKey},
                {kMachine, launcher::kMarkerKeyPath}};
    const int width = 24;
    out_ << "  " << std::left << std::setw(width) << "" << std::setw(width + 6)
         << "before" << "after\n";
    for (const auto& k : keys) {
      const memory::StoredKey* was = Find(plan_.before, k.root, k.path);
      const memory::StoredKey* is = Find(plan_.after, k.root, k.path);
      std::string state;
      if (was == nullptr && is == nullptr) state = " (no key)";
      if (was == nullptr && is != nullptr) state = " (created)";
      if (was != nullptr && is == nullptr) state = " (removed)";
      out_ << "  " << Show(KeyText(k.root, k.path)) << state << "\n";
      const std::optional<ValueIndex> before = was ? std::optional<ValueIndex>(*was) : std::nullopt;
      const std::optional<ValueIndex> after = is ? std::optional<ValueIndex>(*is) : std::nullopt;
      // Names in the order first met, before's first; each once (a key
      // holds each name once).
      std::vector<const std::u16string*> names;
      if (was != nullptr) {
        for (const memory::StoredValue& value : was->values) names.push_back(&value.name);
      }
      if (is != nullptr) {
        for (const memory::StoredValue& value : is->values) {
          if (!before || before->Find(value.name) == nullptr) names.push_back(&value.name);
        }
      }
      for (const std::u16string* n : names) {
        const std::u16string& name = *n;
        const std::string label =
            name.empty() ? std::string("@") : EscapeText(StoredUtf8(name, code_page_));
        out_ << "    " << std::setw(width - 2) << label << std::setw(width + 6)
             << Cell(before, name) << Cell(after, name) << "\n";
      }
    }
    out_ << std::right;
  }

  std::string Cell(const std::optional<ValueIndex>& values, const std::u16string& name) const {
    const memory::StoredValue* value = values ? values->Find(name) : nullptr;
    return value != nullptr ? EscapeNotation(Notation(*value, code_page_, 12)) : "-";
  }

  const Plan& plan_;
  const CodePage& code_page_;
  std::ostringstream out_;
  int step_ = 0;
};

}  // namespace

std::string PlanText(const Plan& plan, const CodePage& code_page) {
  const memory::UseMachine use = UseMachineOf(plan);
  return Text(plan, code_page).Render();
}

}  // namespace preview
