// The Windows build's conversions: the system's own code page tables and
// its Unicode upper case, as the registry uses them.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "preview/exports/code_page_system.h"

namespace preview {
namespace system {

namespace {

class Win32Converter : public Converter {
 public:
  explicit Win32Converter(UINT code_page) : code_page_(code_page) {}

  bool Convert(const unsigned char* bytes, size_t length, std::u16string* out,
               bool* incomplete) override {
    *incomplete = length == 1 && IsDBCSLeadByteEx(code_page_, bytes[0]) != FALSE;
    if (*incomplete) return false;
    wchar_t units[4];
    const int n = MultiByteToWideChar(code_page_, MB_ERR_INVALID_CHARS,
                                      reinterpret_cast<const char*>(bytes),
                                      static_cast<int>(length), units, 4);
    if (n <= 0) return false;
    out->assign(units, units + n);
    return true;
  }

 private:
  UINT code_page_;
};

}  // namespace

std::unique_ptr<Converter> Converter::Open(int number, std::string* error) {
  CPINFO info;
  if (number <= 0 || GetCPInfo(static_cast<UINT>(number), &info) == FALSE) {
    *error = "code page " + std::to_string(number) + " is not available";
    return nullptr;
  }
  return std::make_unique<Win32Converter>(static_cast<UINT>(number));
}

char16_t Upcase(char16_t unit) {
  wchar_t text[1] = {static_cast<wchar_t>(unit)};
  CharUpperBuffW(text, 1);
  return static_cast<char16_t>(text[0]);
}

}  // namespace system
}  // namespace preview
