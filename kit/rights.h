// Whether this user can do what the launcher does on Windows 2000 and XP:
// write into the system folder and below HKEY_LOCAL_MACHINE\SOFTWARE.
#pragma once

namespace kit {

// Creates and deletes a file in the system folder, and opens
// HKEY_LOCAL_MACHINE\SOFTWARE with the rights to create subkeys and set
// values. True only when all of it succeeds. Leaves nothing behind.
bool CanInstall();

}  // namespace kit
