#include "bench/fleet_machines.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace fleet_machines {

namespace {

namespace fs = std::filesystem;

// regedit's version-5 form: UTF-16LE with its byte-order mark. The texts
// here are UTF-8 of the Basic Multilingual Plane.
std::string Utf16(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    unsigned code = c;
    size_t length = 1;
    if (c >= 0xE0) {
      code = (c & 0x0Fu) << 12 | (text[i + 1] & 0x3Fu) << 6 | (text[i + 2] & 0x3Fu);
      length = 3;
    } else if (c >= 0xC0) {
      code = (c & 0x1Fu) << 6 | (text[i + 1] & 0x3Fu);
      length = 2;
    }
    bytes += static_cast<char>(code & 0xFF);
    bytes += static_cast<char>(code >> 8);
    i += length;
  }
  return bytes;
}

size_t Put(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
  return content.size();
}

const char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";
const char kCorvane[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane";
const char kClass[] =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
    "{4D36E972-E325-11CE-BFC1-08002BE10318}";

// What "ver" prints, by family; the last of each is rarer.
const char* const kVer9x[] = {"\r\nWindows 98 [Version 4.10.1998]\r\n",
                              "\r\nWindows 98 [Version 4.10.2222]\r\n",
                              "\r\nWindows Millennium [Version 4.90.3000]\r\n"};
const char* const kVer2000[] = {"\r\nMicrosoft Windows 2000 [Version 5.00.2195]\r\n"};
const char* const kVerXp[] = {"\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n",
                              "Microsoft Windows 5.1.2600\r\n"};  // Wine's cmd
const char* const kVerOther[] = {"\r\nWindows NT Version 4.0  \r\n",
                                 "\r\nMicrosoft Windows [Version 5.2.3790]\r\n"};

// The client's adapters and others.
const char* const kComponentIds[] = {
    "PCI\\\\VEN_FC7A&DEV_1001&SUBSYS_0002FC7A", "PCI\\\\VEN_FC7A&DEV_1002&SUBSYS_0011FC7A",
    "PCI\\\\VEN_FC7A&DEV_1003&SUBSYS_0021FC7A", "PCI\\\\VEN_8086&DEV_100E",
    "PCI\\\\VEN_10EC&DEV_8139", "PCI\\\\VEN_FC7A&DEV_1009&SUBSYS_0001FC7A"};

std::string Dword(unsigned long n) {
  char text[32];
  std::snprintf(text, sizeof text, "dword:%08lx", n);
  return text;
}

// One machine folder; the bytes written.
size_t MakeMachine(const fs::path& dir, int n, unsigned seed) {
  std::seed_seq seeds{seed, static_cast<unsigned>(n)};
  std::mt19937 random(seeds);
  const auto percent = [&]() { return random() % 100; };
  const auto chance = [&](unsigned p) { return percent() < p; };
  const auto pick = [&](const auto& list) {
    return list[random() % (sizeof list / sizeof list[0])];
  };
  fs::create_directories(dir);
  size_t bytes = 0;

  // The family: 98 and Me a third, 2000 a quarter, XP a third, the rest
  // NT 4 and 2003.
  const unsigned family = percent();
  const bool nine_x = family < 33;
  const bool nt = !nine_x && family < 93;
  const char* ver = nine_x          ? pick(kVer9x)
                    : family < 58   ? pick(kVer2000)
                    : family < 93   ? pick(kVerXp)
                                    : pick(kVerOther);
  // A few broken machines, at fixed places so that small fleets have them.
  if (n % 101 == 5) {
    ver = "The system cannot find the path specified.\r\n";
  }
  if (n % 151 != 11) bytes += Put(dir / "ver.txt", ver);

  std::string corvane;
  const unsigned client = percent();
  if (client >= 30) {  // a client is there: current settings, older ones or both
    corvane = std::string(kHeader) + "[" + kCorvane + "]\r\n\r\n";
    if (client < 85) {
      corvane += std::string("[") + kCorvane + "\\NLX]\r\n\r\n[" + kCorvane + "\\NLX\\Settings]\r\n";
      if (chance(70)) corvane += "\"GinaInstallOption\"=\"" + std::to_string(random() % 2) + "\"\r\n";
      if (chance(50)) corvane += "\"SilentLeapOption\"=\"" + std::to_string(random() % 2) + "\"\r\n";
      if (chance(60)) corvane += "\"XRStatus\"=\"" + std::to_string(random() % 2) + "\"\r\n";
      if (chance(60)) corvane += "\"wModeSelect\"=" + Dword(random() % 2 ? 12 : 4) + "\r\n";
      corvane += "\"Profile\"=\"Büro \\\"Nord\\\"\"\r\n\r\n";
    }
    if (client >= 65) {
      corvane += std::string("[") + kCorvane + "\\Corvane Client Installation Program]\r\n";
      corvane += "\"GinaInstallOption\"=\"" + std::to_string(random() % 2) + "\"\r\n";
      if (chance(60)) corvane += "\"SilentLeapOption\"=\"1\"\r\n";
      if (chance(70)) corvane += "\"wModeSelect\"=" + Dword(random() % 2 ? 13 : 12) + "\r\n";
      corvane += "\"InstallDir\"=\"C:\\\\Program Files\\\\Corvane Client\"\r\n\r\n";
    }
    // Keys that are not the client's, as a careless export holds them.
    if (chance(3)) {
      corvane += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
                 "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\r\n\r\n";
    }
    if (chance(2)) corvane += "[HKEY_CLASSES_ROOT\\.cvp]\r\n@=\"CorvaneProfile\"\r\n\r\n";
  }
  if (n % 131 == 7) {
    corvane = std::string(kHeader) + "[" + kCorvane + "\\NLX\\Settings]\r\n\"XRStatus\"=\"1\r\n";
  }
  if (!corvane.empty()) {
    bytes += Put(dir / "corvane.reg", Utf16(corvane));
    if (chance(2)) bytes += Put(dir / "corvane (2).reg", Utf16(corvane));
  }

  // The install type the update and uninstall ask for.
  const unsigned type = percent();
  const std::string installer = "Software\\VERDO Installer\\Setting]\r\n\"InstallOption\"=\"";
  if (type < 15) {
    bytes += Put(dir / "instmach.reg",
                 Utf16(kHeader + ("[HKEY_LOCAL_MACHINE\\" + installer) +
                       (type < 10 ? "Install Driver Only" : "Full Install") + "\"\r\n\r\n"));
  } else if (type < 25) {
    bytes += Put(dir / "instuser.reg", Utf16(kHeader + ("[HKEY_CURRENT_USER\\" + installer) +
                                             "Install Driver Only\"\r\n\r\n"));
  }

  // 2000 and XP export the adapters' class key; some machines were
  // collected without it.
  if (nt && chance(90)) {
    std::string adapters = kHeader + ("[" + std::string(kClass) + "]\r\n\"Class\"=\"Net\"\r\n\r\n");
    const unsigned count = 1 + random() % 4;
    for (unsigned i = 0; i < count; ++i) {
      char key[16];
      std::snprintf(key, sizeof key, "%04u", i);
      adapters += "[" + std::string(kClass) + "\\" + key + "]\r\n\"ComponentId\"=\"" +
                  pick(kComponentIds) + "\"\r\n\"DriverDesc\"=\"Network adapter\"\r\n\r\n";
    }
    bytes += Put(dir / "adapters.reg", Utf16(adapters));
  }

  // The marker key of a run that did not end.
  if (chance(4)) {
    bytes += Put(dir / "marker.reg",
                 Utf16(kHeader + std::string("[HKEY_LOCAL_MACHINE\\Software\\setup install]\r\n\r\n")));
  }
  // Every machine folder holds at least one .reg file.
  if (corvane.empty() && !fs::exists(dir / "instmach.reg") && !fs::exists(dir / "instuser.reg") &&
      !fs::exists(dir / "adapters.reg") && !fs::exists(dir / "marker.reg") && n % 151 == 11) {
    bytes += Put(dir / "instuser.reg", Utf16(kHeader + ("[HKEY_CURRENT_USER\\" + installer) +
                                             "Install Driver Only\"\r\n\r\n"));
  }
  return bytes;
}

}  // namespace

Fleet WriteFleet(const std::string& parent, int count, unsigned seed) {
  Fleet fleet;
  for (int n = 0; n < count; ++n) {
    // Some names that need escaping or are not ASCII, as admins name PCs.
    char name[64];
    std::snprintf(name, sizeof name, "pc%05d%s", n,
                  n % 97 == 13   ? " B\xC3\xBCro"
                  : n % 89 == 17 ? " R&D's <lab>"
                                 : "");
    const fs::path dir = fs::path(parent) / name;
    fleet.bytes += MakeMachine(dir, n, seed);
    fleet.folders.push_back(dir.string());
  }
  return fleet;
}

}  // namespace fleet_machines
