#include "preview/code_page.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>

namespace preview {

namespace {

constexpr char16_t kQuestion = u'?';

// One conversion of a short byte sequence into UTF-16LE; false for bytes the
// code page does not define, *incomplete for the start of a longer one.
bool Convert(iconv_t cd, const unsigned char* bytes, size_t length,
             std::u16string* out, bool* incomplete) {
  *incomplete = false;
  char in[4];
  for (size_t i = 0; i < length; ++i) in[i] = static_cast<char>(bytes[i]);
  char result[16];
  char* in_ptr = in;
  size_t in_left = length;
  char* out_ptr = result;
  size_t out_left = sizeof result;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<size_t>(-1)) {
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

locale_t UnicodeLocale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return locale;
}

}  // namespace

std::unique_ptr<CodePage> CodePage::Open(int number, std::string* error) {
  const std::string name = "CP" + std::to_string(number);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    *error = "code page " + std::to_string(number) + " is not available";
    return nullptr;
  }
  std::unique_ptr<CodePage> page(new CodePage());
  page->number_ = number;
  page->reverse_.assign(0x10000, 0);
  std::u16string units;
  bool incomplete = false;
  for (int b = 1; b < 256; ++b) {
    const unsigned char byte = static_cast<unsigned char>(b);
    if (Convert(cd, &byte, 1, &units, &incomplete) && units.size() == 1) {
      page->single_[b] = units[0];
      if (page->reverse_[units[0]] == 0) page->reverse_[units[0]] = byte;
    } else if (incomplete) {
      page->lead_[b] = true;
    } else if (b >= 0x80 && b < 0xA0) {
      // Windows gives the C1 control of the same number for the few bytes
      // its single-byte code pages leave undefined.
      page->single_[b] = static_cast<char16_t>(b);
      if (page->reverse_[b] == 0) page->reverse_[b] = byte;
    }
  }
  bool any_lead = false;
  for (int b = 0; b < 256; ++b) any_lead = any_lead || page->lead_[b];
  if (any_lead) {
    page->double_.assign(0x10000, 0);
    for (int lead = 0; lead < 256; ++lead) {
      if (!page->lead_[lead]) continue;
      for (int trail = 1; trail < 256; ++trail) {
        const unsigned char pair[2] = {static_cast<unsigned char>(lead),
                                       static_cast<unsigned char>(trail)};
        if (Convert(cd, pair, 2, &units, &incomplete) && units.size() == 1) {
          const unsigned short code = static_cast<unsigned short>(lead << 8 | trail);
          page->double_[code] = units[0];
          if (page->reverse_[units[0]] == 0) page->reverse_[units[0]] = code;
        }
      }
    }
    for (int b = 0; b < 256;) {
      if (!page->lead_[b]) {
        ++b;
        continue;
      }
      int last = b;
      while (last + 1 < 256 && page->lead_[last + 1]) ++last;
      page->lead_ranges_.emplace_back(static_cast<unsigned char>(b),
                                      static_cast<unsigned char>(last));
      b = last + 1;
    }
  }
  iconv_close(cd);
  return page;
}

std::u16string CodePage::ToUtf16(const std::string& ansi) const {
  std::u16string text;
  text.reserve(ansi.size());
  for (size_t i = 0; i < ansi.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(ansi[i]);
    if (byte == 0) {
      text += u'\0';
    } else if (lead_[byte]) {
      if (i + 1 < ansi.size()) {
        const unsigned char trail = static_cast<unsigned char>(ansi[i + 1]);
        const char16_t unit = double_[byte << 8 | trail];
        text += unit != 0 ? unit : kQuestion;
        ++i;
      } else {
        text += kQuestion;
      }
    } else {
      text += single_[byte] != 0 ? single_[byte] : kQuestion;
    }
  }
  return text;
}

std::string CodePage::ToAnsi(const std::u16string& text) const {
  std::string ansi;
  ansi.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit == 0) {
      ansi += '\0';
      continue;
    }
    // A surrogate pair is one character the code page cannot hold.
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      ++i;
      ansi += '?';
      continue;
    }
    const unsigned short code = reverse_[unit];
    if (code == 0) {
      ansi += '?';
    } else if (code > 0xFF) {
      ansi += static_cast<char>(code >> 8);
      ansi += static_cast<char>(code & 0xFF);
    } else {
      ansi += static_cast<char>(code);
    }
  }
  return ansi;
}

char16_t CodePage::Upcase(char16_t unit) const {
  if (unit < 0x80) {
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20)
                                        : unit;
  }
  if (unit >= 0xD800 && unit < 0xE000) return unit;
  locale_t locale = UnicodeLocale();
  if (locale == static_cast<locale_t>(0)) return unit;
  const wint_t upper = towupper_l(static_cast<wint_t>(unit), locale);
  return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}

}  // namespace preview
