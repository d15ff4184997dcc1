// One registry key and everything below it as a REGEDIT4 file, the form
// regedit of Windows 9x exports: "REGEDIT4", then per key a blank line,
// "[ROOT\path]" and its values; CR LF line ends, text in the ANSI code
// page as the "A" functions give it.
#pragma once

#include "kit/workspace.h"
#include "kit/writer.h"
#include "platform/platform.h"

namespace kit {

enum class ExportResult { kWritten, kAbsent, kFailed };

// Exports root\path into out. kAbsent when the key does not exist (nothing
// is written then); kFailed with *problem when it cannot be read whole.
// Subkeys this user may not open are left out, as regedit leaves them.
[[nodiscard]] ExportResult ExportKey(platform::Root root, const char* path,
                                     Writer& out, Workspace& work,
                                     const char** problem);

// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
const char* RootName(platform::Root root);

}  // namespace kit
