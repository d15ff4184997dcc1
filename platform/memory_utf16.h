// Byte forms of text in the in-memory registry: UTF-16 stored as
// little-endian bytes, and single bytes taken one to one as code units.
#pragma once

#include <string>

namespace memory {

inline std::u16string Widen(const std::string& bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  for (unsigned char c : bytes) units += static_cast<char16_t>(c);
  return units;
}

// Units above 0xFF have no single byte: "?".
inline std::string Narrow(const std::u16string& units) {
  std::string bytes;
  bytes.reserve(units.size());
  for (char16_t u : units) bytes += u < 0x100 ? static_cast<char>(u) : '?';
  return bytes;
}

inline std::string LittleEndian(const std::u16string& units) {
  std::string bytes;
  bytes.reserve(2 * units.size());
  for (char16_t u : units) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

// An odd last byte is no character, as RtlUnicodeToMultiByteN sees it.
inline std::u16string FromLittleEndian(const std::string& bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return units;
}

}  // namespace memory
