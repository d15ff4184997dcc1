#include "preview/fleet/releases.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "kit/machine_name.h"
#include "kit/release_record.h"
#include "preview/exports/ascii.h"
#include "preview/exports/paths.h"
#include "preview/fleet/machine_folder.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

fs::path ReleaseFolder(const std::string& kit_dir) { return PathOf(kit_dir) / "REL"; }

// The record files of the folder by machine name in upper case: a name may
// have been written in another letter case.
std::map<std::string, fs::path> RecordFiles(const std::string& kit_dir) {
  std::map<std::string, fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(ReleaseFolder(kit_dir), error)) {
    const std::string name = Utf8Of(entry.path().filename());
    if (name.size() > 4 && AsciiLower(name.substr(name.size() - 4)) == ".txt") {
      files[AsciiUpper(name.substr(0, name.size() - 4))] = entry.path();
    }
  }
  return files;
}

// "R" and the seconds since 2020 in base 36: later releases sort after
// earlier ones, and one differs from the machine's earlier id.
std::string NewId(const std::optional<std::string>& earlier) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  unsigned long long seconds =
      static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::seconds>(now).count()) -
      1577836800ull;
  const auto encode = [](unsigned long long n) {
    std::string digits;
    do {
      digits.insert(digits.begin(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[n % 36]);
      n /= 36;
    } while (n > 0);
    return "R" + digits;
  };
  std::string id = encode(seconds);
  while (earlier && id == *earlier) id = encode(++seconds);
  return id;
}

void WriteRecord(const std::string& kit_dir, const std::string& machine,
                 const std::optional<fs::path>& earlier, const ReleaseRecord& record) {
  const fs::path path = ReleaseFolder(kit_dir) / PathOf(machine + ".TXT");
  const fs::path temporary = ReleaseFolder(kit_dir) / PathOf(machine + ".tmp-launcher-preview");
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << "release=" << record.id << "\r\ntail=" << record.tail << "\r\n";
    out.close();
    if (!out) throw std::runtime_error(Utf8Of(temporary) + ": cannot write");
  }
  std::error_code error;
  if (earlier && *earlier != path) fs::remove(*earlier, error);
  fs::rename(temporary, path, error);
  if (error) throw std::runtime_error(Utf8Of(path) + ": cannot write: " + error.message());
}

bool Named(const std::vector<std::string>& names, const std::string& machine) {
  for (const std::string& name : names) {
    if (AsciiLower(name) == AsciiLower(machine)) return true;
  }
  return false;
}

}  // namespace

bool ReadReleases(const std::string& kit_dir, std::map<std::string, ReleaseRecord>* records) {
  records->clear();
  std::error_code error;
  if (!fs::is_directory(ReleaseFolder(kit_dir), error)) return false;
  for (const auto& [machine, path] : RecordFiles(kit_dir)) {
    std::string text;
    if (!ReadAll(path, &text)) continue;
    kit::Release release;
    if (!kit::ParseRelease(text.data(), static_cast<unsigned long>(text.size()), &release)) continue;
    (*records)[machine] = {release.id, release.tail};
  }
  return true;
}

std::string CannotRelease(const FleetRow& row) {
  if (row.failed) return "not planned";
  if (!kit::IsValidMachineName(row.machine.c_str())) {
    return "a name the kit cannot use (letters, digits, - and _, at most 15)";
  }
  if (row.setup == "none") return "no setup";
  if (!kit::IsSafeTail(row.tail.c_str(), static_cast<unsigned long>(row.tail.size()))) {
    return "a tail a batch file cannot hold";
  }
  return "";
}

ReleaseOutcome Release(const std::vector<FleetRow>& rows, const ReleaseRequest& request) {
  std::map<std::string, ReleaseRecord> records;
  if (!ReadReleases(request.kit_dir, &records)) {
    throw std::runtime_error(request.kit_dir + ": holds no rollout kit (no REL folder)");
  }
  const std::map<std::string, fs::path> files = RecordFiles(request.kit_dir);
  const auto file_of = [&](const std::string& machine) -> std::optional<fs::path> {
    auto found = files.find(AsciiUpper(machine));
    return found == files.end() ? std::nullopt : std::optional<fs::path>(found->second);
  };
  ReleaseOutcome outcome;
  for (const std::vector<std::string>* list : {&request.machines, &request.withdraw}) {
    for (const std::string& name : *list) {
      const bool known = std::any_of(rows.begin(), rows.end(), [&](const FleetRow& row) {
        return AsciiLower(row.machine) == AsciiLower(name);
      });
      if (!known) outcome.unknown.push_back(name);
    }
  }
  for (const FleetRow& row : rows) {
    const std::string key = AsciiUpper(row.machine);
    const std::optional<fs::path> file = file_of(row.machine);
    if (Named(request.withdraw, row.machine)) {
      if (file) {
        std::error_code error;
        fs::remove(*file, error);
        if (error) throw std::runtime_error(Utf8Of(*file) + ": cannot remove: " + error.message());
        outcome.withdrawn.push_back(row.machine);
      }
      continue;
    }
    const bool named = Named(request.machines, row.machine);
    const auto earlier = records.find(key);
    const bool released = earlier != records.end();
    // Named machines are released anew, and only they; otherwise those not
    // released yet: all of them, or those whose plan starts a silent setup
    // with no warning. Withdrawing alone releases nothing.
    const bool withdrawing_only =
        request.machines.empty() && !request.all && !request.withdraw.empty();
    if (!request.machines.empty() && !named) continue;
    if (released && !named) {
      outcome.kept.push_back(row.machine);
      continue;
    }
    if (withdrawing_only) continue;
    std::string why = CannotRelease(row);
    if (why.empty() && !named && !request.all) {
      if (row.setup != "silent") why = "interactive setup";
      if (why.empty() && !row.warnings.empty()) why = row.warnings.front().kind;
    }
    if (!why.empty()) {
      outcome.not_released[row.machine] = why;
      continue;
    }
    const ReleaseRecord record{
        NewId(released ? std::optional<std::string>(earlier->second.id) : std::nullopt),
        row.tail};
    WriteRecord(request.kit_dir, row.machine, file, record);
    outcome.released.push_back(row.machine);
  }
  return outcome;
}

std::map<std::string, std::string> ReadKitLogs(const std::string& folder) {
  std::map<std::string, std::string> logs;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(PathOf(folder), error)) {
    const std::string name = Utf8Of(entry.path().filename());
    if (name.size() <= 4 || AsciiLower(name.substr(name.size() - 4)) != ".txt") continue;
    std::string text;
    if (!ReadAll(entry.path(), &text)) continue;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t start = text.find_last_of("\r\n");
    logs[AsciiUpper(name.substr(0, name.size() - 4))] =
        start == std::string::npos ? text : text.substr(start + 1);
  }
  return logs;
}

std::string LogWord(const std::string& line) {
  std::istringstream words(line);
  std::string date, time, name, word;
  if (!(words >> date >> time >> name >> word)) return "";
  return word;
}

void AnnotateKit(const std::map<std::string, ReleaseRecord>* records,
                 const std::map<std::string, std::string>* logs, std::vector<FleetRow>* rows) {
  for (FleetRow& row : *rows) {
    const std::string key = AsciiUpper(row.machine);
    if (records != nullptr) {
      const auto found = records->find(key);
      if (found != records->end()) {
        row.release = found->second.id;
        if (!row.failed && found->second.tail != row.tail) {
          row.warnings.push_back({warning::kReleasedTailDiffers,
                                  "released with the tail \"" + found->second.tail +
                                      "\", planned now with \"" + row.tail +
                                      "\": the kit runs the released one"});
        }
      }
    }
    if (logs != nullptr) {
      const auto found = logs->find(key);
      if (found != logs->end()) row.kit_log = found->second;
    }
  }
}

}  // namespace preview
