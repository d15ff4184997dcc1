// Reading speed of the .reg reader: builds a large version-5 export in
// memory (UTF-16LE with its mark, the mix a software hive gives: many keys,
// paths with escapes, dwords, binary and wrapped hex(2)/hex(7) values), then
// times regfile::Parse over it on one core. Prints figures only.
//
//   reg_read_bench [size in MB, default 100] [runs, default 7]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/random.h"
#include "preview/exports/reg_file.h"

namespace {

void Put(std::u16string* out, const char* s) {
  while (*s) out->push_back(static_cast<unsigned char>(*s++));
}

void PutNumber(std::u16string* out, uint32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%u", n);
  Put(out, buf);
}

// regedit's layout: break after the comma that reaches column 77.
void PutHex(std::u16string* out, size_t line_start, const char* prefix,
            const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  Put(out, prefix);
  size_t column = out->size() - line_start;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out->push_back(static_cast<char16_t>(kDigits[b >> 4]));
    out->push_back(static_cast<char16_t>(kDigits[b & 0xF]));
    if (i + 1 == bytes.size()) break;
    out->push_back(u',');
    column += 3;
    if (column >= 77) {
      Put(out, "\\\r\n  ");
      column = 2;
    }
  }
}

std::string Utf16Bytes(const std::string& ascii_with_nuls) {
  std::string out;
  for (char c : ascii_with_nuls) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

const char* const kWords[] = {"Acme",    "Wireless", "Client", "Network",
                              "Adapter", "Profile",  "Shared", "Drivers",
                              "Setup",   "Common",   "Tools",  "Parameters"};
constexpr uint32_t kWordCount = sizeof kWords / sizeof kWords[0];

// Appends one key with its values; returns the number of items it holds.
size_t PutKey(std::u16string* out, Random* r, uint32_t serial) {
  Put(out, r->Below(8) == 0 ? "\r\n[HKEY_CURRENT_USER\\Software\\"
                            : "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\");
  const uint32_t depth = 2 + r->Below(4);
  for (uint32_t d = 0; d < depth; ++d) {
    Put(out, kWords[r->Below(kWordCount)]);
    if (d + 1 < depth) out->push_back(u'\\');
  }
  PutNumber(out, serial);
  Put(out, "]\r\n");
  size_t items = 1;
  const uint32_t values = r->Below(12);
  for (uint32_t v = 0; v < values; ++v, ++items) {
    const size_t line_start = out->size();
    if (v == 0 && r->Below(3) == 0) {
      Put(out, "@=");
    } else {
      out->push_back(u'"');
      Put(out, kWords[r->Below(kWordCount)]);
      Put(out, kWords[r->Below(kWordCount)]);
      PutNumber(out, v);
      Put(out, "\"=");
    }
    const uint32_t kind = r->Below(10);
    if (kind < 4) {  // REG_SZ: paths and quoted command lines
      Put(out, "\"");
      if (kind == 0) {
        Put(out, "\\\"C:\\\\Program Files\\\\Acme\\\\");
        Put(out, kWords[r->Below(kWordCount)]);
        Put(out, ".exe\\\" /s /f1\\\"setup.iss\\\"");
      } else if (kind == 1) {
        Put(out, "C:\\\\WINDOWS\\\\system32\\\\drivers\\\\acme");
        PutNumber(out, r->Below(100));
        Put(out, ".sys");
      } else {
        const uint32_t words = 1 + r->Below(6);
        for (uint32_t w = 0; w < words; ++w) {
          if (w) out->push_back(u' ');
          Put(out, kWords[r->Below(kWordCount)]);
        }
      }
      Put(out, "\"");
    } else if (kind < 7) {
      char buf[24];
      std::snprintf(buf, sizeof buf, "dword:%08x", r->Next());
      Put(out, buf);
    } else if (kind == 7) {
      std::string bytes(4 + r->Below(60), '\0');
      for (char& b : bytes) b = static_cast<char>(r->Next());
      PutHex(out, line_start, "hex:", bytes);
    } else if (kind == 8) {
      PutHex(out, line_start, "hex(2):",
             Utf16Bytes(std::string("%SystemRoot%\\System32\\") +
                        kWords[r->Below(kWordCount)] + ".dll" +
                        std::string(1, '\0')));
    } else {
      std::string multi;
      const uint32_t strings = 1 + r->Below(4);
      for (uint32_t s = 0; s < strings; ++s) {
        multi += kWords[r->Below(kWordCount)];
        multi.push_back('\0');
      }
      multi.push_back('\0');
      PutHex(out, line_start, "hex(7):", Utf16Bytes(multi));
    }
    Put(out, "\r\n");
  }
  return items;
}

}  // namespace

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 100.0;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  const size_t target_units = static_cast<size_t>(megabytes * 1e6 / 2);

  std::u16string text;
  text.reserve(target_units + 4096);
  Put(&text, "Windows Registry Editor Version 5.00\r\n");
  Random random(0x9E3779B97F4A7C15ull);
  size_t items = 0;
  for (uint32_t serial = 0; text.size() < target_units; ++serial)
    items += PutKey(&text, &random, serial);
  Put(&text, "\r\n");

  std::string content = "\xFF\xFE";
  content.reserve(2 + 2 * text.size());
  for (char16_t c : text) {
    content.push_back(static_cast<char>(c & 0xFF));
    content.push_back(static_cast<char>(c >> 8));
  }
  text = std::u16string();
  const double mb = static_cast<double>(content.size()) / 1e6;
  std::printf("file: %.1f MB (%zu bytes), UTF-16LE, %zu keys and values\n",
              mb, content.size(), items);

  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    regfile::File file;
    regfile::Error error;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = regfile::Parse(content, &file, &error);
    const auto stop = std::chrono::steady_clock::now();
    if (!ok) {
      std::printf("parse failed at line %d: %s\n", error.line,
                  error.message.c_str());
      return 1;
    }
    if (file.items.size() != items) {
      std::printf("parse gave %zu items, expected %zu\n", file.items.size(),
                  items);
      return 1;
    }
    seconds.push_back(std::chrono::duration<double>(stop - start).count());
    std::printf("run %d: %.3f s, %.1f MB/s\n", run + 1, seconds.back(),
                mb / seconds.back());
  }
  std::sort(seconds.begin(), seconds.end());
  const double median = runs % 2 ? seconds[runs / 2]
                                 : (seconds[runs / 2 - 1] + seconds[runs / 2]) / 2;
  std::printf("best of %d: %.1f MB/s (%.3f s); median: %.1f MB/s (%.3f s)\n",
              runs, mb / seconds.front(), seconds.front(), mb / median, median);
  return 0;
}
