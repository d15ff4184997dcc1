// launcher-preview table and collect-script: what the preview knows, printed
// as it is.
#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "preview/command/commands.h"
#include "preview/exports/exports.h"
#include "preview/output/option_table_format.h"

namespace preview {

int RunCollectScript() {
#ifdef _WIN32
  // The script has its CR LF already: no text-mode translation.
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::cout << CollectScript();
  return 0;
}

int RunTable(const std::string& format) {
  const TableFormat f = format == "csv"        ? TableFormat::kCsv
                        : format == "markdown" ? TableFormat::kMarkdown
                                               : TableFormat::kText;
  std::cout << OptionTable(f);
  return 0;
}

}  // namespace preview
