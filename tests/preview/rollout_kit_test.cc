// The rollout kit's scripts keep to what their shells read: every line of
// LOGON.BAT to command.com's batch language of Windows 95 (lines of at most
// 127 bytes once the variables are expanded, CR LF, labels apart in their
// first 8 characters, no construct of cmd), every step KIT.EXE can name
// has its label in both scripts, and places a batch file cannot hold are
// refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "preview/exports/ascii.h"
#include "preview/fleet/rollout_kit.h"

namespace {

// The longest places the kit is written for.
const preview::KitPlaces kLongest{"\\\\" + std::string(preview::kMaxKitPath - 2, 'P'),
                                  "\\\\" + std::string(preview::kMaxKitPath - 2, 'D')};
// Every step KIT.EXE names.
const char* const kSteps[] = {"collect", "run", "after", "done", "skip", "norights"};

std::string File(const preview::KitPlaces& places, const std::string& name) {
  for (const preview::KitFile& file : preview::KitScripts(places)) {
    if (file.name == name) return file.bytes;
  }
  ADD_FAILURE() << "no " << name;
  return "";
}

// Lines without their CR LF; a line end of any other form fails.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = text.find("\r\n", from);
    EXPECT_NE(std::string::npos, end) << "no CR LF after byte " << from;
    if (end == std::string::npos) break;
    const std::string line = text.substr(from, end - from);
    EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << "a lone line end in: " << line;
    lines.push_back(line);
    from = end + 2;
  }
  return lines;
}

// The longest a variable of the 9x part can be: %0 as a login script may
// start it, a machine's name, a released tail, windir, a step.
std::string Expanded(const std::string& line) {
  static const std::map<std::string, size_t> kLongestValue = {
      {"%0", preview::kMaxScriptPath}, {"%KNAME%", 15}, {"%KTAIL%", 60},
      {"%windir%", 30}, {"%KSTEP%", 8}, {"%OS%", 10}};
  std::string out = line;
  for (const auto& [variable, length] : kLongestValue) {
    for (size_t at = out.find(variable); at != std::string::npos; at = out.find(variable, at)) {
      out.replace(at, variable.size(), std::string(length, 'x'));
    }
  }
  return out;
}

std::string Lower(std::string text) { return preview::AsciiLower(std::move(text)); }

TEST(RolloutKit, LogonBatKeepsToTheBatchLanguageOfWindows95) {
  const std::vector<std::string> lines = Lines(File(kLongest, "LOGON.BAT"));
  ASSERT_FALSE(lines.empty());
  // What command.com of Windows 95 lacks; each a pattern of the line in
  // lower case.
  const struct {
    const char* what;
    std::regex pattern;
  } kCmdOnly[] = {
      {"if /i", std::regex(R"(\bif\s+(not\s+)?/i\b)")},
      {"%~ modifiers", std::regex(R"(%~)")},
      {"setlocal or endlocal", std::regex(R"(\b(setlocal|endlocal)\b)")},
      {"&& or ||", std::regex(R"(&&|\|\|)")},
      {"& between commands", std::regex(R"(\s&\s)")},
      {"parentheses", std::regex(R"([()])")},
      {"for /f", std::regex(R"(\bfor\s+/)")},
      {"goto :eof or call :label", std::regex(R"(\b(goto|call)\s+:)")},
      {"exit /b", std::regex(R"(\bexit\b)")},
      {"if defined", std::regex(R"(\bif\s+(not\s+)?defined\b)")},
      {"set /a or /p", std::regex(R"(\bset\s+/)")},
      {"2> redirection", std::regex(R"(\d>)")},
      {"variable substrings", std::regex(R"(%\w+:)")},
      {"pushd or popd", std::regex(R"(\b(pushd|popd)\b)")},
  };
  std::map<std::string, int> labels;  // first 8 characters, lower case
  std::set<std::string> targets;
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    EXPECT_LE(line.size(), 127u);
    EXPECT_LE(Expanded(line).size(), 127u) << "once expanded";
    for (char c : line) {
      EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "a byte command.com may read otherwise";
    }
    const std::string lower = Lower(line);
    const bool remark = lower.rfind("rem ", 0) == 0 || lower == "rem";
    const bool message = lower.rfind("echo ", 0) == 0 && lower != "echo off";
    if (remark || message) {
      // command.com redirects even there.
      EXPECT_EQ(std::string::npos, line.find_first_of("<>|")) << "redirection in text";
      continue;
    }
    for (const auto& c : kCmdOnly) {
      EXPECT_FALSE(std::regex_search(lower, c.pattern)) << c.what;
    }
    if (lower[0] == ':') {
      ++labels[lower.substr(1, 8)];
      continue;
    }
    std::smatch target;
    if (std::regex_search(lower, target, std::regex(R"(\bgoto\s+(\S+))"))) {
      targets.insert(target[1]);
    }
  }
  for (const auto& [label, count] : labels) EXPECT_EQ(1, count) << "label " << label;
  for (const std::string& target : targets) {
    if (target == "s%kstep%") {
      for (const char* step : kSteps) {
        EXPECT_EQ(1u, labels.count(("s" + std::string(step)).substr(0, 8))) << "step " << step;
      }
    } else {
      EXPECT_EQ(1u, labels.count(target.substr(0, 8))) << "goto " << target;
    }
  }
  // The part for NT is called, never run by command.com; the kit's helper is
  // found beside the script, whatever the current folder.
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "call %0\\..\\NT.CMD"));
  EXPECT_NE(lines.end(),
            std::find(lines.begin(), lines.end(),
                      "start /w " + kLongest.package + "\\launcher.exe %KTAIL%"));
}

TEST(RolloutKit, NtCmdHasEveryStepAndLineEnd) {
  const std::vector<std::string> lines = Lines(File(kLongest, "NT.CMD"));
  std::set<std::string> labels;
  for (const std::string& line : lines) {
    if (!line.empty() && line[0] == ':') labels.insert(Lower(line.substr(1)));
  }
  for (const char* step : kSteps) EXPECT_EQ(1u, labels.count("s" + std::string(step))) << step;
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "setlocal"));
}

TEST(RolloutKit, PlacesABatchFileCannotHoldAreRefused) {
  const struct {
    const char* package;
    const char* drop;
    const char* problem;  // part of the message; "" for none
  } cases[] = {
      {"\\\\SERVER\\PKG", "\\\\SERVER\\DROP", ""},
      {"N:\\wlan", "\\\\SERVER\\DROP", ""},
      {"\\\\SERVER\\PKG", "wlan\\drop", "no UNC path"},
      {"\\\\\\SERVER", "\\\\SERVER\\DROP", "no UNC path"},
      {"C:\\Program Files\\x", "\\\\SERVER\\DROP", "blank"},
      {"\\\\SERVER\\PKG", "\\\\SERVER\\DR%OP%", "take for something else"},
      {"\\\\SERVER\\PKG", "\\\\SERVER\\D&R", "take for something else"},
      {"\\\\SERVER\\PKG\\", "\\\\SERVER\\DROP", "backslash at the end"},
      {"\\\\SERVER\\B\xC3\xBC" "ro", "\\\\SERVER\\DROP", "take for something else"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.package + std::string(" ") + c.drop);
    const std::string problem = preview::KitPlacesProblem({c.package, c.drop});
    if (*c.problem == 0) {
      EXPECT_EQ("", problem);
    } else {
      EXPECT_NE(std::string::npos, problem.find(c.problem)) << problem;
    }
  }
  EXPECT_EQ("", preview::KitPlacesProblem(kLongest));
  preview::KitPlaces longer = kLongest;
  longer.drop += "X";
  EXPECT_NE(std::string::npos, preview::KitPlacesProblem(longer).find("longer than"));
}

}  // namespace
