#pragma once

namespace launcher {

// "Software\setup install" under HKEY_LOCAL_MACHINE: present while a setup
// started by the launcher runs; the setup removes it when it ends.
constexpr const char* kMarkerKeyPath = "Software\\setup install";

// The whole run, from the command-line tail to the end of the wait.
// Always returns 0.
int LauncherMain(const char* tail);

}  // namespace launcher
