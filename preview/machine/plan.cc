#include "preview/machine/plan.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "launcher/launcher.h"
#include "launcher/options.h"
#include "launcher/staging.h"
#include "preview/exports/ascii.h"
#include "preview/exports/paths.h"
#include "preview/exports/windows_version.h"
#include "preview/machine/run_facts.h"

namespace preview {

namespace {

namespace fs = std::filesystem;
using memory::Event;
using memory::Operation;
using platform::Phase;


// path names the file name: it is the name, or ends with "\" and the name.
bool Names(const std::string& path, const std::string& name) {
  if (path.size() < name.size() ||
      path.compare(path.size() - name.size(), name.size(), name) != 0) {
    return false;
  }
  return path.size() == name.size() || path[path.size() - name.size() - 1] == '\\';
}

// The folder of a program path: the text before its last backslash, or
// the current folder for a bare name. "C:" alone would be the current
// folder of drive C, so a program at a drive's root lies in "C:\"; a
// share's root "\\server\share" needs no backslash.
std::string FolderOf(const std::string& program, size_t slash, const std::string& current) {
  if (slash == std::string::npos) return current;
  if (slash == 2 && program[1] == ':') return program.substr(0, 3);
  return program.substr(0, slash);
}

bool EndsWithExe(const std::string& program) {
  return program.size() >= 4 && AsciiLower(program.substr(program.size() - 4)) == ".exe";
}

// The folder the launcher lies in: that of the program path the command
// line starts with, or the current folder for a bare program name. Windows
// reads the path in the ANSI code page: a lead byte and the byte after it
// are one character, so a trail byte is neither a quote nor a separator.
// An unquoted path ends at a blank, where Windows tries each longer text up
// to the next blank in turn and starts the first that names a file
// ("\\server\share\Wireless LAN\launcher.exe -gina" starts the launcher of
// "Wireless LAN"): the first such text ending in ".exe" is the launcher's
// path, else the first word.
std::string ProgramFolder(const std::string& line, const std::string& current,
                          const CodePage& code_page) {
  const auto lead = [&](unsigned char byte) {
    for (const auto& [first, last] : code_page.LeadByteRanges()) {
      if (byte >= first && byte <= last) return true;
    }
    return false;
  };
  const bool quoted = !line.empty() && line[0] == '"';
  std::string program;
  size_t slash = std::string::npos;
  std::optional<std::string> first_word;
  for (size_t i = quoted ? 1 : 0; i < line.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (quoted && c == '"') break;
    if (!quoted && c <= 0x20) {
      if (program.empty() || EndsWithExe(program)) return FolderOf(program, slash, current);
      if (!first_word) first_word = FolderOf(program, slash, current);
    }
    program += line[i];
    if (lead(c) && i + 1 < line.size()) {
      program += line[++i];
      continue;
    }
    if (c == '\\') slash = program.size() - 1;
  }
  if (!quoted && first_word && !EndsWithExe(program)) return *first_word;
  return FolderOf(program, slash, current);
}

// Every name the launcher may copy out of the package.
std::vector<std::string> PackageNames() {
  std::vector<std::string> names;
  for (const launcher::PackageFile& file : launcher::kPackageFiles) {
    names.push_back(file.source_name);
  }
  for (int r = static_cast<int>(launcher::Response::kSI1);
       r <= static_cast<int>(launcher::Response::kUninstall); ++r) {
    for (bool full : {true, false}) {
      const char* name =
          launcher::ResponseFile(static_cast<launcher::Response>(r), full);
      if (std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(name);
      }
    }
  }
  return names;
}

// The host files of a package folder, by folded name; "data3.cab\..." for
// the files of its data3.cab folder.
std::map<std::string, std::string> HostPackage(const std::string& dir) {
  std::map<std::string, std::string> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(PathOf(dir), error)) {
    const std::string name = Utf8Of(entry.path().filename());
    if (entry.is_regular_file(error)) {
      files[AsciiLower(name)] = Utf8Of(entry.path());
    } else if (entry.is_directory(error) && AsciiLower(name) == "data3.cab") {
      for (const auto& inner : fs::directory_iterator(entry.path(), error)) {
        if (inner.is_regular_file(error)) {
          files["data3.cab\\" + AsciiLower(Utf8Of(inner.path().filename()))] =
              Utf8Of(inner.path());
        }
      }
    }
  }
  return files;
}

void PlacePackage(const Machine& machine, Plan* plan) {
  const std::map<std::string, std::string> host =
      machine.package_dir ? HostPackage(*machine.package_dir)
                          : std::map<std::string, std::string>();
  for (const std::string& name : PackageNames()) {
    std::string contents = "package file " + name;
    if (machine.package_dir) {
      auto found = host.find(AsciiLower(name));
      if (found == host.end()) continue;
      contents = found->second;
    }
    memory::PutFile(plan->package_folder + "\\" + name, contents);
    plan->package_present.push_back(name);
  }
}

void ReadJournal(Plan* plan) {
  const std::string response_names[2] = {
      launcher::ResponseFile(plan->response, true) != nullptr
          ? launcher::ResponseFile(plan->response, true)
          : "",
      launcher::ResponseFile(plan->response, false) != nullptr
          ? launcher::ResponseFile(plan->response, false)
          : ""};
  for (const Event& event : plan->journal) {
    switch (event.operation) {
      case Operation::kSystemDirectory:
        if (event.status == 0) {
          plan->staging_folder = event.path + launcher::kStagingFolderName;
        }
        break;
      case Operation::kCopyFile:
        if (event.phase != Phase::kResponseFile) break;
        for (int full = 0; full < 2; ++full) {
          if (!response_names[full].empty() &&
              Names(event.path, response_names[full])) {
            plan->response_file = response_names[full];
            if (launcher::ResponseFile(plan->response, true) !=
                launcher::ResponseFile(plan->response, false)) {
              plan->full_install = full == 0;
            }
          }
        }
        plan->response_staged = event.status == 0;
        break;
      case Operation::kStartProgram:
        plan->setup_command = event.target;
        plan->setup_started = event.status == 0;
        break;
      default:
        break;
    }
  }
}

void ReadStaging(Plan* plan) {
  if (plan->staging_folder.empty()) return;
  std::map<std::string, std::string> sources;  // folded staged path -> source
  for (const Event& event : plan->journal) {
    if (event.operation == Operation::kCopyFile && event.status == 0) {
      std::string source = event.path;
      if (AsciiLower(source).compare(0, plan->package_folder.size() + 1,
                               AsciiLower(plan->package_folder) + "\\") == 0) {
        source = source.substr(plan->package_folder.size() + 1);
      }
      sources[AsciiLower(event.target)] = source;
    }
  }
  std::vector<std::string> names = memory::FilesIn(plan->staging_folder);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return AsciiLower(a) < AsciiLower(b);
  });
  for (const std::string& name : names) {
    auto found = sources.find(AsciiLower(plan->staging_folder + "\\" + name));
    plan->staged.push_back({name, found != sources.end() ? found->second : ""});
  }
  for (const launcher::PackageFile& file : launcher::kPackageFiles) {
    if (!memory::HasFile(plan->staging_folder + file.staged_name)) {
      plan->missing.push_back(file.source_name);
    }
  }
}

}  // namespace

void UseFamilyRegistry(launcher::Family family, const CodePage& code_page) {
  memory::Reset();
  // Windows NT keeps the registry's text in UTF-16, 9x as the bytes given.
  memory::UseTextStorage(family == launcher::Family::kWindows9x ? memory::TextStorage::kAnsi
                                                                : memory::TextStorage::kUtf16,
                         &code_page);
  for (const auto& range : code_page.LeadByteRanges()) {
    memory::SetLeadByteRange(range.first, range.second);
  }
}

Plan MakePlan(const Machine& machine, const CodePage& code_page) {
  Plan plan;
  plan.version_word = machine.version_word;
  plan.command_line = machine.command_line;
  plan.family = launcher::ClassifyFamily(machine.version_word);
  plan.system_dir = machine.system_dir.empty()
                        ? DefaultSystemDirectory(machine.version_word)
                        : machine.system_dir;
  plan.all_present = !machine.package_dir.has_value();

  plan.machine = std::make_shared<memory::Machine>();
  const memory::UseMachine use(*plan.machine);
  UseFamilyRegistry(plan.family, code_page);
  memory::SetVersion(machine.version_word);
  memory::SetSystemDirectory(plan.system_dir);
  memory::SetCurrentDirectory(machine.current_dir);
  memory::SetCommandLine(machine.command_line);
  // The program itself, when named, says where the package lies; else the
  // command line's program path does.
  plan.package_folder = machine.program
                            ? ProgramFolder("\"" + *machine.program + "\"", machine.current_dir, code_page)
                            : ProgramFolder(machine.command_line, machine.current_dir, code_page);
  PlacePackage(machine, &plan);

  StoreStandardKeys();
  plan.listed = LoadSources(machine.sources, code_page);
  plan.before = memory::SavedRegistry();

  // The setup removes the marker key when it ends, and does nothing else
  // the launcher would see; it ends before the launcher's first pause is
  // over.
  memory::SetSleepHook([](unsigned long) {
    memory::RemoveKey(platform::Root::kLocalMachine, launcher::kMarkerKeyPath);
  });

  // As the entry point does: the tail from the whole command line.
  const char* tail = platform::CommandLineTail(platform::FullCommandLine());
  plan.tail = tail;
  plan.option = launcher::ResolveOption(tail);
  (void)launcher::LauncherMain(tail);

  plan.after = memory::SavedRegistry();
  plan.journal = memory::Journal();
  plan.changes = Diff(plan.before, plan.after);
  if (plan.family != launcher::Family::kOther) {
    const launcher::OptionRow& row = launcher::Option(plan.option);
    plan.response = plan.family == launcher::Family::kWindows9x ? row.windows_9x
                    : plan.family == launcher::Family::kWindows2000
                        ? row.windows_2000
                        : row.windows_xp;
  }
  ReadJournal(&plan);
  plan.silent = StartsSilently(plan.journal);
  plan.waits = Waits(plan.journal);
  plan.fixes_adapters = FixesAdaptersWhileWaiting(plan.journal);
  plan.adapters_tuned = AdaptersTunedAtFirstPoll(plan.journal);
  ReadStaging(&plan);
  return plan;
}

memory::UseMachine UseMachineOf(const Plan& plan) { return memory::UseMachine(*plan.machine); }

const char* FamilyName(launcher::Family family) {
  switch (family) {
    case launcher::Family::kWindows9x: return "9x";
    case launcher::Family::kWindows2000: return "2000";
    case launcher::Family::kWindowsXP: return "xp";
    case launcher::Family::kOther: return "other";
  }
  return "other";
}

const char* ResponseName(launcher::Response response) {
  switch (response) {
    case launcher::Response::kPlain: return "plain";
    case launcher::Response::kSI1: return "SI1";
    case launcher::Response::kSI2: return "SI2";
    case launcher::Response::kSI3: return "SI3";
    case launcher::Response::kSI1XP: return "SI1XP";
    case launcher::Response::kSI3XP: return "SI3XP";
    case launcher::Response::kSI4XP: return "SI4XP";
    case launcher::Response::kSI5XP: return "SI5XP";
    case launcher::Response::kUpdate: return "UPD";
    case launcher::Response::kUninstall: return "UNI";
  }
  return "plain";
}

}  // namespace preview
