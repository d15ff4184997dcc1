// What the code page tables are built from: the system's own conversion of
// single characters (iconv on the host, the Win32 functions on Windows) and
// its Unicode upper case.
#pragma once

#include <memory>
#include <string>

namespace preview {
namespace system {

class Converter {
 public:
  // nullptr, with a message, when the system does not know the code page.
  static std::unique_ptr<Converter> Open(int number, std::string* error);
  virtual ~Converter() = default;
  // The UTF-16 of one or two bytes; false for bytes the code page does not
  // define, with *incomplete for a lead byte on its own.
  virtual bool Convert(const unsigned char* bytes, size_t length,
                       std::u16string* out, bool* incomplete) = 0;
};

char16_t Upcase(char16_t unit);

}  // namespace system
}  // namespace preview
