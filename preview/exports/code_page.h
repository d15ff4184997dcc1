// The ANSI code page of the machine a plan stands for: how Windows turns
// the UTF-16 text of its registry into the single-byte text the launcher
// reads, and back. Its tables come from the system's own conversion of each
// character (code_page_system.h).
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory_platform.h"

namespace preview {

class CodePage : public memory::CodePage {
 public:
  // The Windows code page number (1252, 932, ...). nullptr, with a message,
  // when iconv does not know it.
  static std::unique_ptr<CodePage> Open(int number, std::string* error);

  // As MultiByteToWideChar(CP_ACP, 0): a byte or double-byte character the
  // code page does not define becomes U+003F.
  std::u16string ToUtf16(const std::string& ansi) const override;
  // As WideCharToMultiByte(CP_ACP, 0): a character the code page lacks
  // becomes "?".
  std::string ToAnsi(const std::u16string& text) const override;
  char16_t Upcase(char16_t unit) const override;
  // The lead-byte ranges of a double-byte code page; none for the others.
  const std::vector<std::pair<unsigned char, unsigned char>>& LeadByteRanges()
      const {
    return lead_ranges_;
  }

 private:
  CodePage() = default;
  bool lead_[256] = {};
  char16_t single_[256] = {};            // byte -> unit; 0 when undefined
  std::vector<char16_t> double_;         // (lead << 8 | trail) -> unit
  std::vector<unsigned short> reverse_;  // unit -> byte or lead<<8|trail; 0: none
  std::vector<std::pair<unsigned char, unsigned char>> lead_ranges_;
};

}  // namespace preview
