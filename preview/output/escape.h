// Names and values from the field reach terminals, logs, spreadsheets and
// scripts. One escaping for every text output, so that no name or value can
// forge a line or be told apart from another only by how it is shown; JSON
// carries the real text with JSON's own escapes.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace preview {

// Text for a terminal, a log or a CSV cell. Valid UTF-8 stays as it is,
// except: a backslash is written "\\"; C0 control characters, DEL and each
// byte that is no UTF-8 "\xNN" (the byte); the C1 control characters
// U+0080 to U+009F and the separators U+2028 and U+2029 "\uNNNN" (the code
// point). A "\x" always stands for a byte, a "\u" for a character, so the
// form is unambiguous and undone exactly.
std::string EscapeText(std::string_view text);
// Text already in regedit's notation ("C:\\Dir" quoted, its backslashes and
// quotes escaped by regedit's rules): the same, but backslashes stay as they
// are, so none is escaped twice.
std::string EscapeNotation(std::string_view notation);

// A CSV cell of escaped text. A cell a spreadsheet would take for a formula
// (starting with =, +, -, @, tab or carriage return) gets a leading single
// quote, unless it is a plain number ("-1", "22"), and is quoted; so does a
// cell starting with a single quote, so that dropping one leading quote
// always gives the text back. A cell holding a quote or a separator a
// spreadsheet may split at (comma, semicolon and tab are the defaults of a
// spreadsheet's CSV import) is quoted too.
std::string CsvCell(const std::string& escaped);

// JSON as text: UTF-8 with JSON's escapes, where also DEL, the C1 control
// characters and U+2028/U+2029 are escaped (\u0085), which JSON allows raw
// but a terminal or a JavaScript parser takes for control or a line end.
// Bytes that are no UTF-8 (only a file name on Linux can hold them) become
// U+FFFD. indent < 0: one line.
std::string DumpJson(const nlohmann::ordered_json& json, int indent = -1);

}  // namespace preview
