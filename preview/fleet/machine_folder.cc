#include "preview/fleet/machine_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "adapter/write_block_size.h"
#include "preview/exports/ascii.h"
#include "preview/exports/exports.h"
#include "preview/exports/paths.h"
#include "preview/exports/windows_version.h"
#include "preview/machine/registry_text.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

std::string BaseName(const std::string& path) { return Utf8Of(PathOf(path).filename()); }

}  // namespace

bool IsRegFile(const std::string& name) {
  const std::string lower = AsciiLower(name);
  return lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".reg") == 0;
}

bool ReadAll(const fs::path& path, std::string* content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  *content = text.str();
  return !in.bad();
}

bool ReadMachineFolder(const std::string& folder, bool need_version, MachineFolder* machine,
                       FolderError* error, const regfile::LeadBytes& lead_bytes, Keep keep) {
  *machine = MachineFolder{};
  machine->path = folder;
  const auto fail = [&](const std::string& message, const char* kind) {
    *error = FolderError{message, kind};
    return false;
  };
  std::error_code code;
  if (!fs::is_directory(PathOf(folder), code)) return fail(folder + ": not a folder", "folder");
  std::vector<fs::path> files;
  fs::path ver;
  for (const auto& entry : fs::directory_iterator(PathOf(folder), code)) {
    if (!entry.is_regular_file(code)) continue;
    const std::string name = AsciiLower(Utf8Of(entry.path().filename()));
    if (name == "ver.txt") ver = entry.path();
    if (IsRegFile(name)) files.push_back(entry.path());
  }
  if (code) return fail(folder + ": " + code.message(), "folder");
  std::sort(files.begin(), files.end());

  if (!ver.empty()) {
    std::string text, reason;
    if (!ReadAll(ver, &text)) return fail(Utf8Of(ver) + ": cannot read", "ver.txt");
    machine->version = VersionFromVer(text, &reason);
    if (!machine->version && need_version) return fail(Utf8Of(ver) + ": " + reason, "ver.txt");
  } else if (need_version) {
    return fail(folder + ": no ver.txt, and no --windows given", "ver.txt");
  }
  for (const fs::path& file : files) {
    Source source{Utf8Of(file), {}};
    regfile::FileInput input(Utf8Of(file));
    if (!input.Opened()) return fail(Utf8Of(file) + ": cannot read", ".reg file");
    regfile::Error parse_error;
    if (!ReadSource(input, keep, lead_bytes, &source, &parse_error)) {
      return fail(Utf8Of(file) +
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

}  // namespace preview
