#include "preview/output/option_table_format.h"

#include <iomanip>
#include <sstream>
#include <vector>

#include "launcher/options.h"
#include "preview/machine/plan.h"
#include "preview/output/escape.h"

namespace preview {

namespace {

// Abbreviations in the order the actions run.
const struct {
  unsigned char bit;
  const char* name;
} kActions[] = {
    {launcher::kSetGina, "G"},       {launcher::kSetSilentLeap, "S"},
    {launcher::kSetXRStatus, "X"},   {launcher::kSetWMode4, "W4"},
    {launcher::kSetWMode12, "W12"},  {launcher::kSetWMode13, "W13"},
    {launcher::kEnsureGinaForUpdate, "U"},
};


struct Row {
  std::string number, option, actions, w9x, w2000, wxp;
};

std::vector<Row> Rows() {
  std::vector<Row> rows;
  for (int n = 1; n <= launcher::kOptionCount; ++n) {
    const launcher::OptionRow& row = launcher::Option(n);
    rows.push_back({std::to_string(n), launcher::OptionString(n), ActionList(n),
                    ResponseName(row.windows_9x), ResponseName(row.windows_2000),
                    ResponseName(row.windows_xp)});
  }
  return rows;
}

}  // namespace

std::string ActionList(int number) {
  std::string list;
  const unsigned char actions = launcher::Option(number).actions;
  for (const auto& action : kActions) {
    if (actions & action.bit) list += (list.empty() ? "" : " ") + std::string(action.name);
  }
  return list;
}

std::string OptionTable(TableFormat format) {
  std::ostringstream out;
  const std::vector<Row> rows = Rows();
  switch (format) {
    case TableFormat::kCsv:
      out << "number,option,actions,windows_9x,windows_2000,windows_xp\n";
      for (const Row& r : rows) {
        // The cells as the fleet's are: an option starting with - made inert.
        out << r.number << ',' << CsvCell(r.option) << ',' << CsvCell(r.actions) << ','
            << r.w9x << ',' << r.w2000 << ',' << r.wxp << "\n";
      }
      break;
    case TableFormat::kMarkdown:
      out << "| No. | Option | Actions | Windows 9x | Windows 2000 | Windows XP |\n"
          << "|---:|---|---|---|---|---|\n";
      for (const Row& r : rows) {
        out << "| " << r.number << " | " << (r.option.empty() ? "(empty)" : "`" + r.option + "`")
            << " | " << (r.actions.empty() ? "-" : r.actions) << " | " << r.w9x << " | "
            << r.w2000 << " | " << r.wxp << " |\n";
      }
      break;
    case TableFormat::kText:
      out << std::left << std::setw(4) << "No." << std::setw(23) << "Option"
          << std::setw(9) << "Actions" << std::setw(8) << "9x" << std::setw(8) << "2000"
          << "XP\n";
      for (const Row& r : rows) {
        out << std::setw(4) << r.number << std::setw(23)
            << (r.option.empty() ? "\"\" (empty)" : "\"" + r.option + "\"") << std::setw(9)
            << (r.actions.empty() ? "-" : r.actions) << std::setw(8) << r.w9x
            << std::setw(8) << r.w2000 << r.wxp << "\n";
      }
      out << "\nActions (Windows 2000 and XP only, in this order): G GinaInstallOption = "
             "\"1\", S SilentLeapOption = \"1\", X XRstatus = \"1\", W4/W12/W13 "
             "wModeSelect = 4/12/13, U the update's GinaInstallOption step.\n"
             "Any tail not in the table runs no action and starts the setup plain.\n";
      break;
  }
  return out.str();
}

}  // namespace preview
