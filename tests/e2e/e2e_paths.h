// Names shared by the end-to-end runner and the sample package's fake setup.
#pragma once

namespace e2e {

// The fake setup appends a record here each time it runs.
constexpr const char* kSetupLog = "C:\\e2e\\setup-log.txt";
// HKEY_LOCAL_MACHINE: what the fake setup is to do (value "Script").
constexpr const char* kControlKey = "Software\\E2E Control";
// HKEY_LOCAL_MACHINE: present while a setup started by the launcher runs.
constexpr const char* kMarkerKey = "Software\\setup install";
constexpr const char* kAdapterClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}";

}  // namespace e2e
