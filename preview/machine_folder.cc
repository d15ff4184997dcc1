#include "preview/machine_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "adapter/write_block_size.h"
#include "preview/display.h"
#include "preview/exports.h"
#include "preview/windows_version.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

bool IsReg(const std::string& lower_name) {
  return lower_name.size() > 4 && lower_name.compare(lower_name.size() - 4, 4, ".reg") == 0;
}

std::string KeyText(platform::Root root, const char* path) {
  return std::string(regfile::RootName(root)) + "\\" + path;
}

std::string BaseName(const std::string& path) { return fs::path(path).filename().string(); }

}  // namespace

bool ReadAll(const fs::path& path, std::string* content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  *content = text.str();
  return !in.bad();
}

bool IsMachineFolder(const std::string& folder) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    const std::string name = AsciiLower(entry.path().filename().string());
    if (name == "ver.txt" || IsReg(name)) return true;
  }
  return false;
}

bool ReadMachineFolder(const std::string& folder, bool need_version, MachineFolder* machine,
                       FolderError* error, const regfile::LeadBytes& lead_bytes, Keep keep) {
  *machine = MachineFolder{};
  machine->path = folder;
  const auto fail = [&](const std::string& message, const char* kind) {
    *error = FolderError{PrintableUtf8(message), kind};
    return false;
  };
  std::error_code code;
  if (!fs::is_directory(folder, code)) return fail(folder + ": not a folder", "folder");
  std::vector<fs::path> files;
  fs::path ver;
  for (const auto& entry : fs::directory_iterator(folder, code)) {
    if (!entry.is_regular_file(code)) continue;
    const std::string name = AsciiLower(entry.path().filename().string());
    if (name == "ver.txt") ver = entry.path();
    if (IsReg(name)) files.push_back(entry.path());
  }
  if (code) return fail(folder + ": " + code.message(), "folder");
  std::sort(files.begin(), files.end());

  if (!ver.empty()) {
    std::string text, reason;
    if (!ReadAll(ver, &text)) return fail(ver.string() + ": cannot read", "ver.txt");
    machine->version = VersionFromVer(text, &reason);
    if (!machine->version && need_version) return fail(ver.string() + ": " + reason, "ver.txt");
  } else if (need_version) {
    return fail(folder + ": no ver.txt, and no --windows given", "ver.txt");
  }
  for (const fs::path& file : files) {
    Source source{file.string(), {}};
    regfile::FileInput input(file.string());
    if (!input.Opened()) return fail(file.string() + ": cannot read", ".reg file");
    regfile::Error parse_error;
    if (!ReadSource(input, keep, lead_bytes, &source, &parse_error)) {
      return fail(file.string() +
                      (parse_error.line > 0 ? ":" + std::to_string(parse_error.line) : "") +
                      ": " + parse_error.message,
                  ".reg file");
    }
    machine->sources.push_back(std::move(source));
  }
  return true;
}

std::vector<Warning> OtherRootWarnings(const std::vector<Source>& sources) {
  std::vector<Warning> warnings;
  for (const Source& source : sources) {
    const int n = source.file.skipped_other_root_keys;
    if (n == 0) continue;
    warnings.push_back({warning::kOtherRoots,
                        BaseName(source.name) + ": " + std::to_string(n) + " key" +
                            (n == 1 ? "" : "s") +
                            " of other roots than HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER "
                            "skipped"});
  }
  return warnings;
}

std::vector<Warning> ExportWarnings(const std::vector<Source>& sources, bool nt_family) {
  std::vector<Warning> warnings = OtherRootWarnings(sources);
  std::map<size_t, std::vector<std::string>> holders;  // exported key -> files
  for (const Source& source : sources) {
    const std::string file = BaseName(source.name);
    const std::string lower = AsciiLower(file);
    const ExportedKey* named = nullptr;
    for (const ExportedKey& key : kExportedKeys) {
      if (lower == key.file) named = &key;
    }
    // Counted as the file was read. A whole-registry export holds the
    // parents too; they count for none.
    const KeyLineCounts& lines = source.key_lines;
    for (size_t k = 0; k < std::size(kExportedKeys); ++k) {
      if (lines.within[k] > 0) holders[k].push_back(file);
    }
    const size_t outside =
        named != nullptr ? static_cast<size_t>(lines.all - lines.within[named - kExportedKeys]) : 0;
    if (outside > 0) {
      warnings.push_back({warning::kForeignKeys,
                          file + " holds " + std::to_string(outside) + " key" +
                              (outside == 1 ? "" : "s") + " outside " +
                              KeyText(named->root, named->path)});
    }
  }
  for (const auto& [k, files] : holders) {
    if (files.size() < 2) continue;
    std::string names;
    for (const std::string& f : files) names += (names.empty() ? "" : ", ") + f;
    warnings.push_back({warning::kSeveralExports,
                        std::to_string(files.size()) + " files hold " +
                            KeyText(kExportedKeys[k].root, kExportedKeys[k].path) +
                            ", merged in name order: " + names});
  }
  if (nt_family) {
    bool adapters = false;
    for (size_t k = 0; k < std::size(kExportedKeys); ++k) {
      if (std::string(kExportedKeys[k].path) == adapter::kAdapterClassKey &&
          holders.count(k) != 0) {
        adapters = true;
      }
    }
    if (!adapters) {
      warnings.push_back({warning::kNoAdapters,
                          "no export of the network adapters' key (adapters.reg): every 2000 "
                          "and XP machine has it, so its export failed or was not collected"});
    }
  }
  return warnings;
}

std::vector<std::string> ExpandFolders(const std::vector<std::string>& arguments) {
  std::vector<std::string> folders;
  for (const std::string& argument : arguments) {
    std::error_code error;
    if (!fs::is_directory(argument, error) || IsMachineFolder(argument)) {
      folders.push_back(argument);
      continue;
    }
    std::vector<fs::path> machines;
    for (const auto& entry : fs::directory_iterator(argument, error)) {
      if (entry.is_directory(error) && IsMachineFolder(entry.path().string())) {
        machines.push_back(entry.path());
      }
    }
    std::sort(machines.begin(), machines.end());
    // A folder with no machine in it stays, so that its row says so.
    if (machines.empty()) folders.push_back(argument);
    for (const fs::path& m : machines) folders.push_back(m.string());
  }
  return folders;
}

std::vector<std::string> MachineNames(const std::vector<std::string>& folders) {
  std::vector<std::vector<std::string>> parts(folders.size());
  for (size_t i = 0; i < folders.size(); ++i) {
    std::error_code error;
    fs::path path = fs::absolute(fs::path(folders[i]), error).lexically_normal();
    if (path.has_relative_path() && path.filename().empty()) path = path.parent_path();
    for (const fs::path& part : path.relative_path()) {
      if (!part.empty()) parts[i].push_back(part.string());
    }
    if (parts[i].empty()) parts[i].push_back(path.string());
  }
  std::vector<size_t> depth(folders.size(), 1);
  const auto name = [&](size_t i) {
    std::string joined;
    const std::vector<std::string>& p = parts[i];
    for (size_t k = p.size() - std::min(depth[i], p.size()); k < p.size(); ++k) {
      joined += (joined.empty() ? "" : "/") + p[k];
    }
    return joined;
  };
  for (bool grew = true; grew;) {
    grew = false;
    std::map<std::string, std::vector<size_t>> by_name;
    for (size_t i = 0; i < folders.size(); ++i) by_name[AsciiLower(name(i))].push_back(i);
    for (const auto& [n, members] : by_name) {
      if (members.size() < 2) continue;
      for (size_t i : members) {
        if (depth[i] < parts[i].size()) {
          ++depth[i];
          grew = true;
        }
      }
    }
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < folders.size(); ++i) names.push_back(name(i));
  return names;
}

}  // namespace preview
