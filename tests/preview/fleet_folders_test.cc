// Fleets laid out as administrators lay them out: sites below parents to
// any depth, strays beside machines, empty folders, a folder named twice,
// and the after folders mirrored or flat.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "preview/fleet/fleet.h"
#include "preview/fleet/fleet_folders.h"
#include "tests/preview/test_machine.h"

namespace {

namespace fs = std::filesystem;
using preview_test::Cp1252;
using preview_test::Write;

constexpr const char* kXp = "Microsoft Windows XP [Version 5.1.2600]\r\n";
constexpr const char* kReg = "REGEDIT4\r\n";

fs::path Scratch(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("launcher-preview-folders-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(FindMachines, SitesToAnyDepthStraysAndEmptyFolders) {
  const fs::path dir = Scratch("layout");
  for (const char* machine : {"collected/siteA/PC001", "collected/siteA/PC042",
                              "collected/siteB/PC042", "collected/deep/x/y/PC9",
                              "regparent/m"}) {
    Write(dir / machine / "ver.txt", kXp);
  }
  Write(dir / "collected" / "backup.reg", kReg);
  Write(dir / "collected" / "siteA" / "notes" / "readme.txt", "not a machine");
  fs::create_directories(dir / "collected" / "siteB" / "empty");
  Write(dir / "collected" / "siteA" / "PC001" / "old" / "ver.txt", kXp);  // itself only
  Write(dir / "regonly" / "x.reg", kReg);                                // no ver.txt
  Write(dir / "regparent" / "a.reg", kReg);
  fs::create_directories(dir / "nothing");
  const struct {
    std::vector<std::string> given;
    std::vector<std::string> found;  // below dir
    std::vector<std::string> below;
    size_t warnings;
  } cases[] = {
      {{"collected"},
       {"collected/deep/x/y/PC9", "collected/siteA/PC001", "collected/siteA/PC042",
        "collected/siteA/notes", "collected/siteB/PC042", "collected/siteB/empty"},
       {"deep/x/y/PC9", "siteA/PC001", "siteA/PC042", "siteA/notes", "siteB/PC042",
        "siteB/empty"},
       1},
      // Named twice, or itself and through its parent: one machine.
      {{"collected/siteB", "collected/siteB/PC042", "collected/siteB/PC042/"},
       {"collected/siteB/PC042", "collected/siteB/empty"},
       {"PC042", "empty"},
       0},
      {{"regonly", "regparent", "nothing", "absent"},
       {"regonly", "regparent/m", "nothing", "absent"},
       {"regonly", "m", "nothing", "absent"},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given.front());
    std::vector<std::string> given;
    for (const std::string& g : c.given) given.push_back((dir / g).string());
    const preview::FleetFolders found = preview::FindMachines(given);
    std::vector<std::string> paths, below;
    for (const preview::FoundFolder& f : found.folders) {
      paths.push_back(fs::path(f.path).lexically_normal().lexically_relative(dir).string());
      below.push_back(f.below);
    }
    EXPECT_EQ(c.found, paths);
    EXPECT_EQ(c.below, below);
    EXPECT_EQ(c.warnings, found.warnings.size());
  }

  // Every folder found is a row: the empty one and the one without a machine
  // fail, saying so; so machines counted = folders found.
  const preview::FleetFolders found = preview::FindMachines({(dir / "collected").string()});
  preview::FleetSetup setup;
  size_t failed = 0;
  for (const preview::FoundFolder& f : found.folders) {
    const preview::FleetRow row = preview::PlanFleetMachine(f.path, f.below, setup, Cp1252(), f.below);
    if (row.failed) {
      ++failed;
      EXPECT_NE(std::string::npos, row.error.find("no machine folder")) << row.error;
    }
  }
  EXPECT_EQ(2u, failed);
  EXPECT_NE(std::string::npos, found.warnings[0].text.find("backup.reg"));
  fs::remove_all(dir);
}

TEST(FindAfterFolder, MirroredOrFlatWithoutRegardToCase) {
  const fs::path dir = Scratch("after");
  for (const char* folder : {"after/siteA/PC042", "after/siteB/PC042", "after/PC001",
                             "after/SITEC/pc7", "after/siteD/PC8", "after/PC8"}) {
    fs::create_directories(dir / folder);
  }
  const struct {
    const char* below;
    const char* name;
    const char* found;  // "" for none
    bool warning;
  } cases[] = {
      {"siteA/PC042", "siteA/PC042", "after/siteA/PC042", false},
      {"siteB/PC042", "siteB/PC042", "after/siteB/PC042", false},
      {"siteA/PC001", "PC001", "after/PC001", false},   // flat by name
      {"sitec/PC7", "PC7", "after/SITEC/pc7", false},   // any letter case
      {"siteD/PC8", "PC8", "after/siteD/PC8", true},    // both: mirrored, and said
      {"siteE/PC9", "PC9", "", false},
      {"", "pc001", "after/PC001", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.below);
    const preview::AfterFolder after =
        preview::FindAfterFolder((dir / "after").string(), c.below, c.name);
    EXPECT_EQ(c.found,
              after.path ? fs::path(*after.path).lexically_relative(dir).string() : std::string());
    EXPECT_EQ(c.warning, after.warning.has_value());
  }
  fs::remove_all(dir);
}

}  // namespace
