// Lead-byte ranges of the ANSI code page chosen by one input byte: each bit
// adds the ranges of one kind of code page, so every mix is reachable.
#pragma once

#include <cstdint>

#include "platform/memory_testing.h"

namespace fuzz {

inline void ChooseLeadBytes(uint8_t bits) {
  if (bits & 1) {  // Japanese (932)
    memory::SetLeadByteRange(0x81, 0x9F);
    memory::SetLeadByteRange(0xE0, 0xFC);
  }
  if (bits & 2) memory::SetLeadByteRange(0x81, 0xFE);  // Chinese, Korean
  if (bits & 4) memory::SetLeadByteRange(0x80, 0xFF);  // every high byte
  // Not a real code page: lead bytes among the quote and the blanks too.
  if (bits & 8) memory::SetLeadByteRange(bits & 0xF0, 0x7F);
}

}  // namespace fuzz
