#include "preview/fleet.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "launcher/options.h"
#include "preview/display.h"
#include "preview/windows_version.h"
#include "settings/layout.h"

namespace preview {

namespace {

namespace fs = std::filesystem;

const char* const kColumns[] = {
    "machine", "family", "option", "response_file", "setup_starts", "waits",
    "GinaInstallOption", "SilentLeapOption", "XRStatus", "wModeSelect",
    "install_type", "adapters_tuned", "error"};
constexpr size_t kCells = sizeof kColumns / sizeof kColumns[0] - 1;


std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

bool ReadAll(const fs::path& path, std::string* content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  *content = text.str();
  return !in.bad();
}

}  // namespace

std::string Setting(const Image& image, const char* name, const CodePage& code_page) {
  const KeyId id = IdOf(platform::Root::kLocalMachine, memory::StoredName(settings::kSettingsKey));
  const std::u16string wanted = memory::ComparedName(memory::StoredName(name));
  for (const memory::StoredKey& key : image) {
    if (!(IdOf(key.root, key.path) == id)) continue;
    for (const memory::StoredValue& value : key.values) {
      if (memory::ComparedName(value.name) != wanted) continue;
      const std::string bytes = memory::ProgramData(value);
      if (value.type == 4 && bytes.size() == 4) {
        unsigned long n = 0;
        for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(bytes[i]);
        return std::to_string(n);
      }
      return Utf8FromAnsi(bytes.substr(0, bytes.find('\0')), code_page);
    }
  }
  return "";
}

std::string FleetHeader() {
  std::string header;
  for (const char* column : kColumns) header += std::string(header.empty() ? "" : ",") + column;
  return header;
}

FleetRow PlanFleetMachine(const std::string& folder, const Machine& base,
                          const std::optional<unsigned long>& version,
                          const CodePage& code_page) {
  FleetRow row;
  row.machine = fs::path(folder).filename().string();
  if (row.machine.empty()) row.machine = fs::path(folder).parent_path().filename().string();
  row.cells.assign(kCells, "");
  const auto fail = [&](const std::string& message) {
    row.failed = true;
    row.cells.assign(kCells, "");
    row.cells.back() = message;
    return row;
  };
  std::error_code error;
  if (!fs::is_directory(folder, error)) return fail(folder + ": not a folder");
  std::vector<fs::path> files;
  fs::path ver;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    const std::string name = AsciiLower(entry.path().filename().string());
    if (name == "ver.txt") ver = entry.path();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".reg") == 0) {
      files.push_back(entry.path());
    }
  }
  if (error) return fail(folder + ": " + error.message());
  std::sort(files.begin(), files.end());

  Machine machine = base;
  if (version) {
    machine.version_word = *version;
  } else if (ver.empty()) {
    return fail(folder + ": no ver.txt, and no --windows given");
  } else {
    std::string text, reason;
    if (!ReadAll(ver, &text)) return fail(ver.string() + ": cannot read");
    const std::optional<unsigned long> word = VersionFromVer(text, &reason);
    if (!word) return fail(ver.string() + ": " + reason);
    machine.version_word = *word;
  }
  for (const fs::path& file : files) {
    Source source{file.string(), {}};
    std::string content;
    if (!ReadAll(file, &content)) return fail(file.string() + ": cannot read");
    regfile::Error parse_error;
    if (!regfile::Parse(content, &source.file, &parse_error)) {
      return fail(file.string() + (parse_error.line > 0 ? ":" + std::to_string(parse_error.line) : "") +
                  ": " + parse_error.message);
    }
    machine.sources.push_back(std::move(source));
  }

  const Plan plan = MakePlan(machine, code_page);
  std::string adapters;
  for (const std::string& name : plan.adapters_tuned) {
    adapters += (adapters.empty() ? "" : " ") + Utf8FromAnsi(name, code_page);
  }
  row.cells = {
      FamilyName(plan.family),
      plan.option == launcher::kNoOption ? "" : std::to_string(plan.option),
      plan.response_file ? Utf8FromAnsi(*plan.response_file, code_page) : "",
      plan.setup_started ? "true" : "false",
      plan.waits ? "true" : "false",
      Setting(plan.after, settings::kGinaInstallOption, code_page),
      Setting(plan.after, settings::kSilentLeapOption, code_page),
      Setting(plan.after, settings::kXRStatus, code_page),
      Setting(plan.after, settings::kWModeSelect, code_page),
      plan.full_install ? (*plan.full_install ? "full" : "driver only") : "",
      adapters,
      "",
  };
  return row;
}

std::string FleetLine(const FleetRow& row) {
  std::string line = Field(row.machine);
  for (const std::string& cell : row.cells) line += "," + Field(cell);
  return line;
}

}  // namespace preview
