// Fleet speed (not a test): generates machine folders of a few KB each
// (ver.txt and version-5 exports in UTF-16, varied across the families,
// older settings, install types and adapters) and plans them all as
// "launcher-preview fleet" does, on every core.
//
//   fleet_bench [machines (10000)] [folder (a temporary one)]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "preview/fleet.h"
#include "preview/parallel.h"

namespace {

namespace fs = std::filesystem;

std::string Utf16(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

size_t Put(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
  return content.size();
}

size_t MakeMachine(const fs::path& dir, int n) {
  fs::create_directories(dir);
  static const char* const kVer[] = {
      "\r\nWindows 98 [Version 4.10.1998]\r\n", "\r\nMicrosoft Windows 2000 [Version 5.00.2195]\r\n",
      "\r\nMicrosoft Windows XP [Version 5.1.2600]\r\n", "\r\nWindows Millennium [Version 4.90.3000]\r\n"};
  size_t bytes = Put(dir / "ver.txt", kVer[n % 4]);
  const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
  if (n % 3 != 0) {
    bytes += Put(dir / "corvane.reg",
                 Utf16(header + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane]\r\n\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client "
                                "Installation Program]\r\n\"GinaInstallOption\"=\"" +
                       std::to_string(n % 2) + "\"\r\n\"wModeSelect\"=dword:0000000c\r\n"
                       "\"InstallDir\"=\"C:\\\\Program Files\\\\Client\"\r\n\r\n"));
  }
  if (n % 5 == 0) {
    bytes += Put(dir / "instuser.reg",
                 Utf16(header + "[HKEY_CURRENT_USER\\Software\\VERDO Installer\\Setting]\r\n"
                                "\"InstallOption\"=\"Install Driver Only\"\r\n\r\n"));
  }
  std::string adapters = header +
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
      "{4D36E972-E325-11CE-BFC1-08002BE10318}]\r\n\"Class\"=\"Net\"\r\n\r\n";
  for (int i = 0; i < 4; ++i) {
    adapters += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
                "{4D36E972-E325-11CE-BFC1-08002BE10318}\\000" + std::to_string(i) +
                "]\r\n\"ComponentId\"=\"" +
                (i == n % 4 ? "PCI\\\\VEN_FC7A&DEV_1002&SUBSYS_0011FC7A"
                            : "PCI\\\\VEN_8086&DEV_100E") +
                "\"\r\n\"DriverDesc\"=\"Network adapter\"\r\n\r\n";
  }
  bytes += Put(dir / "adapters.reg", Utf16(adapters));
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const int machines = argc > 1 ? std::atoi(argv[1]) : 10000;
  const fs::path root = argc > 2 ? fs::path(argv[2])
                                 : fs::temp_directory_path() / "launcher-preview-fleet-bench";
  fs::remove_all(root);
  size_t bytes = 0;
  std::vector<std::string> folders;
  for (int n = 0; n < machines; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "pc%05d", n);
    bytes += MakeMachine(root / name, n);
    folders.push_back((root / name).string());
  }
  std::string error;
  const std::unique_ptr<preview::CodePage> code_page = preview::CodePage::Open(1252, &error);
  preview::Machine base;
  base.command_line = "C:\\Pkg\\launcher.exe /S /UPDATE /wbs";
  const char* const kTails[] = {"", "/S /UPDATE /wbs", "-gina /S /I1"};
  for (int run = 0; run < 3; ++run) {
    base.command_line = std::string("C:\\Pkg\\launcher.exe ") + kTails[run];
    std::vector<preview::FleetRow> rows(folders.size());
    const auto start = std::chrono::steady_clock::now();
    preview::RunInParallel(
        folders.size(), preview::Cores(),
        [&](size_t i) {
          rows[i] = preview::PlanFleetMachine(folders[i], base, std::nullopt, *code_page);
        },
        [](size_t) {});
    size_t output = preview::FleetHeader().size();
    int failed = 0;
    for (const preview::FleetRow& row : rows) {
      output += preview::FleetLine(row).size() + 1;
      failed += row.failed ? 1 : 0;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("tail \"%s\": %d machines (%.1f MB, %.1f KB each) in %.2f s on %u cores: "
                "%.0f machines/s, %.1f MB/s; %zu bytes of CSV, %d failed\n",
                kTails[run], machines, bytes / 1e6, bytes / 1e3 / machines, seconds,
                preview::Cores(), machines / seconds, bytes / 1e6 / seconds, output, failed);
  }
  fs::remove_all(root);
  return 0;
}
