// A registry's keys, names and values as the outputs show them: UTF-8 for
// the terminal and JSON, values in regedit's notation. Stored names and
// values are read in the storage form of the current machine
// (memory::CurrentMachine), which must be the one they come from.
#pragma once

#include <string>

#include "platform/memory_platform.h"
#include "preview/exports/code_page.h"

namespace preview {

// "HKEY_LOCAL_MACHINE\path", or the root's name alone for "".
std::string KeyText(platform::Root root, const std::string& path);
// A stored name in UTF-8.
std::string StoredUtf8(const std::u16string& stored, const CodePage& code_page);

// "REG_SZ", "REG_DWORD", ..., "hex(N)" for a type without a name.
std::string TypeName(unsigned long type);
// The value in regedit's notation, as a REGEDIT4 file would hold it
// ("1" quoted, dword:0000000c, hex(2):41,00), in UTF-8; long hex cut short
// after max_bytes bytes (0: never).
std::string Notation(const memory::StoredValue& value, const CodePage& code_page,
                     size_t max_bytes = 0);
// Bytes as regedit's hex notation: "01,02,ff".
std::string HexBytes(const std::string& bytes);

}  // namespace preview
