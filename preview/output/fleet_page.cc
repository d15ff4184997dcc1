#include "preview/output/fleet_page.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <string_view>

#include "preview/exports/unicode.h"
#include "preview/fleet/releases.h"
#include "preview/fleet/verify.h"
#include "preview/output/verify_text.h"

namespace preview {

// The page's stylesheet, fleet_page.css as the build embeds it.
extern const char kFleetPageCss[];

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Names, errors and values come from the field: markup, quotes, bytes that
// are no UTF-8 and control characters all end up as plain text, in text and
// in attributes alike. Line ends are ours only (they separate machines).
void Escape(std::string_view text, std::string* out) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const Utf8Sequence sequence = NextUtf8(text, i);
      // C1 controls (U+0080 to U+009F) are no text either.
      const size_t n = sequence.length == 0 || sequence.point <= 0x9F ? 0 : sequence.length;
      if (n == 0) {
        *out += kReplacement;
        ++i;
      } else {
        out->append(text, i, n);
        i += n;
      }
      continue;
    }
    switch (c) {
      case '&': *out += "&amp;"; break;
      case '<': *out += "&lt;"; break;
      case '>': *out += "&gt;"; break;
      case '"': *out += "&quot;"; break;
      case '\'': *out += "&#39;"; break;
      default:
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
          *out += kReplacement;
        } else {
          *out += static_cast<char>(c);
        }
    }
    ++i;
  }
}

std::string Escaped(std::string_view text) {
  std::string out;
  Escape(text, &out);
  return out;
}

// 12345 as "12,345".
std::string Grouped(size_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

enum class Tone { kPlain, kBad, kWarn, kGood };

// A figure: a count of machines and what lists them: their names or
// messages naming them, one a line, or their names under headings.
struct Figure {
  std::string name;   // "GROUP:VALUE"
  std::string label;  // shown
  size_t count = 0;
  std::string lines;  // escaped already, so that only our line ends remain
  std::optional<Tone> tone;  // else its block's

  void Line(std::string_view line) {
    if (!lines.empty()) lines += '\n';
    Escape(line, &lines);
  }

  // Or the machines under what is said of them: one heading per text, not
  // one line per machine, as most machines share a few texts.
  struct Heading {
    std::string text;
    size_t count = 0;
    std::string names;  // escaped, two spaces apart
    size_t last = SIZE_MAX;  // the row named last, named once
  };
  std::vector<Heading> headings;
  std::map<std::string, size_t> heading_index;

  void Under(const std::string& text, std::string_view machine, size_t row) {
    const auto [it, made] = heading_index.emplace(text, headings.size());
    if (made) headings.push_back({text, 0, {}, SIZE_MAX});
    Heading& heading = headings[it->second];
    if (heading.last == row) return;
    heading.last = row;
    ++heading.count;
    if (!heading.names.empty()) heading.names += "  ";
    Escape(machine, &heading.names);
  }
};

struct Block {
  std::string title;
  Tone tone = Tone::kPlain;
  bool messages = false;  // lines are messages, not names: no columns
  std::vector<Figure> figures;
  std::map<std::string, size_t> index;

  // The figure of name, made (at the end, with that label) when new.
  Figure& At(const std::string& name, const std::string& label) {
    const auto [it, made] = index.emplace(name, figures.size());
    if (made) {
      figures.emplace_back();
      figures.back().name = name;
      figures.back().label = label;
    }
    return figures[it->second];
  }
  Figure& At(const std::string& group, const std::string& value, const std::string& label) {
    return At(group + ":" + value, label);
  }
  // Most machines first; figures made before first stay in front.
  void SortByCount(size_t first = 0) {
    std::stable_sort(figures.begin() + static_cast<long>(first), figures.end(),
                     [](const Figure& a, const Figure& b) { return a.count > b.count; });
    index.clear();
    for (size_t i = 0; i < figures.size(); ++i) index[figures[i].name] = i;
  }
};

struct Section {
  std::string id;
  std::string title;
  std::string note;
  size_t scale = 0;  // what the bars are a share of
  std::deque<Block> blocks;  // references stay valid as blocks are added
  bool wide = true;      // else half the width, beside another
  bool columns = false;  // its titled blocks side by side
};

// Each verdict's colour: as planned green, the others by what they ask of
// the administrator: a fault on the machine red, a collection to redo
// amber. Their order is the page's.
struct VerdictTone {
  const char* verdict;
  Tone tone;
};
const VerdictTone kVerdictTones[] = {
    {verdict::kAsPlanned, Tone::kGood},     {verdict::kNoSetup, Tone::kPlain},
    {verdict::kDiffers, Tone::kBad},        {verdict::kNotFinished, Tone::kBad},
    {verdict::kNotRun, Tone::kBad},         {verdict::kUnreadable, Tone::kBad},
    {verdict::kCannotTell, Tone::kWarn},    {verdict::kIncomplete, Tone::kWarn},
    {verdict::kOtherWindows, Tone::kWarn},  {verdict::kNotCollected, Tone::kWarn},
};

// What a logon of the rollout kit did, as its log says, in the order of a
// rollout.
struct KitStep {
  const char* word;
  const char* label;
  Tone tone;
};
const KitStep kKitSteps[] = {
    {"collected", "collected before", Tone::kPlain},
    {"started", "started, not yet collected after", Tone::kWarn},
    {"done", "done: collected after the run", Tone::kGood},
    {"recovered", "collected after an interrupted run", Tone::kWarn},
    {"idle", "done earlier, nothing to do", Tone::kGood},
    {"norights", "skipped: administrator rights missing", Tone::kBad},
    {"skipped", "skipped (other Windows, name or record)", Tone::kWarn},
    {"failed", "a collection failed", Tone::kBad},
    {"none", "no logon yet", Tone::kPlain},
};

std::string SettingValue(const std::optional<std::string>& value) {
  if (!value) return "(absent)";
  return value->empty() ? "(empty)" : *value;
}

const char* ToneClass(Tone tone) {
  switch (tone) {
    case Tone::kBad: return " bad";
    case Tone::kWarn: return " warn";
    case Tone::kGood: return " good";
    case Tone::kPlain: break;
  }
  return "";
}

void RenderFigure(const Figure& figure, const Block& block, size_t scale, std::string* out) {
  const bool empty = figure.count == 0 && figure.lines.empty() && figure.headings.empty();
  *out += empty ? "<div class=\"f" : "<details class=\"f";
  *out += ToneClass(figure.tone.value_or(block.tone));
  *out += "\" data-figure=\"";
  Escape(figure.name, out);
  *out += "\" data-count=\"" + std::to_string(figure.count) + "\">";
  if (!empty) *out += "<summary>";
  *out += "<span class=k>";
  Escape(figure.label, out);
  *out += "</span><span class=n>" + Grouped(figure.count) + "</span>";
  char share[64] = "";
  double width = 0;
  if (scale > 0) {
    width = 100.0 * static_cast<double>(figure.count) / static_cast<double>(scale);
    std::snprintf(share, sizeof share, "%.1f%%", width);
  }
  char bar[160];
  std::snprintf(bar, sizeof bar,
                "<svg viewBox=\"0 0 100 1\" preserveAspectRatio=\"none\" aria-hidden=\"true\">"
                "<rect width=\"%.2f\" height=\"1\"/></svg>",
                std::min(width, 100.0));
  *out += bar;
  *out += std::string("<span class=p>") + share + "</span>";
  if (empty) {
    *out += "</div>\n";
    return;
  }
  *out += block.messages ? "</summary><div class=m><pre>" : "</summary><div class=m><div>";
  *out += figure.lines;
  std::vector<const Figure::Heading*> headings;
  for (const Figure::Heading& heading : figure.headings) headings.push_back(&heading);
  std::stable_sort(headings.begin(), headings.end(),
                   [](const auto* a, const auto* b) { return a->count > b->count; });
  for (const Figure::Heading* heading : headings) {
    if (heading != headings.front()) *out += "\n\n";
    Escape(heading->text, out);
    *out += " \xE2\x80\x94 " + Grouped(heading->count) +
            (heading->count == 1 ? " machine:\n" : " machines:\n") + heading->names;
  }
  *out += block.messages ? "</pre></div></details>\n" : "</div></div></details>\n";
}

// The page's sections, filled one machine at a time, then written out.
class Page {
 public:
  explicit Page(const std::vector<FleetRow>& rows) {
    for (const FleetRow& row : rows) {
      planned_ += row.failed ? 0 : 1;
      verdicts_ = verdicts_ || (!row.failed && row.verdict);
    }
    MakeSections(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) Count(rows[r], r);
    Sort();
  }

  std::string Write(const FleetPageInfo& info, size_t total) const;

 private:
  // The sections in the order an administrator reads them; figures of
  // fixed values are made first so that their zeros show too.
  void MakeSections(size_t total) {
    MachinesSection(total);
    VerdictsSection();
    WarningsSection();
    SetupSection();
    FamilySection();
    SettingsSection();
    install_ = {"install", "Install type, where asked", "", planned_, {}};
    install_type_ = &install_.blocks.emplace_back();
    for (const char* type : {"full", "driver only"}) install_type_->At("install", type, type);
    install_.wide = false;
    LeftoversSection();
    KitSection();
    tails_ = {"tails", "Command-line tails", "", planned_, {}};
    tails_.wide = false;
    tail_block_ = &tails_.blocks.emplace_back();
  }

  void MachinesSection(size_t total) {
    machines_ = {"machines", "Machines", "", total, {}};
    outcome_ = &machines_.blocks.emplace_back();
    outcome_->At("machines", "planned", "planned").count = planned_;
    outcome_->At("machines", "failed", "failed").tone = Tone::kBad;
    failed_by_ = &machines_.blocks.emplace_back();
    failed_by_->title = "Failed, by what could not be read";
    failed_by_->tone = Tone::kBad;
    failed_by_->messages = true;
    for (const char* kind : {"folder", "ver.txt", ".reg file"}) failed_by_->At("failed", kind, kind);
    if (verdicts_) failed_by_->At("failed", "after folder", "after folder");
  }

  void VerdictsSection() {
    after_ = {"verdicts", "Verdicts after the rollout",
              "As planned: the setup was started and every setting is as planned. "
              "No setup: as planned, but nothing installed there.",
              planned_, {}};
    verdict_block_ = &after_.blocks.emplace_back();
    verdict_block_->messages = true;
    for (const VerdictTone& v : kVerdictTones) {
      verdict_block_->At("verdict", v.verdict, v.verdict).tone = v.tone;
    }
  }

  void WarningsSection() {
    warnings_ = {"warnings", "Warnings",
                 "Machines with at least one warning of the kind, under what it says.",
                 planned_, {}};
    any_warning_ = &warnings_.blocks.emplace_back();
    any_warning_->tone = Tone::kWarn;
    any_warning_->At("warnings", "any", "any warning");
    warning_kinds_ = &warnings_.blocks.emplace_back();
    warning_kinds_->title = "By kind";
    warning_kinds_->tone = Tone::kWarn;
    warning_kinds_->messages = true;
  }

  void SetupSection() {
    setup_ = {"setup", "Setup", "", planned_, {}};
    setup_kind_ = &setup_.blocks.emplace_back();
    setup_kind_->title = "How it starts";
    for (const char* kind : {"silent", "interactive", "none"}) setup_kind_->At("setup", kind, kind);
    response_ = &setup_.blocks.emplace_back();
    response_->title = "Response file (plain: none)";
    missing_ = &setup_.blocks.emplace_back();
    missing_->title = "Silent, but the response file is missing";
    missing_->tone = Tone::kBad;
    missing_->At("missing", "any", "any response file");
  }

  void FamilySection() {
    family_ = {"family", "Windows family", "", planned_, {}};
    families_ = &family_.blocks.emplace_back();
    for (const char* name : {"9x", "2000", "xp", "other"}) families_->At("family", name, name);
    other_windows_ = &family_.blocks.emplace_back();
    other_windows_->title = "Other: Windows the launcher has no setup for";
    family_.wide = false;
  }

  // Per setting: its values after the run, then what the run did to it.
  void SettingsSection() {
    settings_ = {"settings", "Client settings after the run",
                 "Changed: after differs from before. Carried over: from an older "
                 "installation. Overwritten: the option replaced a different value.",
                 planned_, {}};
    settings_.columns = true;
    for (const char* name : kRowSettings) {
      settings_.blocks.emplace_back().title = name;
      Block& done = settings_.blocks.emplace_back();
      done.messages = true;
      done.At("changed", name, "changed");
      done.At("carried", name, "carried over");
      done.At("overwritten", name, "overwritten");
    }
  }

  void LeftoversSection() {
    leftovers_ = {"marker", "Marker key and adapters", "", planned_, {}};
    leftovers_.wide = false;
    marker_ = &leftovers_.blocks.emplace_back();
    marker_->tone = Tone::kWarn;
    marker_->At("marker", "left", "marker key left");
    adapters_ = &leftovers_.blocks.emplace_back();
    adapters_->messages = true;
    adapters_->At("adapters", "tuned", "adapters tuned");
  }

  void KitSection() {
    kit_ = {"kit", "Rollout kit",
            "Releases in the kit, and what each machine's last logon did (its log).", planned_,
            {}};
    releases_ = &kit_.blocks.emplace_back();
    releases_->title = "Releases";
    releases_->messages = true;
    releases_->At("release", "released", "released");
    releases_->At("release", "not released", "not released").tone = Tone::kWarn;
    steps_ = &kit_.blocks.emplace_back();
    steps_->title = "Last logon";
    steps_->messages = true;
    for (const KitStep& step : kKitSteps) steps_->At("step", step.word, step.label).tone = step.tone;
  }

  // One more machine in the figure, listed by a line.
  static void Add(Figure& figure, std::string_view line) {
    ++figure.count;
    figure.Line(line);
  }

  void Failed(const std::string& kind, const std::string& label, std::string_view message,
              const std::string& machine) {
    Add(failed_by_->At("failed", kind, label), message);
    Add(outcome_->figures[1], machine);
  }

  void Count(const FleetRow& row, size_t r) {
    const std::string& machine = row.machine;
    if (row.failed) {
      Failed(row.error_kind, row.error_kind.empty() ? "(unknown)" : row.error_kind,
             row.error.empty() ? machine : row.error, machine);
      return;
    }
    outcome_->figures[0].Line(machine);
    CountVerdict(row, r);
    CountWarnings(row, r);
    CountSetup(row);
    Figure& family = families_->At("family", row.family, row.family);
    Add(family, machine);
    if (row.family == "other") Add(other_windows_->At("windows", row.windows, row.windows), machine);
    CountSettings(row, r);
    if (!row.install_type.empty()) {
      Add(install_type_->At("install", row.install_type, row.install_type), machine);
    }
    if (row.marker_left) Add(marker_->figures[0], machine);
    if (!row.adapters_tuned.empty()) {
      Figure& figure = adapters_->figures[0];
      ++figure.count;
      std::string keys = "adapter keys";
      for (const std::string& name : row.adapters_tuned) keys += " " + name;
      figure.Under(keys, machine, r);
    }
    CountKit(row, r);
    Add(tail_block_->At("tail", row.tail, row.tail.empty() ? "(empty)" : row.tail), machine);
  }

  void CountVerdict(const FleetRow& row, size_t r) {
    if (!row.verdict) return;
    if (*row.verdict == verdict::kUnreadable) {
      Failed("after folder", "after folder",
             row.differences.empty() ? row.machine : row.differences.front().what, row.machine);
    }
    Figure& figure = verdict_block_->At("verdict", *row.verdict, *row.verdict);
    ++figure.count;
    std::string differences;
    for (const Difference& difference : row.differences) {
      differences += (differences.empty() ? "" : "; ") + DifferenceText(difference);
    }
    figure.Under(differences.empty() ? "no differences" : differences, row.machine, r);
  }

  void CountWarnings(const FleetRow& row, size_t r) {
    if (row.warnings.empty()) return;
    Add(any_warning_->figures[0], row.machine);
    // A machine counts once per kind, however many warnings of it.
    std::vector<std::string_view> counted;
    for (const Warning& warning : row.warnings) {
      Figure& kind = warning_kinds_->At("warnings", warning.kind, warning.kind);
      if (std::find(counted.begin(), counted.end(), warning.kind) == counted.end()) {
        ++kind.count;
        counted.push_back(warning.kind);
      }
      kind.Under(warning.text, row.machine, r);
    }
  }

  void CountSetup(const FleetRow& row) {
    Add(setup_kind_->At("setup", row.setup, row.setup), row.machine);
    if (row.setup != "none") {
      const std::string& name = row.response_file.empty() ? "plain" : row.response_file;
      Add(response_->At("response", name, name), row.machine);
    }
    if (row.setup == "silent" && !row.response_file_staged) {
      Add(missing_->figures[0], row.machine);
      Add(missing_->At("missing", row.response_file, row.response_file), row.machine);
    }
  }

  void CountSettings(const FleetRow& row, size_t r) {
    for (size_t i = 0; i < kRowSettingCount; ++i) {
      const SettingCells& cells = row.settings[i];
      const std::string value = SettingValue(cells.after);
      Add(settings_.blocks[2 * i].At(kRowSettings[i], value, "= " + value), row.machine);
      // Machines under from what to what.
      const auto mark = [&](size_t which) {
        Figure& what = settings_.blocks[2 * i + 1].figures[which];
        ++what.count;
        what.Under(SettingValue(cells.before) + " \xE2\x86\x92 " + value, row.machine, r);
      };
      if (cells.after != cells.before) mark(0);
      if (cells.why == "carried") mark(1);
      if (cells.why == "option" && cells.before && cells.before != cells.after) mark(2);
    }
  }

  void CountKit(const FleetRow& row, size_t r) {
    if (row.release || row.not_released || row.kit_log) kit_shown_ = true;
    if (row.release) {
      Figure& figure = releases_->figures[0];
      ++figure.count;
      figure.Under("release " + *row.release, row.machine, r);
    } else if (row.not_released) {
      Figure& figure = releases_->figures[1];
      ++figure.count;
      figure.Under(*row.not_released, row.machine, r);
    }
    if (row.kit_log || row.release) {
      const std::string word = row.kit_log ? LogWord(*row.kit_log) : "";
      Add(steps_->At("step", word.empty() ? "none" : word, word.empty() ? "no logon yet" : word),
          row.kit_log ? row.machine + ": " + *row.kit_log : row.machine);
    }
  }

  void Sort() {
    for (size_t i = 0; i < kRowSettingCount; ++i) settings_.blocks[2 * i].SortByCount();
    response_->SortByCount();
    missing_->SortByCount(1);
    warning_kinds_->SortByCount();
    other_windows_->SortByCount();
    tail_block_->SortByCount();
  }

  std::vector<const Section*> Shown() const {
    std::vector<const Section*> sections = {&machines_};
    if (verdicts_) sections.push_back(&after_);
    if (kit_shown_) sections.push_back(&kit_);
    for (const Section* section :
         {&warnings_, &setup_, &family_, &install_, &settings_, &leftovers_, &tails_}) {
      sections.push_back(section);
    }
    return sections;
  }

  void WriteHead(const FleetPageInfo& info, std::string* out) const;
  void WriteTiles(size_t total, std::string* out) const;
  static void WriteSection(const Section& section, std::string* out);

  size_t planned_ = 0;
  bool verdicts_ = false;
  bool kit_shown_ = false;
  Section machines_, after_, warnings_, setup_, family_, settings_, install_, leftovers_, kit_,
      tails_;
  // Blocks of the sections that rows add to (a section's blocks stay where
  // they are as more are added).
  Block *outcome_, *failed_by_, *verdict_block_, *any_warning_, *warning_kinds_, *setup_kind_,
      *response_, *missing_, *families_, *other_windows_, *install_type_, *marker_, *adapters_,
      *releases_, *steps_, *tail_block_;
};

void Page::WriteHead(const FleetPageInfo& info, std::string* out) const {
  const std::string title = info.title.empty() ? "Fleet plan" : info.title;
  *out += "<!DOCTYPE html>\n<html lang=en>\n<head>\n<meta charset=utf-8>\n"
          "<meta name=viewport content=\"width=device-width, initial-scale=1\">\n<title>";
  Escape(title, out);
  *out += "</title>\n<style>\n";
  *out += kFleetPageCss;
  *out += "</style>\n</head>\n<body>\n<h1>";
  Escape(title, out);
  *out += "</h1>\n";
  if (!info.generated_from.empty()) {
    *out += "<p class=from>" + Escaped(info.generated_from) + "</p>\n";
  }
  for (const std::string& note : info.notes) *out += "<p class=notice>" + Escaped(note) + "</p>\n";
}

// The headline: what needs attention, each a link to its section.
void Page::WriteTiles(size_t total, std::string* out) const {
  const auto tile = [&](const char* id, size_t n, const char* what, Tone tone) {
    *out += std::string("<a href=\"#") + id + "\" class=\"" + (n > 0 ? ToneClass(tone) : "") +
            "\"><b>" + Grouped(n) + "</b>" + what + "</a>\n";
  };
  *out += "<nav class=tiles>\n";
  tile("machines", total, "machines", Tone::kPlain);
  tile("machines", planned_, "planned", Tone::kGood);
  tile("machines", outcome_->figures[1].count, "failed", Tone::kBad);
  if (verdicts_) {
    size_t as_planned = 0, to_look_at = 0;
    for (const Figure& figure : verdict_block_->figures) {
      const Tone tone = figure.tone.value_or(Tone::kPlain);
      if (tone == Tone::kGood) as_planned += figure.count;
      if (tone == Tone::kBad || tone == Tone::kWarn) to_look_at += figure.count;
    }
    tile("verdicts", as_planned, "as planned after the rollout", Tone::kGood);
    tile("verdicts", to_look_at, "to look at after the rollout", Tone::kBad);
  }
  tile("warnings", any_warning_->figures[0].count, "with warnings", Tone::kWarn);
  tile("setup", missing_->figures[0].count, "response file missing", Tone::kBad);
  tile("marker", marker_->figures[0].count, "marker key left", Tone::kWarn);
  *out += "</nav>\n";
}

void Page::WriteSection(const Section& section, std::string* out) {
  *out += "<section id=" + section.id + (section.wide ? " class=wide" : "") + ">\n<h2>" +
          Escaped(section.title) + "</h2>\n";
  if (!section.note.empty()) *out += "<p class=note>" + Escaped(section.note) + "</p>\n";
  if (section.columns) *out += "<div class=cols>\n<div>\n";
  bool first = true;
  for (const Block& block : section.blocks) {
    if (section.columns && !block.title.empty() && !first) *out += "</div>\n<div>\n";
    first = false;
    *out += block.title.empty() ? "<div class=gap></div>\n" : "<h3>" + Escaped(block.title) + "</h3>\n";
    for (const Figure& figure : block.figures) RenderFigure(figure, block, section.scale, out);
  }
  if (section.columns) *out += "</div>\n</div>\n";
  *out += "</section>\n";
}

std::string Page::Write(const FleetPageInfo& info, size_t total) const {
  const std::vector<const Section*> sections = Shown();
  std::string out;
  out.reserve(4096 + total * 160);
  WriteHead(info, &out);
  WriteTiles(total, &out);
  out += "<nav class=toc>";
  for (const Section* section : sections) {
    out += "<a href=\"#" + section->id + "\">" + Escaped(section->title) + "</a>";
  }
  out += "</nav>\n";
  out += "<p class=note>Click a line for its machines. Counts are of the planned "
         "machines, except under Machines; bars are shares of them.</p>\n";
  out += "<main>\n";
  for (const Section* section : sections) WriteSection(*section, &out);
  out += "</main>\n</body>\n</html>\n";
  return out;
}

}  // namespace

std::string FleetPage(const std::vector<FleetRow>& rows, const FleetPageInfo& info) {
  return Page(rows).Write(info, rows.size());
}

}  // namespace preview
