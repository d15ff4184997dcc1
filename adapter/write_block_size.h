// Sets writeBlockSize = "1" on every network adapter whose ComponentId
// begins with one of the supported hardware ids.
#pragma once

namespace adapter {

// HKEY_LOCAL_MACHINE: the device class key of network adapters.
constexpr const char* kAdapterClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}";

constexpr int kHardwareIdCount = 6;
constexpr unsigned long kHardwareIdLength = 37;
typedef char HardwareId[kHardwareIdLength + 1];
extern const HardwareId kHardwareIdTexts[kHardwareIdCount];
// The same texts, one pointer each.
extern const char* const kHardwareIds[kHardwareIdCount];

void ApplyWriteBlockSizeFix();

}  // namespace adapter
