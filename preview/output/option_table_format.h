// The launcher's option table as the preview prints it: each option's
// settings actions and response file per family.
#pragma once

#include <string>

namespace preview {

enum class TableFormat { kText, kMarkdown, kCsv };

// "G S X" and the like: the actions of option number (1..44) in run order.
std::string ActionList(int number);
std::string OptionTable(TableFormat format);

}  // namespace preview
