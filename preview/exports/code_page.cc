#include "preview/exports/code_page.h"

#include "preview/exports/ascii.h"

#include "preview/exports/code_page_system.h"

namespace preview {

namespace {

constexpr char16_t kQuestion = u'?';

}  // namespace

std::unique_ptr<CodePage> CodePage::Open(int number, std::string* error) {
  std::unique_ptr<system::Converter> converter = system::Converter::Open(number, error);
  if (!converter) return nullptr;
  std::unique_ptr<CodePage> page(new CodePage());
  page->reverse_.assign(0x10000, 0);
  std::u16string units;
  bool incomplete = false;
  for (int b = 1; b < 256; ++b) {
    const unsigned char byte = static_cast<unsigned char>(b);
    if (converter->Convert(&byte, 1, &units, &incomplete) && units.size() == 1) {
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
        if (converter->Convert(pair, 2, &units, &incomplete) && units.size() == 1) {
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
    return AsciiUpper(unit);
  }
  if (unit >= 0xD800 && unit < 0xE000) return unit;
  return system::Upcase(unit);
}

}  // namespace preview
