// Releases into a rollout kit: which machines a fleet releases by default,
// by name, all, or withdraws; a new release has a new id, an earlier one
// is kept; what the kit cannot run is never written; logs read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "preview/fleet/releases.h"
#include "tests/preview/test_machine.h"

namespace {

namespace fs = std::filesystem;
using preview_test::Write;

preview::FleetRow Row(const std::string& machine, const std::string& setup,
                      const std::string& tail = "-gina /S /I1", bool warned = false) {
  preview::FleetRow row;
  row.machine = machine;
  row.setup = setup;
  row.tail = tail;
  if (warned) row.warnings.push_back({"marker key left", "the marker key is left"});
  return row;
}

std::vector<preview::FleetRow> Fleet() {
  std::vector<preview::FleetRow> rows = {
      Row("PC01", "silent"),
      Row("PC02", "interactive"),
      Row("PC03", "silent", "-gina /S /I1", true),
      Row("PC04", "none"),
      Row("siteA/PC05", "silent"),                // a clash-named machine
      Row("PC06", "silent", "-gina %PATH% /S"),    // no tail for a batch file
      Row("PC07", "silent", "/S /I1"),
  };
  preview::FleetRow failed = Row("PC08", "");
  failed.failed = true;
  rows.push_back(failed);
  return rows;
}

fs::path Kit(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("launcher-preview-releases-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir / "REL");
  return dir;
}

std::map<std::string, preview::ReleaseRecord> Records(const fs::path& kit) {
  std::map<std::string, preview::ReleaseRecord> records;
  EXPECT_TRUE(preview::ReadReleases(kit.string(), &records));
  return records;
}

std::vector<std::string> Keys(const std::map<std::string, preview::ReleaseRecord>& records) {
  std::vector<std::string> keys;
  for (const auto& [machine, record] : records) keys.push_back(machine);
  return keys;
}

TEST(Release, WhatEachRequestReleases) {
  const struct {
    const char* name;
    std::vector<std::string> machines;
    bool all;
    std::vector<std::string> released;
  } cases[] = {
      // By default: a silent setup and no warning.
      {"default", {}, false, {"PC01", "PC07"}},
      {"all", {}, true, {"PC01", "PC02", "PC03", "PC07"}},
      {"named", {"pc03", "PC02"}, false, {"PC02", "PC03"}},
      // Never what the kit cannot run, even named.
      {"named-unfit", {"PC04", "siteA/PC05", "PC06", "PC08"}, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path kit = Kit(c.name);
    const preview::ReleaseOutcome outcome =
        preview::Release(Fleet(), {kit.string(), c.machines, c.all, {}});
    EXPECT_EQ(c.released, outcome.released);
    EXPECT_EQ(c.released, Keys(Records(kit)));
    for (const std::string& machine : c.released) {
      EXPECT_EQ(0u, outcome.not_released.count(machine));
    }
    if (c.name == std::string("default")) {
      EXPECT_EQ("interactive setup", outcome.not_released.at("PC02"));
      EXPECT_EQ("marker key left", outcome.not_released.at("PC03"));
      EXPECT_EQ("no setup", outcome.not_released.at("PC04"));
      EXPECT_NE(std::string::npos, outcome.not_released.at("siteA/PC05").find("name"));
      EXPECT_NE(std::string::npos, outcome.not_released.at("PC06").find("tail"));
    }
    fs::remove_all(kit);
  }
}

TEST(Release, EarlierReleasesKeptNamedOnesAnewWithdrawnGone) {
  const fs::path kit = Kit("again");
  const std::string dir = kit.string();
  ASSERT_EQ((std::vector<std::string>{"PC01", "PC07"}), preview::Release(Fleet(), {dir, {}, false, {}}).released);
  const auto first = Records(kit);
  EXPECT_EQ("-gina /S /I1", first.at("PC01").tail);
  EXPECT_EQ("/S /I1", first.at("PC07").tail);

  // Again by default: both kept, their ids too.
  preview::ReleaseOutcome again = preview::Release(Fleet(), {dir, {}, false, {}});
  EXPECT_TRUE(again.released.empty());
  EXPECT_EQ((std::vector<std::string>{"PC01", "PC07"}), again.kept);
  EXPECT_EQ(first.at("PC01").id, Records(kit).at("PC01").id);

  // Named: released anew, with another id, and only it.
  again = preview::Release(Fleet(), {dir, {"pc01"}, false, {}});
  EXPECT_EQ(std::vector<std::string>{"PC01"}, again.released);
  EXPECT_NE(first.at("PC01").id, Records(kit).at("PC01").id);
  EXPECT_EQ(first.at("PC07").id, Records(kit).at("PC07").id);

  // Withdrawn alone: nothing released, the record gone.
  again = preview::Release(Fleet(), {dir, {}, false, {"PC07", "PC99"}});
  EXPECT_TRUE(again.released.empty());
  EXPECT_EQ(std::vector<std::string>{"PC07"}, again.withdrawn);
  EXPECT_EQ(std::vector<std::string>{"PC99"}, again.unknown);
  EXPECT_EQ(std::vector<std::string>{"PC01"}, Keys(Records(kit)));

  // A record KIT.EXE would refuse is none.
  Write(kit / "REL" / "PC02.TXT", "release=R1\r\n");
  EXPECT_EQ(0u, Records(kit).count("PC02"));
  EXPECT_THROW(preview::Release(Fleet(), {(kit / "nothing").string(), {}, false, {}}),
               std::runtime_error);
  fs::remove_all(kit);
}

TEST(KitLogs, LastLineAndItsWord) {
  const fs::path dir = fs::temp_directory_path() / "launcher-preview-kit-logs";
  fs::remove_all(dir);
  Write(dir / "PC01.TXT",
        "2026-12-09 08:00:01 PC01 collected before the rollout\r\n"
        "2026-12-10 08:00:09 PC01 started launcher.exe -gina /S /I1 (release R1)\r\n"
        "2026-12-10 08:02:30 PC01 done after the run (release R1)\r\n");
  Write(dir / "pc02.txt", "2026-12-09 08:00:01 PC02 skipped no setup for Windows 5.2");
  Write(dir / "notes.doc", "not a log");
  const auto logs = preview::ReadKitLogs(dir.string());
  ASSERT_EQ(2u, logs.size());
  EXPECT_EQ("done", preview::LogWord(logs.at("PC01")));
  EXPECT_EQ("skipped", preview::LogWord(logs.at("PC02")));
  EXPECT_EQ("", preview::LogWord("garbled"));
  std::vector<preview::FleetRow> rows = {Row("PC01", "silent", "/S /I1"), Row("pc02", "none")};
  std::map<std::string, preview::ReleaseRecord> records = {{"PC01", {"R1", "-gina /S /I1"}}};
  preview::AnnotateKit(&records, &logs, &rows);
  EXPECT_EQ("R1", rows[0].release.value_or(""));
  ASSERT_EQ(1u, rows[0].warnings.size());
  EXPECT_EQ(preview::warning::kReleasedTailDiffers, rows[0].warnings[0].kind);
  EXPECT_FALSE(rows[1].release);
  EXPECT_NE(std::string::npos, rows[1].kit_log.value_or("").find("skipped"));
  fs::remove_all(dir);
}

}  // namespace
