// The supported adapters. One vendor, one subsystem vendor; three device ids
// with three, two and one subsystem variants, in that order.
#include "adapter/write_block_size.h"

namespace adapter {

// One block of fixed-length texts: no pointer or padding between them.
extern constexpr HardwareId kHardwareIdTexts[kHardwareIdCount] = {
    "PCI\\VEN_FC7A&DEV_1001&SUBSYS_0001FC7A",
    "PCI\\VEN_FC7A&DEV_1001&SUBSYS_0002FC7A",
    "PCI\\VEN_FC7A&DEV_1001&SUBSYS_0003FC7A",
    "PCI\\VEN_FC7A&DEV_1002&SUBSYS_0011FC7A",
    "PCI\\VEN_FC7A&DEV_1002&SUBSYS_0012FC7A",
    "PCI\\VEN_FC7A&DEV_1003&SUBSYS_0021FC7A",
};

namespace {

constexpr bool IsUpperHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// The match compares whole strings of 37 characters, so an id of another
// length or form would silently never match.
constexpr bool IsWellFormed(const HardwareId& id) {
  const char kPattern[] = "PCI\\VEN_####&DEV_####&SUBSYS_########";
  static_assert(sizeof kPattern == sizeof(HardwareId), "pattern length");
  for (unsigned long i = 0; i < kHardwareIdLength; ++i) {
    if (kPattern[i] == '#' ? !IsUpperHex(id[i]) : id[i] != kPattern[i]) {
      return false;
    }
  }
  return id[kHardwareIdLength] == 0;
}

constexpr bool AllWellFormed() {
  for (const HardwareId& id : kHardwareIdTexts) {
    if (!IsWellFormed(id)) return false;
  }
  return true;
}
static_assert(AllWellFormed(),
              "hardware ids must read PCI\\VEN_vvvv&DEV_dddd&SUBSYS_ssssssss");

}  // namespace

const char* const kHardwareIds[kHardwareIdCount] = {
    kHardwareIdTexts[0], kHardwareIdTexts[1], kHardwareIdTexts[2],
    kHardwareIdTexts[3], kHardwareIdTexts[4], kHardwareIdTexts[5]};

}  // namespace adapter
