#include "preview/output/fleet_table.h"

#include "preview/output/escape.h"
#include "preview/output/verify_text.h"

namespace preview {

namespace {

constexpr const char* kNone = "(none)";

std::string Joined(const std::vector<std::string>& parts, const char* between) {
  std::string text;
  for (size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : between) + parts[i];
  return text;
}

std::vector<std::string> WarningTexts(const std::vector<Warning>& warnings) {
  std::vector<std::string> texts;
  for (const Warning& w : warnings) texts.push_back(w.text);
  return texts;
}

// The columns; the kind says how a cell is written in CSV and JSON.
enum class Kind { kText, kOptionalText, kBool, kNumber, kList };
struct Column {
  std::string name;
  Kind kind;
};

std::vector<Column> Columns(bool with_verdicts, bool with_kit) {
  std::vector<Column> columns = {
      {"machine", Kind::kText},         {"family", Kind::kText},
      {"windows", Kind::kText},
      {"tail", Kind::kText},            {"option", Kind::kNumber},
      {"response_file", Kind::kOptionalText}, {"setup", Kind::kText},
      {"response_file_staged", Kind::kBool},  {"setup_starts", Kind::kBool},
      {"waits", Kind::kBool},           {"marker_left", Kind::kBool}};
  for (const char* name : kRowSettings) {
    columns.push_back({std::string(name) + "_before", Kind::kOptionalText});
    columns.push_back({name, Kind::kOptionalText});
    columns.push_back({std::string(name) + "_why", Kind::kText});
  }
  columns.push_back({"install_type", Kind::kOptionalText});
  columns.push_back({"adapters_tuned", Kind::kList});
  columns.push_back({"warnings", Kind::kList});
  if (with_verdicts) {
    columns.push_back({"verdict", Kind::kOptionalText});
    columns.push_back({"differences", Kind::kList});
  }
  if (with_kit) {
    columns.push_back({"release", Kind::kOptionalText});
    columns.push_back({"not_released", Kind::kOptionalText});
    columns.push_back({"kit_log", Kind::kOptionalText});
  }
  columns.push_back({"error", Kind::kOptionalText});
  return columns;
}

// A cell's value: text (nullopt for none) or a list.
struct Cell {
  std::optional<std::string> text;
  std::vector<std::string> list;
};

Cell CellOf(const FleetRow& row, const std::string& column) {
  const auto text = [](const std::string& t) { return Cell{t, {}}; };
  const auto flag = [](bool b) { return Cell{b ? "true" : "false", {}}; };
  if (column == "machine") return text(row.machine);
  if (column == "error") return row.failed ? text(row.error) : Cell{};
  if (column == "release") return Cell{row.release, {}};
  if (column == "not_released") return Cell{row.not_released, {}};
  if (column == "kit_log") return Cell{row.kit_log, {}};
  if (row.failed) return Cell{};
  if (column == "family") return text(row.family);
  if (column == "windows") return text(row.windows);
  if (column == "tail") return text(row.tail);
  if (column == "option") return row.option > 0 ? text(std::to_string(row.option)) : Cell{};
  if (column == "response_file") {
    return row.response_file.empty() ? Cell{} : text(row.response_file);
  }
  if (column == "setup") return text(row.setup);
  if (column == "response_file_staged") return flag(row.response_file_staged);
  if (column == "setup_starts") return flag(row.setup_starts);
  if (column == "waits") return flag(row.waits);
  if (column == "marker_left") return flag(row.marker_left);
  for (size_t i = 0; i < kRowSettingCount; ++i) {
    const std::string name = kRowSettings[i];
    if (column == name + "_before") return Cell{row.settings[i].before, {}};
    if (column == name) return Cell{row.settings[i].after, {}};
    if (column == name + "_why") return text(row.settings[i].why);
  }
  if (column == "install_type") {
    return row.install_type.empty() ? Cell{} : text(row.install_type);
  }
  if (column == "adapters_tuned") return Cell{std::nullopt, row.adapters_tuned};
  if (column == "warnings") return Cell{std::nullopt, WarningTexts(row.warnings)};
  if (column == "verdict") return Cell{row.verdict, {}};
  if (column == "differences") {
    Cell cell;
    for (const Difference& d : row.differences) cell.list.push_back(DifferenceText(d));
    return cell;
  }
  return Cell{};
}

// Settings columns tell an absent value from an empty text; the others
// leave a cell with nothing to say empty.
bool ShowsNone(const std::string& column) {
  for (const char* name : kRowSettings) {
    if (column == name || column == std::string(name) + "_before") return true;
  }
  return false;
}

}  // namespace

std::string FleetHeader(bool with_verdicts, bool with_kit) {
  std::vector<std::string> names;
  for (const Column& column : Columns(with_verdicts, with_kit)) names.push_back(column.name);
  return Joined(names, ",");
}

std::string FleetLine(const FleetRow& row, bool with_verdicts, bool with_kit) {
  std::string line;
  bool first = true;
  for (const Column& column : Columns(with_verdicts, with_kit)) {
    const Cell cell = CellOf(row, column.name);
    std::string text;
    if (column.kind == Kind::kList) {
      std::vector<std::string> items;
      if (column.name == "differences") {  // regedit's notation in them is escaped already
        for (const Difference& d : row.differences) items.push_back(ShownDifference(d));
      } else {
        for (const std::string& item : cell.list) items.push_back(EscapeText(item));
      }
      text = Joined(items, column.name == "adapters_tuned" ? " " : "; ");
    } else if (cell.text) {
      text = EscapeText(*cell.text);
    } else if (!row.failed && ShowsNone(column.name)) {
      text = kNone;
    }
    line += (first ? "" : ",") + CsvCell(text);
    first = false;
  }
  return line;
}

nlohmann::ordered_json FleetJson(const FleetRow& row, bool with_verdicts, bool with_kit) {
  nlohmann::ordered_json out;
  for (const Column& column : Columns(with_verdicts, with_kit)) {
    const Cell cell = CellOf(row, column.name);
    nlohmann::ordered_json value = nullptr;
    if (column.kind == Kind::kList) {
      if (!row.failed) {
        value = nlohmann::ordered_json::array();
        for (const std::string& item : cell.list) value.push_back(item);
      }
    } else if (cell.text) {
      if (column.kind == Kind::kBool) {
        value = *cell.text == "true";
      } else if (column.kind == Kind::kNumber) {
        value = std::stoi(*cell.text);
      } else {
        value = *cell.text;
      }
    }
    out[column.name] = value;
  }
  return out;
}

}  // namespace preview
