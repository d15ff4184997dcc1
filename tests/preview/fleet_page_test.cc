// The fleet page: its figures against rows built by hand, text from the
// field kept as text, nothing fetched or run, zeros shown, and elements that
// do not grow with the machines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "preview/output/fleet_page.h"

namespace {

using preview::FleetPage;
using preview::FleetRow;

struct Shown {
  size_t count = 0;
  std::vector<std::string> lines;  // what one click shows
};

std::string Unescaped(std::string text) {
  for (const auto& [entity, plain] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                                      {"&#39;", "'"}, {"&amp;", "&"}}) {
    text = std::regex_replace(text, std::regex(entity), plain);
  }
  return text;
}

// Every figure of the page, read back as a browser shows it.
std::map<std::string, Shown> Figures(const std::string& page) {
  static const std::regex kFigure(
      R"re(<(details|div) class="f[^"]*" data-figure="([^"]*)" data-count="([0-9]+)">)re");
  std::map<std::string, Shown> figures;
  for (std::sregex_iterator it(page.begin(), page.end(), kFigure), end; it != end; ++it) {
    const std::string name = Unescaped((*it)[2]);
    EXPECT_EQ(0u, figures.count(name)) << "twice: " << name;
    Shown& shown = figures[name];
    shown.count = std::stoul((*it)[3]);
    if ((*it)[1] != "details") continue;
    const size_t list = page.find('>', page.find("<div class=m>", it->position()) + 13) + 1;
    std::stringstream lines(Unescaped(page.substr(list, page.find("</", list) - list)));
    for (std::string line; std::getline(lines, line);) shown.lines.push_back(line);
  }
  return figures;
}

FleetRow Planned(const std::string& machine, const std::string& family = "xp",
                 const std::string& setup = "silent",
                 const std::string& response = "data3.cab\\SI1XP.iss", bool staged = true) {
  FleetRow row;
  row.machine = machine;
  row.family = family;
  row.tail = "/S /I1";
  row.setup = setup;
  row.response_file = response;
  row.response_file_staged = staged;
  return row;
}

FleetRow Failed(const std::string& machine, const std::string& kind) {
  FleetRow row;
  row.machine = machine;
  row.failed = true;
  row.error_kind = kind;
  row.error = machine + "/" + kind + ": cannot read";
  return row;
}

template <typename Change>
FleetRow With(FleetRow row, Change change) {
  change(row);
  return row;
}

// The heading a text's machines are listed under.
const std::string kOne = " \xE2\x80\x94 1 machine:";
const std::string kTwo = " \xE2\x80\x94 2 machines:";

TEST(FleetPage, FiguresOfHandBuiltRows) {
  const preview::Warning marker{"marker key left", "pc1\\marker.reg: the key is there"};
  const preview::Warning foreign{"export holds other keys", "pc1\\corvane.reg: other keys"};
  const struct {
    const char* name;
    std::vector<FleetRow> rows;
    std::vector<std::tuple<std::string, size_t, std::vector<std::string>>> expected;
  } cases[] = {
      {"planned and failed; failed machines count nowhere else",
       {Planned("pc1"), Failed("pc2", "ver.txt"), Planned("pc3"), Failed("pc4", ".reg file"),
        Failed("pc5", "ver.txt")},
       {{"machines:planned", 2, {"pc1", "pc3"}},
        {"machines:failed", 3, {"pc2", "pc4", "pc5"}},
        {"failed:ver.txt", 2, {"pc2/ver.txt: cannot read", "pc5/ver.txt: cannot read"}},
        {"failed:.reg file", 1, {"pc4/.reg file: cannot read"}},
        {"family:xp", 2, {"pc1", "pc3"}},
        {"setup:silent", 2, {"pc1", "pc3"}}}},
      {"families, setups and response files, zeros included",
       {Planned("a", "9x", "interactive", ""), Planned("b", "2000", "none", "data3.cab\\SI1.iss"),
        Planned("c", "2000", "silent", "data3.cab\\SI1.iss"), Planned("d", "other", "none", ""),
        Planned("e")},
       {{"family:9x", 1, {"a"}}, {"family:2000", 2, {"b", "c"}}, {"family:xp", 1, {"e"}},
        {"family:other", 1, {"d"}}, {"setup:silent", 2, {"c", "e"}},
        {"setup:interactive", 1, {"a"}}, {"setup:none", 2, {"b", "d"}},
        {"response:plain", 1, {"a"}}, {"response:data3.cab\\SI1.iss", 1, {"c"}},
        {"response:data3.cab\\SI1XP.iss", 1, {"e"}}}},
      {"response file missing: silent and not staged only",
       {Planned("a", "xp", "silent", "data3.cab\\SI1XP.iss", false), Planned("b"),
        Planned("c", "2000", "silent", "data3.cab\\SI3.iss", false),
        Planned("d", "9x", "interactive", "", false), Planned("e", "xp", "none", "", false)},
       {{"missing:any", 2, {"a", "c"}},
        {"missing:data3.cab\\SI1XP.iss", 1, {"a"}},
        {"missing:data3.cab\\SI3.iss", 1, {"c"}}}},
      {"marker keys, install types, adapters, tails",
       {With(Planned("a"), [](FleetRow& r) { r.marker_left = true; r.install_type = "full"; }),
        With(Planned("b"), [](FleetRow& r) { r.install_type = "driver only"; r.tail = ""; }),
        With(Planned("c"), [](FleetRow& r) { r.adapters_tuned = {"0001", "0003"}; }),
        With(Failed("d", "folder"), [](FleetRow& r) { r.marker_left = true; })},
       {{"marker:left", 1, {"a"}}, {"install:full", 1, {"a"}}, {"install:driver only", 1, {"b"}},
        {"adapters:tuned", 1, {"adapter keys 0001 0003" + kOne, "c"}},
        {"tail:/S /I1", 2, {"a", "c"}}, {"tail:", 1, {"b"}}}},
      {"warnings: a machine once per kind and text, under each text",
       {With(Planned("pc1"), [&](FleetRow& r) { r.warnings = {marker, foreign, foreign}; }),
        Planned("pc2"), With(Planned("pc3"), [&](FleetRow& r) { r.warnings = {foreign}; }),
        With(Failed("pc4", "ver.txt"), [&](FleetRow& r) { r.warnings = {foreign}; })},
       {{"warnings:any", 2, {"pc1", "pc3"}},
        {"warnings:marker key left", 1, {marker.text + kOne, "pc1"}},
        {"warnings:export holds other keys", 2, {foreign.text + kTwo, "pc1  pc3"}}}},
      {"verdicts with their differences",
       {With(Planned("pc1"), [](FleetRow& r) { r.verdict = "as planned"; }),
        With(Planned("pc2"), [](FleetRow& r) {
          r.verdict = "differs";
          r.differences = {{"XRStatus", "\"1\"", "\"0\""}, {"marker key left", "", ""}};
        }),
        With(Planned("pc3"), [](FleetRow& r) { r.verdict = "as planned"; })},
       {{"verdict:as planned", 2, {"no differences" + kTwo, "pc1  pc3"}},
        {"verdict:differs", 1,
         {"XRStatus: planned \"1\", found \"0\"; marker key left" + kOne, "pc2"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::map<std::string, Shown> figures = Figures(FleetPage(c.rows, {}));
    for (const auto& [figure, count, lines] : c.expected) {
      const auto it = figures.find(figure);
      ASSERT_NE(figures.end(), it) << figure;
      EXPECT_EQ(count, it->second.count) << figure;
      EXPECT_EQ(lines, it->second.lines) << figure;
    }
    // Verdicts only where rows have them.
    EXPECT_EQ(c.rows[0].verdict.has_value(), figures.count("verdict:as planned") == 1);
  }
}

TEST(FleetPage, SettingsChangedCarriedOverwritten) {
  using Value = std::optional<std::string>;
  const struct {
    Value before, after;
    const char* why;
    size_t changed, carried, overwritten;
    const char* shown;  // the after value's figure
  } cases[] = {
      {std::nullopt, std::nullopt, "kept", 0, 0, 0, "(absent)"},
      {"1", "1", "kept", 0, 0, 0, "1"},
      {std::nullopt, "0", "default", 1, 0, 0, "0"},
      {std::nullopt, "1", "carried", 1, 1, 0, "1"},
      {"1", "1", "carried", 0, 1, 0, "1"},
      {std::nullopt, "1", "option", 1, 0, 0, "1"},
      {"0", "1", "option", 1, 0, 1, "1"},
      {"1", "1", "option", 0, 0, 0, "1"},
      {"", "12", "option", 1, 0, 1, "12"},
      {"12", "", "kept", 1, 0, 0, "(empty)"},
  };
  for (size_t setting = 0; setting < preview::kRowSettingCount; ++setting) {
    const std::string name = preview::kRowSettings[setting];
    for (const auto& c : cases) {
      SCOPED_TRACE(name + ": " + c.before.value_or("-") + " to " + c.after.value_or("-") + ", " +
                   c.why);
      // The case on one machine, every other setting overwritten on another.
      std::vector<FleetRow> rows = {Planned("pc1"), Planned("pc2")};
      rows[0].settings[setting] = {c.before, c.after, c.why};
      for (size_t other = 0; other < preview::kRowSettingCount; ++other) {
        if (other != setting) rows[1].settings[other] = {"0", "1", "option"};
      }
      std::map<std::string, Shown> figures = Figures(FleetPage(rows, {}));
      EXPECT_EQ(c.changed, figures["changed:" + name].count);
      EXPECT_EQ(c.carried, figures["carried:" + name].count);
      EXPECT_EQ(c.overwritten, figures["overwritten:" + name].count);
      EXPECT_EQ(std::string(c.shown) == "(absent)" ? 2u : 1u, figures[name + ":" + c.shown].count);
    }
  }
}

TEST(FleetPage, ZerosShownNothingFetched) {
  const struct {
    const char* name;
    std::vector<FleetRow> rows;
  } cases[] = {
      {"no machines", {}},
      {"only failed machines", {Failed("pc1", "folder"), Failed("pc2", "folder")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string page = FleetPage(c.rows, {"Fleet plan", "2 folders under /fleet", {}});
    const std::map<std::string, Shown> figures = Figures(page);
    for (const char* figure :
         {"machines:planned", "family:9x", "family:2000", "family:xp", "family:other",
          "setup:silent", "setup:interactive", "setup:none", "marker:left", "warnings:any",
          "missing:any", "install:full", "adapters:tuned", "changed:XRStatus",
          "machines:failed", "failed:folder"}) {
      ASSERT_EQ(1u, figures.count(figure)) << figure;
      const bool failed = std::string(figure).find("failed") != std::string::npos;
      EXPECT_EQ(failed ? c.rows.size() : 0u, figures.at(figure).count) << figure;
    }
    for (char& ch : page) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    for (const char* banned :
         {"<script", "http", "url(", "@import", "<link", "src=", " onclick", " onload"}) {
      EXPECT_EQ(std::string::npos, page.find(banned)) << banned;
    }
    // Links stay within the page, and lead somewhere.
    static const std::regex kHref(R"re(href="([^"]*)")re");
    for (std::sregex_iterator it(page.begin(), page.end(), kHref), end; it != end; ++it) {
      const std::string target = (*it)[1];
      ASSERT_EQ('#', target[0]) << target;
      EXPECT_TRUE(std::regex_search(page, std::regex("<section id=" + target.substr(1) + "[ >]")))
          << target;
    }
  }
}

// Text from the field, in every place it reaches.
TEST(FleetPage, HostileTextStaysText) {
  const struct {
    std::string text;
    bool intact;  // else control characters or bad UTF-8: U+FFFD stands in
  } texts[] = {
      {"<script>alert(1)</script>", true},
      {"\"><img src=x onerror=alert(1)>", true},
      {"a'b\"c&d&amp;e", true},
      {"</pre></div></details><h1>x", true},
      {"line\nend \x01 and \x7F", false},
      {"bad utf-8 \xC3\x28 \xE2\x82 end", false},
      {"C1 control \xC2\x85 here", false},
  };
  using Put = void (*)(FleetRow&, const std::string&);
  const std::pair<const char*, Put> places[] = {
      {"family:xp", [](FleetRow& r, const std::string& t) { r.machine = t; }},
      {"response:", [](FleetRow& r, const std::string& t) { r.response_file = t; }},
      {"XRStatus:", [](FleetRow& r, const std::string& t) { r.settings[2] = {{}, t, "option"}; }},
      {"warnings:", [](FleetRow& r, const std::string& t) { r.warnings = {{t, t}}; }},
      {"verdict:", [](FleetRow& r, const std::string& t) { r.verdict = t; }},
      {"tail:", [](FleetRow& r, const std::string& t) { r.tail = t; }},
  };
  for (const auto& [text, intact] : texts) {
    for (const auto& [figure, put] : places) {
      SCOPED_TRACE(figure + (": " + text));
      std::vector<FleetRow> rows = {Planned("pc1"), Failed(text, "folder")};
      put(rows[0], text);
      rows[1].error = text;
      const std::string page = FleetPage(rows, {text, text, {}});
      for (const char* tag : {"<script", "<img", "<h1>x"}) {
        EXPECT_EQ(std::string::npos, page.find(tag)) << tag;
      }
      for (unsigned char ch : page) EXPECT_FALSE((ch < 0x20 && ch != '\n') || ch == 0x7F);
      for (const char* bad : {"\xC2\x85", "\xC3\x28"}) EXPECT_EQ(std::string::npos, page.find(bad));
      const std::map<std::string, Shown> figures = Figures(page);
      if (intact) {
        const std::string name = figure[std::strlen(figure) - 1] == ':' ? figure + text : figure;
        EXPECT_EQ(1u, figures.count(name)) << name;
        EXPECT_EQ(std::vector<std::string>{text}, figures.at("machines:failed").lines);
      } else {
        EXPECT_NE(std::string::npos, page.find("\xEF\xBF\xBD"));
      }
    }
  }
}

// The page grows with the machines in text only, not in elements.
TEST(FleetPage, ElementsDoNotGrowWithMachines) {
  const auto fleet = [](int machines) {
    std::vector<FleetRow> rows;
    for (int i = 0; i < machines; ++i) {
      const std::string name = "pc" + std::to_string(i);
      FleetRow row = i % 10 == 9 ? Failed(name, i % 20 == 9 ? "ver.txt" : ".reg file")
                                 : Planned(name, i % 3 ? "xp" : "2000");
      row.warnings = {{i % 2 ? "no adapters export" : "marker key left", "text"}};
      row.settings[0] = {"0", i % 2 ? "1" : "0", "option"};
      rows.push_back(row);
    }
    return rows;
  };
  const auto tags = [](const std::string& page) {
    return std::count(page.begin(), page.end(), '<');
  };
  const std::string small = FleetPage(fleet(40), {});
  const std::string large = FleetPage(fleet(10000), {});
  EXPECT_EQ(tags(small), tags(large));
  EXPECT_EQ(9000u, Figures(large).at("machines:planned").count);
  EXPECT_NE(std::string::npos, large.find("\npc9998<"));
}

}  // namespace
