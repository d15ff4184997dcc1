#include "preview/machine/registry_text.h"

#include <cstdio>

#include "preview/exports/unicode.h"
#include "preview/machine/registry_image.h"

namespace preview {

std::string KeyText(platform::Root root, const std::string& path) {
  return std::string(regfile::RootName(root)) + (path.empty() ? "" : "\\" + path);
}

std::string StoredUtf8(const std::u16string& stored, const CodePage& code_page) {
  if (memory::CurrentTextStorage() == memory::TextStorage::kUtf16) {
    return Utf8(stored);
  }
  return Utf8FromAnsi(memory::ProgramName(stored), code_page);
}

std::string TypeName(unsigned long type) {
  static const char* const kNames[] = {
      "REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
      "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ", "REG_RESOURCE_LIST",
      "REG_FULL_RESOURCE_DESCRIPTOR", "REG_RESOURCE_REQUIREMENTS_LIST",
      "REG_QWORD"};
  if (type < sizeof kNames / sizeof kNames[0]) return kNames[type];
  char text[24];
  std::snprintf(text, sizeof text, "hex(%lx)", type);
  return text;
}

std::string HexBytes(const std::string& bytes) {
  std::string text;
  char byte[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(bytes[i]));
    if (i > 0) text += ',';
    text += byte;
  }
  return text;
}

std::string Notation(const memory::StoredValue& value, const CodePage& code_page,
                     size_t max_bytes) {
  const regfile::Data data = Regedit4Data(value);
  switch (data.form) {
    case regfile::Data::Form::kString: {
      std::string ansi;
      for (char16_t u : data.text) ansi += static_cast<char>(u);
      std::string text = "\"";
      for (char c : Utf8FromAnsi(ansi, code_page)) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
      }
      return text + "\"";
    }
    case regfile::Data::Form::kDword: {
      const auto b = [&](int i) {
        return static_cast<unsigned long>(static_cast<unsigned char>(data.bytes[i]));
      };
      char text[32];
      std::snprintf(text, sizeof text, "dword:%08lx",
                    b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24);
      return text;
    }
    case regfile::Data::Form::kHex:
      break;
  }
  char prefix[24];
  if (data.type == 3) {
    std::snprintf(prefix, sizeof prefix, "hex:");
  } else {
    std::snprintf(prefix, sizeof prefix, "hex(%lx):", static_cast<unsigned long>(data.type));
  }
  if (max_bytes > 0 && data.bytes.size() > max_bytes) {
    return prefix + HexBytes(data.bytes.substr(0, max_bytes)) + ",... (" +
           std::to_string(data.bytes.size()) + " bytes)";
  }
  return prefix + HexBytes(data.bytes);
}

}  // namespace preview
