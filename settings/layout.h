// Registry keys and value names of the wireless client's settings.
#pragma once

namespace settings {

// HKEY_LOCAL_MACHINE: the client's current settings.
constexpr const char* kSettingsKey = "SOFTWARE\\Corvane\\NLX\\Settings";
// HKEY_LOCAL_MACHINE: settings of an older installation. Never created.
constexpr const char* kLegacyKey =
    "SOFTWARE\\Corvane\\Corvane Client Installation Program";
// HKEY_LOCAL_MACHINE, with HKEY_CURRENT_USER as the fallback source.
constexpr const char* kInstallerKey = "Software\\VERDO Installer\\Setting";

constexpr const char* kGinaInstallOption = "GinaInstallOption";
constexpr const char* kSilentLeapOption = "SilentLeapOption";
// The setter writes "XRstatus", the default "XRStatus": one value to the
// registry, which ignores case in names.
constexpr const char* kXRStatusSetterName = "XRstatus";
constexpr const char* kXRStatus = "XRStatus";
constexpr const char* kWModeSelect = "wModeSelect";
constexpr const char* kInstallOption = "InstallOption";

constexpr const char* kDriverOnly = "Install Driver Only";

constexpr unsigned long kTextCapacity = 50;  // bytes offered to a text read

}  // namespace settings
