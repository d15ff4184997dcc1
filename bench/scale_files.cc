// Large .reg files for bench/scale.sh (not a test): version-5 exports in
// UTF-16LE, as Windows 2000 and XP write them, written as they are made.
//
//   scale_files values N FILE      the settings key with N values besides
//                                  the client's own (corvane.reg)
//   scale_files deletions N FILE   N keys below the client's key, then a
//                                  [-key] line for each
//   scale_files whole MB FILE      a whole-registry export of about MB
//                                  megabytes: every root, HKEY_LOCAL_MACHINE
//                                  mostly outside the launcher's keys, and
//                                  the launcher's keys among them
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/random.h"

namespace {

class Out {
 public:
  explicit Out(const char* path) : file_(std::fopen(path, "wb")) {
    if (file_ == nullptr) {
      std::perror(path);
      std::exit(1);
    }
    buffer_ = "\xFF\xFE";
    Put("Windows Registry Editor Version 5.00\r\n");
  }
  ~Out() {
    Flush();
    std::fclose(file_);
  }
  void Put(const std::string& ascii) {
    for (char c : ascii) {
      buffer_.push_back(c);
      buffer_.push_back('\0');
    }
    column_ += ascii.size();
    if (!ascii.empty() && ascii.back() == '\n') column_ = 0;
    if (buffer_.size() > (1 << 20)) Flush();
  }
  uint64_t Written() const { return written_ + buffer_.size(); }
  // regedit's layout: break after the comma that reaches column 77.
  void PutHex(const char* prefix, const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    Put(prefix);
    for (size_t i = 0; i < bytes.size(); ++i) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      Put(std::string{kDigits[b >> 4], kDigits[b & 0xF]});
      if (i + 1 == bytes.size()) break;
      Put(",");
      if (column_ >= 77) Put("\\\r\n  ");
    }
    Put("\r\n");
  }

 private:
  void Flush() {
    written_ += std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    buffer_.clear();
  }
  std::FILE* file_;
  std::string buffer_;
  size_t column_ = 0;
  uint64_t written_ = 0;
};

const char* const kWords[] = {"Acme",    "Wireless", "Client", "Network", "Adapter",
                              "Profile", "Shared",   "Drivers", "Setup",  "Common",
                              "Tools",   "Parameters"};
constexpr uint32_t kWordCount = sizeof kWords / sizeof kWords[0];

std::string Number(const char* format, uint32_t n) {
  char text[32];
  std::snprintf(text, sizeof text, format, n);
  return text;
}

std::string Utf16Bytes(const std::string& ascii_with_nuls) {
  std::string out;
  for (char c : ascii_with_nuls) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

// The values of one filler key, of every form regedit writes.
void PutValues(Out* out, Random* r) {
  const uint32_t values = r->Below(12);
  for (uint32_t v = 0; v < values; ++v) {
    if (v == 0 && r->Below(3) == 0) {
      out->Put("@=");
    } else {
      out->Put("\"" + std::string(kWords[r->Below(kWordCount)]) + kWords[r->Below(kWordCount)] +
               Number("%u", v) + "\"=");
    }
    const uint32_t kind = r->Below(10);
    if (kind < 4) {
      out->Put(kind == 0 ? "\"\\\"C:\\\\Program Files\\\\Acme\\\\setup.exe\\\" /s\"\r\n"
                         : "\"C:\\\\WINDOWS\\\\system32\\\\drivers\\\\acme" +
                               Number("%u", r->Below(100)) + ".sys\"\r\n");
    } else if (kind < 7) {
      out->Put(Number("dword:%08x", r->Next()) + "\r\n");
    } else if (kind == 7) {
      std::string bytes(4 + r->Below(60), '\0');
      for (char& b : bytes) b = static_cast<char>(r->Next());
      out->PutHex("hex:", bytes);
    } else if (kind == 8) {
      out->PutHex("hex(2):", Utf16Bytes(std::string("%SystemRoot%\\System32\\") +
                                        kWords[r->Below(kWordCount)] + ".dll" +
                                        std::string(1, '\0')));
    } else {
      std::string multi;
      for (uint32_t s = 1 + r->Below(4); s > 0; --s) {
        multi += kWords[r->Below(kWordCount)];
        multi.push_back('\0');
      }
      out->PutHex("hex(7):", Utf16Bytes(multi + std::string(1, '\0')));
    }
  }
}

// Filler keys below top until the file has grown by bytes, parents first
// and siblings in name order, as regedit lists them.
void PutTree(Out* out, Random* r, const std::string& top, uint64_t bytes) {
  const uint64_t until = out->Written() + bytes;
  for (uint32_t vendor = 0; out->Written() < until; ++vendor) {
    const std::string v = top + "\\" + kWords[vendor % kWordCount] + Number("%05u", vendor);
    out->Put("\r\n[" + v + "]\r\n");
    PutValues(out, r);
    for (uint32_t product = 0, n = 1 + r->Below(8); product < n; ++product) {
      const std::string p = v + "\\" + kWords[r->Below(kWordCount)] + Number("%02u", product);
      out->Put("\r\n[" + p + "]\r\n");
      PutValues(out, r);
      for (uint32_t sub = 0, m = r->Below(6); sub < m; ++sub) {
        out->Put("\r\n[" + p + "\\" + Number("%04u", sub) + "]\r\n");
        PutValues(out, r);
      }
    }
  }
}

constexpr const char* kMachine = "HKEY_LOCAL_MACHINE";
constexpr const char* kClass =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}";

void PutClientKeys(Out* out) {
  out->Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane]\r\n");
  out->Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
           "\"GinaInstallOption\"=\"1\"\r\n\"SilentLeapOption\"=\"0\"\r\n"
           "\"wModeSelect\"=dword:0000000c\r\n");
  out->Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX]\r\n");
  out->Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n"
           "\"InstallDir\"=\"C:\\\\Program Files\\\\Client\"\r\n");
}

void PutAdapters(Out* out) {
  out->Put(std::string("\r\n[") + kClass + "]\r\n\"Class\"=\"Net\"\r\n");
  for (uint32_t i = 0; i < 12; ++i) {
    out->Put(std::string("\r\n[") + kClass + "\\" + Number("%04u", i) + "]\r\n\"ComponentId\"=\"" +
             (i % 3 == 0 ? "PCI\\\\VEN_FC7A&DEV_1001&SUBSYS_0001FC7A&REV_01"
                         : "PCI\\\\VEN_8086&DEV_100E&SUBSYS_001E8086") +
             "\"\r\n\"DriverDesc\"=\"Network adapter " + Number("%04u", i) + "\"\r\n");
  }
}

void Values(uint32_t n, const char* path) {
  Out out(path);
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n"
          "\"GinaInstallOption\"=\"0\"\r\n\"SilentLeapOption\"=\"1\"\r\n");
  Random r(0x2545F4914F6CDD1Dull);
  for (uint32_t i = 0; i < n; ++i) {
    const std::string name = "\"Setting" + Number("%06u", i) + "\"=";
    out.Put(name + (i % 2 == 0 ? Number("dword:%08x", r.Next()) : "\"text " + Number("%u", i) + "\"") +
            "\r\n");
  }
}

void Deletions(uint32_t n, const char* path) {
  Out out(path);
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\NLX\\Settings]\r\n"
          "\"GinaInstallOption\"=\"0\"\r\n");
  for (uint32_t i = 0; i < n; ++i) {
    out.Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Profiles\\P" + Number("%06u", i) +
            "]\r\n\"Name\"=\"profile " + Number("%u", i) + "\"\r\n");
  }
  for (uint32_t i = 0; i < n; ++i) {
    out.Put("\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Profiles\\P" + Number("%06u", i) + "]\r\n");
  }
}

// The roots in the order regedit exports them, each with its share of the
// file; the launcher's keys lie inside HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER.
void Whole(double megabytes, const char* path) {
  const auto share = [&](double part) { return static_cast<uint64_t>(megabytes * 1e6 * part); };
  Out out(path);
  Random r(0x2545F4914F6CDD1Dull);
  out.Put(std::string("\r\n[") + kMachine + "]\r\n");
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\HARDWARE]\r\n");
  PutTree(&out, &r, "HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION", share(0.03));
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n");
  PutTree(&out, &r, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes", share(0.15));
  PutClientKeys(&out);
  PutTree(&out, &r, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", share(0.17));
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VERDO Installer]\r\n");
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VERDO Installer\\Setting]\r\n"
          "\"InstallOption\"=\"Install Driver Only\"\r\n");
  PutTree(&out, &r, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Windows Components", share(0.05));
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\SYSTEM]\r\n");
  PutTree(&out, &r, "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001", share(0.08));
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet]\r\n");
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control]\r\n");
  out.Put("\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class]\r\n");
  PutAdapters(&out);
  PutTree(&out, &r, "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services", share(0.10));
  PutTree(&out, &r, "HKEY_CLASSES_ROOT", share(0.18));
  out.Put("\r\n[HKEY_CURRENT_USER]\r\n");
  PutTree(&out, &r, "HKEY_CURRENT_USER\\Control Panel", share(0.04));
  out.Put("\r\n[HKEY_CURRENT_USER\\Software]\r\n");
  PutTree(&out, &r, "HKEY_CURRENT_USER\\Software\\Microsoft", share(0.06));
  out.Put("\r\n[HKEY_CURRENT_USER\\Software\\VERDO Installer]\r\n");
  PutTree(&out, &r, "HKEY_USERS\\S-1-5-21-1004", share(0.12));
  PutTree(&out, &r, "HKEY_CURRENT_CONFIG\\System", share(0.02));
  out.Put("\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: scale_files values|deletions|whole N FILE\n");
    return 2;
  }
  const std::string what = argv[1];
  if (what == "values") {
    Values(static_cast<uint32_t>(std::atol(argv[2])), argv[3]);
  } else if (what == "deletions") {
    Deletions(static_cast<uint32_t>(std::atol(argv[2])), argv[3]);
  } else if (what == "whole") {
    Whole(std::atof(argv[2]), argv[3]);
  } else {
    std::fprintf(stderr, "scale_files: unknown kind %s\n", argv[1]);
    return 2;
  }
  return 0;
}
