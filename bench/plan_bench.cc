// Time of one plan for a typical machine (not a test): XP, the five exports
// of a machine with older settings, an installer key and twelve adapters,
// version-5 files in UTF-16 as XP writes them; reading them, the run, the
// text and JSON plans and the --after and --changes files, all in memory.
//
//   plan_bench [runs]      (default 2000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "preview/exports/windows_version.h"
#include "preview/machine/changes.h"
#include "preview/machine/plan.h"
#include "preview/output/plan_output.h"

namespace {

std::string Utf16File(const std::string& body) {
  const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n" + body;
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

std::vector<std::string> TypicalExports() {
  const std::string cls =
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\"
      "{4D36E972-E325-11CE-BFC1-08002BE10318}";
  std::string adapters = "[" + cls + "]\r\n\"Class\"=\"Net\"\r\n\r\n";
  for (int i = 0; i < 12; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", i);
    adapters += "[" + cls + "\\" + name + "]\r\n\"ComponentId\"=\"" +
                (i % 3 == 0 ? "PCI\\\\VEN_FC7A&DEV_1001&SUBSYS_0001FC7A&REV_01"
                            : "PCI\\\\VEN_8086&DEV_100E&SUBSYS_001E8086") +
                "\"\r\n\"DriverDesc\"=\"Network adapter " + name +
                "\"\r\n\"NetCfgInstanceId\"=\"{B5E3F2C4-1D2E-4F60-9A7B-0C1D2E3F4A5B}\"\r\n"
                "\"Characteristics\"=dword:00000084\r\n"
                "\"InfPath\"=\"oem3.inf\"\r\n\"ProviderName\"=\"Example\"\r\n\r\n";
  }
  return {
      Utf16File("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane]\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane\\Corvane Client Installation Program]\r\n"
                "\"GinaInstallOption\"=\"1\"\r\n\"SilentLeapOption\"=\"0\"\r\n"
                "\"wModeSelect\"=dword:0000000c\r\n\"InstallDir\"=\"C:\\\\Program Files\\\\Client\"\r\n\r\n"),
      Utf16File("[HKEY_LOCAL_MACHINE\\Software\\VERDO Installer]\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\Software\\VERDO Installer\\Setting]\r\n"
                "\"InstallOption\"=\"Install Driver Only\"\r\n\r\n"),
      Utf16File("[HKEY_CURRENT_USER\\Software\\VERDO Installer]\r\n\r\n"),
      Utf16File(adapters),
  };
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 2000;
  std::string error;
  const std::unique_ptr<preview::CodePage> code_page = preview::CodePage::Open(1252, &error);
  if (!code_page) {
    std::fprintf(stderr, "plan_bench: %s\n", error.c_str());
    return 1;
  }
  const std::vector<std::string> files = TypicalExports();
  size_t bytes = 0;
  for (const std::string& f : files) bytes += f.size();

  std::vector<double> ms;
  size_t output = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    preview::Machine machine;
    machine.version_word = *preview::ParseVersion("xp");
    machine.command_line = "\"C:\\Pkg\\launcher.exe\" /S /UPDATE /wbs";
    for (const std::string& content : files) {
      preview::Source source{"export.reg", {}};
      regfile::Error parse_error;
      if (!regfile::Parse(content, &source.file, &parse_error)) {
        std::fprintf(stderr, "plan_bench: %s\n", parse_error.message.c_str());
        return 1;
      }
      machine.sources.push_back(std::move(source));
    }
    const preview::Plan plan = preview::MakePlan(machine, *code_page);
    output += preview::PlanText(plan, *code_page).size();
    output += preview::PlanJson(plan, *code_page).dump().size();
    const memory::UseMachine use = preview::UseMachineOf(plan);
    output += regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                             preview::StateItems(preview::KeysToShow(plan.before, plan.after,
                                                                     plan.listed)))
                  .size();
    output += regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                             preview::ChangeItems(plan.changes))
                  .size();
    ms.push_back(std::chrono::duration<double, std::milli>(
                     std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("typical machine: XP, 4 exports, %zu bytes of UTF-16, 12 adapters, /S /UPDATE /wbs\n",
              bytes);
  std::printf("one plan (read, run, text, JSON, --after, --changes): median %.3f ms, "
              "best %.3f ms, 99th percentile %.3f ms over %d runs (%zu bytes of output each)\n",
              ms[ms.size() / 2], ms.front(), ms[ms.size() * 99 / 100], runs,
              output / static_cast<size_t>(runs));
  return 0;
}
