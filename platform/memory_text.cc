// How the in-memory registry keeps text: the bytes a program passes (an
// ANSI registry, as on Windows 9x), or UTF-16 converted at every call
// through the ANSI code page (as on Windows NT).
#include "platform/memory_internal.h"
#include "platform/memory_utf16.h"

namespace memory {

namespace {

}  // namespace

struct internal::TextState {
  TextStorage storage = TextStorage::kAnsi;
  const CodePage* code_page = nullptr;
};

namespace {

internal::TextState& Text() { return *internal::Current().text; }

bool Utf16() { return Text().storage == TextStorage::kUtf16; }

}  // namespace

void UseTextStorage(TextStorage storage, const CodePage* code_page) {
  internal::ResetRegistry();
  Text().storage = storage;
  Text().code_page = code_page;
}

TextStorage CurrentTextStorage() { return Text().storage; }

namespace internal {

void ResetText() { Current().text = std::make_shared<TextState>(); }

std::u16string FromProgram(const std::string& text) {
  if (Utf16() && Text().code_page != nullptr) {
    return Text().code_page->ToUtf16(text);
  }
  return memory::Widen(text);
}

std::string ToProgram(const std::u16string& units) {
  if (Utf16() && Text().code_page != nullptr) {
    return Text().code_page->ToAnsi(units);
  }
  return memory::Narrow(units);
}

std::u16string FoldName(const std::u16string& units) {
  std::u16string folded = units;
  if (Utf16()) {
    // NT compares names in upper case, and sorts subkeys that way too;
    // ASCII folds the same in every code page.
    const CodePage* code_page = Text().code_page;
    for (char16_t& u : folded) {
      if (u < 0x80 || code_page == nullptr) {
        if (u >= u'a' && u <= u'z') u = static_cast<char16_t>(u - 0x20);
      } else {
        u = code_page->Upcase(u);
      }
    }
  } else {
    for (char16_t& u : folded) {
      if (u >= u'A' && u <= u'Z') u = static_cast<char16_t>(u + 0x20);
    }
  }
  return folded;
}

bool IsStringType(unsigned long type) {
  return type == 1 || type == 2 || type == 7;  // SZ, EXPAND_SZ, MULTI_SZ
}

bool ConvertsOnRead(unsigned long type) {
  return Utf16() && IsStringType(type);
}

std::string StoredData(unsigned long type, const std::string& given) {
  if (!ConvertsOnRead(type)) return given;
  return memory::LittleEndian(FromProgram(given));
}

std::string ProgramData(unsigned long type, const std::string& stored) {
  if (!ConvertsOnRead(type)) return stored;
  return ToProgram(memory::FromLittleEndian(stored));
}

}  // namespace internal
}  // namespace memory
