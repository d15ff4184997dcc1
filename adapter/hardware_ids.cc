// The supported adapters. One vendor, one subsystem vendor; three device ids
// with three, two and one subsystem variants, in that order.
#include "adapter/write_block_size.h"

namespace adapter {

namespace {

typedef char HardwareId[kHardwareIdLength + 1];

constexpr HardwareId kId1 = "PCI\\VEN_FC7A&DEV_1001&SUBSYS_0001FC7A";
constexpr HardwareId kId2 = "PCI\\VEN_FC7A&DEV_1001&SUBSYS_0002FC7A";
constexpr HardwareId kId3 = "PCI\\VEN_FC7A&DEV_1001&SUBSYS_0003FC7A";
constexpr HardwareId kId4 = "PCI\\VEN_FC7A&DEV_1002&SUBSYS_0011FC7A";
constexpr HardwareId kId5 = "PCI\\VEN_FC7A&DEV_1002&SUBSYS_0012FC7A";
constexpr HardwareId kId6 = "PCI\\VEN_FC7A&DEV_1003&SUBSYS_0021FC7A";

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

static_assert(IsWellFormed(kId1) && IsWellFormed(kId2) && IsWellFormed(kId3) &&
                  IsWellFormed(kId4) && IsWellFormed(kId5) &&
                  IsWellFormed(kId6),
              "hardware ids must read PCI\\VEN_vvvv&DEV_dddd&SUBSYS_ssssssss");

}  // namespace

const char* const kHardwareIds[kHardwareIdCount] = {kId1, kId2, kId3,
                                                    kId4, kId5, kId6};

}  // namespace adapter
