// The host's conversions: iconv's tables of the Windows code pages, and the
// C library's Unicode upper case.
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>

#include "preview/exports/code_page_system.h"

namespace preview {
namespace system {

namespace {

class IconvConverter : public Converter {
 public:
  explicit IconvConverter(iconv_t cd) : cd_(cd) {}
  ~IconvConverter() override { iconv_close(cd_); }

  bool Convert(const unsigned char* bytes, size_t length, std::u16string* out,
               bool* incomplete) override {
    *incomplete = false;
    char in[4];
    for (size_t i = 0; i < length && i < sizeof in; ++i) in[i] = static_cast<char>(bytes[i]);
    char result[16];
    char* in_ptr = in;
    size_t in_left = length;
    char* out_ptr = result;
    size_t out_left = sizeof result;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
      *incomplete = errno == EINVAL;
      return false;
    }
    out->clear();
    for (char* p = result; p + 1 < out_ptr; p += 2) {
      out->push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                           static_cast<unsigned char>(p[1]) << 8));
    }
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::unique_ptr<Converter> Converter::Open(int number, std::string* error) {
  const std::string name = "CP" + std::to_string(number);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    *error = "code page " + std::to_string(number) + " is not available";
    return nullptr;
  }
  return std::make_unique<IconvConverter>(cd);
}

char16_t Upcase(char16_t unit) {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (locale == static_cast<locale_t>(0)) return unit;
  const wint_t upper = towupper_l(static_cast<wint_t>(unit), locale);
  return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}

}  // namespace system
}  // namespace preview
