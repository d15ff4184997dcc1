// A whole plan as `launcher-preview plan` makes one, from fuzzed .reg files
// and a fuzzed tail. The input:
//   byte 0     the Windows version: a known one, or the word of bytes 6-9
//   byte 1     bit 0: code page 932 where the host has it (else 1252);
//              bit 1: a program path with a blank; bit 2: two .reg files
//   byte 2     the files' names (low, high nibble): an export's own name, or
//              another (the warnings tell them apart)
//   byte 3     the tail's length
//   bytes 4-5  the first file's length when there are two (little-endian)
//   bytes 6-9  a version word (little-endian)
//   then the tail, the first file, the second file (the rest).
// A file that does not read must say why in printable ASCII (the tool's
// exit 2). Otherwise the plan, its text and JSON, its row as CSV and JSON,
// and the --after and --changes files are made; the CSV line holds no
// control character and is UTF-8, and both written files read back. The
// files are read as a plan reads them (the launcher's keys only), and once
// more whole, as for --after: both plans must say the same. Any broken
// rule traps.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "launcher/dispatch.h"
#include "preview/exports/code_page.h"
#include "preview/exports/export_reader.h"
#include "preview/exports/exports.h"
#include "preview/exports/reg_file.h"
#include "preview/exports/windows_version.h"
#include "preview/fleet/fleet.h"
#include "preview/fleet/machine_folder.h"
#include "preview/fleet/tails.h"
#include "preview/machine/changes.h"
#include "preview/machine/plan.h"
#include "preview/output/escape.h"
#include "preview/output/fleet_table.h"
#include "preview/output/plan_output.h"

namespace {

[[noreturn]] void Violated(const char* what) {
  std::fprintf(stderr, "plan rule broken: %s\n", what);
  __builtin_trap();
}

constexpr size_t kHeader = 10;

// The host's code pages; 932 only where iconv knows it.
const preview::CodePage* Page(bool japanese) {
  static const std::unique_ptr<preview::CodePage> western = [] {
    std::string error;
    auto page = preview::CodePage::Open(1252, &error);
    if (!page) {
      std::fprintf(stderr, "code page 1252: %s\n", error.c_str());
      __builtin_trap();
    }
    return page;
  }();
  static const std::unique_ptr<preview::CodePage> japan = [] {
    std::string error;
    return preview::CodePage::Open(932, &error);
  }();
  return japanese && japan ? japan.get() : western.get();
}

std::string FileName(unsigned choice) {
  const size_t n = std::size(preview::kExportedKeys);
  return choice % (n + 1) < n ? preview::kExportedKeys[choice % (n + 1)].file : "other.reg";
}

bool PrintableAscii(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F) return false;
  }
  return true;
}

// Well-formed UTF-8 without control characters (C0, DEL, C1) or the line
// separators U+2028 and U+2029: one CSV line, safe on a terminal.
bool PrintableUtf8Line(const std::string& text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned c = s[i];
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F) return false;
      ++i;
      continue;
    }
    size_t len;
    unsigned lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (n - i < len || s[i + 1] < lo || s[i + 1] > hi) return false;
    if (c == 0xC2 && s[i + 1] < 0xA0) return false;
    if (c == 0xE2 && s[i + 1] == 0x80 && (s[i + 2] == 0xA8 || s[i + 2] == 0xA9)) return false;
    for (size_t k = 2; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  return true;
}

void ReadsBack(const std::string& written, const char* what, const preview::CodePage& code_page) {
  regfile::File file;
  regfile::Error error;
  if (!regfile::Parse(written, &file, &error, code_page.LeadByteRanges())) {
    std::fprintf(stderr, "%s file, line %d: %s\n", what, error.line, error.message.c_str());
    Violated("a file the preview writes does not read back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t header[kHeader] = {};
  for (size_t i = 0; i < kHeader && i < size; ++i) header[i] = data[i];
  const char* rest = reinterpret_cast<const char*>(data) + (size < kHeader ? size : kHeader);
  size_t left = size < kHeader ? 0 : size - kHeader;
  const auto take = [&](size_t n) {
    if (n > left) n = left;
    std::string part(rest, n);
    rest += n;
    left -= n;
    return part;
  };

  const auto& known = preview::KnownVersions();
  const unsigned long word = header[6] | header[7] << 8 | header[8] << 16 |
                             static_cast<unsigned long>(header[9]) << 24;
  const size_t version_choice = header[0] % (known.size() + 1);
  const unsigned long version = version_choice < known.size() ? known[version_choice].word : word;
  const preview::CodePage& code_page = *Page(header[1] & 1);
  const std::string program =
      header[1] & 2 ? "C:\\My Pkg\\launcher.exe" : preview::kDefaultProgram;
  const bool two_files = header[1] & 4;
  const std::string tail = take(header[3]);
  std::vector<std::string> contents;
  if (two_files) contents.push_back(take(header[4] | header[5] << 8));
  contents.push_back(take(left));

  preview::Machine machine;
  machine.version_word = version;
  machine.command_line = preview::CommandLineFor(tail, program);
  preview::Machine whole = machine;
  for (size_t i = 0; i < contents.size(); ++i) {
    preview::Source source{FileName((header[2] >> (4 * i)) & 0xF), {}};
    preview::Source every = source;
    regfile::Error error, every_error;
    regfile::MemoryInput input(contents[i]), again(contents[i]);
    const bool read = preview::ReadSource(input, preview::Keep::kLauncherKeys,
                                          code_page.LeadByteRanges(), &source, &error);
    const bool read_whole = preview::ReadSource(again, preview::Keep::kEveryKey,
                                                code_page.LeadByteRanges(), &every, &every_error);
    if (read != read_whole || (!read && (error.line != every_error.line ||
                                         error.message != every_error.message))) {
      Violated("a file reads differently with and without the keys the launcher never reads");
    }
    if (!read) {
      // The tool's exit 2: "<file>:<line>: <message>".
      if (error.line < 0 || error.message.empty() || !PrintableAscii(error.message))
        Violated("a refused file without a printable reason");
      return 0;
    }
    machine.sources.push_back(std::move(source));
    whole.sources.push_back(std::move(every));
  }

  const launcher::Family family = launcher::ClassifyFamily(version);
  const bool nt = family == launcher::Family::kWindows2000 ||
                  family == launcher::Family::kWindowsXP;
  std::vector<preview::Warning> warnings = preview::ExportWarnings(machine.sources, nt);

  const std::vector<preview::Warning> whole_warnings = preview::ExportWarnings(whole.sources, nt);
  bool same_warnings = whole_warnings.size() == warnings.size();
  for (size_t i = 0; same_warnings && i < warnings.size(); ++i) {
    same_warnings = whole_warnings[i].kind == warnings[i].kind &&
                    whole_warnings[i].text == warnings[i].text;
  }
  if (!same_warnings) Violated("other warnings from the whole files");

  // The whole files first: the in-memory machine is one per thread.
  const preview::Plan whole_plan = preview::MakePlan(whole, code_page);
  const std::string whole_text = preview::PlanText(whole_plan, code_page);
  const std::string whole_json = preview::PlanJson(whole_plan, code_page).dump(2);
  const std::string whole_line =
      preview::FleetLine(preview::RowOfPlan(whole_plan, "PC042", warnings, code_page));

  const preview::Plan plan = preview::MakePlan(machine, code_page);
  // dump() throws on text that is not UTF-8; uncaught, that is a finding.
  if (preview::PlanText(plan, code_page) != whole_text ||
      preview::PlanJson(plan, code_page).dump(2) != whole_json) {
    Violated("the plan differs when the files are read whole");
  }
  if (!PrintableUtf8Line(preview::DumpJson(preview::PlanJson(plan, code_page)))) {
    Violated("plan JSON with a raw control character or line separator");
  }
  const preview::FleetRow row = preview::RowOfPlan(plan, "PC042", std::move(warnings), code_page);
  const std::string line = preview::FleetLine(row);
  if (line != whole_line) Violated("the fleet row differs when the files are read whole");
  if (!PrintableUtf8Line(line)) Violated("a CSV line with a control character or bad UTF-8");
  (void)preview::FleetJson(row).dump();
  if (!PrintableUtf8Line(preview::DumpJson(preview::FleetJson(row)))) {
    Violated("fleet JSON with a raw control character or line separator");
  }

  std::string after, changes;
  {
    const memory::UseMachine use = preview::UseMachineOf(plan);
    after = regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                           preview::StateItems(preview::KeysToShow(plan.before, plan.after,
                                                                   plan.listed)));
    changes = regfile::Write(regfile::Version::k4, regfile::Encoding::kBytes,
                             preview::ChangeItems(plan.changes));
  }
  ReadsBack(after, "--after", code_page);
  ReadsBack(changes, "--changes", code_page);
  return 0;
}
