#include "preview/output/fleet_page.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <string_view>

#include "preview/fleet/releases.h"
#include "preview/fleet/verify.h"
#include "preview/output/verify_text.h"

namespace preview {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at text[i] (lead byte 0x80
// or above), or 0.
size_t Utf8Length(std::string_view text, size_t i) {
  const auto at = [&](size_t k) -> unsigned {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
  };
  const auto tail = [](unsigned c) { return c >= 0x80 && c <= 0xBF; };
  const unsigned c = at(0);
  if (c >= 0xC2 && c <= 0xDF) return tail(at(1)) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    const unsigned low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
    return at(1) >= low && at(1) <= high && tail(at(2)) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
    return at(1) >= low && at(1) <= high && tail(at(2)) && tail(at(3)) ? 4 : 0;
  }
  return 0;
}

// Names, errors and values come from the field: markup, quotes, bytes that
// are no UTF-8 and control characters all end up as plain text, in text and
// in attributes alike. Line ends are ours only (they separate machines).
void Escape(std::string_view text, std::string* out) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      size_t n = Utf8Length(text, i);
      // C1 controls (U+0080 to U+009F) are no text either.
      if (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) n = 0;
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

const char* const kStyle = R"(
:root{--ink:#1f2933;--muted:#616e7c;--line:#d9dee4;--back:#f4f6f8;--bar:#3a6ea5;--bad:#b83227;--warn:#a86b00;--good:#2f7d4f}
*{box-sizing:border-box}
body{margin:0 auto;max-width:1200px;padding:24px 32px 48px;font:15px/1.45 system-ui,"Segoe UI","DejaVu Sans",Arial,sans-serif;color:var(--ink);background:var(--back)}
h1{font-size:26px;margin:0 0 2px}
.from{color:var(--muted);margin:0 0 16px;overflow-wrap:anywhere}
.notice{color:var(--warn);margin:-8px 0 12px;overflow-wrap:anywhere}
.tiles{display:flex;flex-wrap:wrap;gap:10px;margin:0 0 10px}
.tiles a{flex:1 1 140px;background:#fff;border:1px solid var(--line);border-radius:8px;padding:8px 14px;color:var(--muted);text-decoration:none}
.tiles a:hover{border-color:var(--bar)}
.tiles b{display:block;font-size:24px;color:var(--ink);font-variant-numeric:tabular-nums}
.tiles a.bad b{color:var(--bad)}.tiles a.warn b{color:var(--warn)}.tiles a.good b{color:var(--good)}
.toc{margin:0 0 8px;color:var(--muted)}
.toc a{color:var(--bar);margin-right:14px;text-decoration:none}
.toc a:hover{text-decoration:underline}
main{display:grid;grid-template-columns:repeat(auto-fit,minmax(520px,1fr));gap:14px;margin-top:14px}
section{background:#fff;border:1px solid var(--line);border-radius:8px;padding:12px 18px 14px;min-width:0}
section.wide{grid-column:1/-1}
.cols{display:grid;grid-template-columns:repeat(auto-fit,minmax(460px,1fr));column-gap:36px}
h2{font-size:18px;margin:0}
.note{color:var(--muted);font-size:13px;margin:2px 0 0}
h3{font-size:14px;font-weight:600;color:#3e4c59;margin:14px 0 2px;padding-bottom:2px;border-bottom:1px solid #edf0f3}
.f>summary,div.f{display:grid;grid-template-columns:minmax(8em,1.1fr) 4.5em minmax(5em,1fr) 4em;gap:12px;align-items:center;padding:2px 8px;border-radius:4px}
summary{cursor:pointer;list-style:none}
summary::-webkit-details-marker{display:none}
summary:hover{background:#eaf0f6}
.k{overflow-wrap:anywhere}
.f>summary>.k::before{content:"\25B8";display:inline-block;width:1.1em;color:var(--muted)}
.f[open]>summary>.k::before{content:"\25BE"}
div.f>.k{padding-left:1.1em;color:var(--muted)}
.n{text-align:right;font-weight:600;font-variant-numeric:tabular-nums}
div.f>.n{font-weight:400;color:var(--muted)}
.p{text-align:right;color:var(--muted);font-size:13px;font-variant-numeric:tabular-nums}
svg{display:block;width:100%;height:10px;background:#e9edf1;border-radius:2px}
rect{fill:var(--bar)}
.bad rect{fill:var(--bad)}.warn rect{fill:var(--warn)}.good rect{fill:var(--good)}
.gap{height:6px}
.m{max-height:22em;overflow:auto;margin:2px 8px 10px 26px;padding:8px 12px;background:var(--back);border-radius:4px;font:13px/1.5 "DejaVu Sans Mono",Consolas,monospace}
.m>div{white-space:pre-wrap;columns:14em;column-gap:24px}
.m>pre{margin:0;white-space:pre-wrap;overflow-wrap:anywhere;font:inherit}
)";

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

}  // namespace

std::string FleetPage(const std::vector<FleetRow>& rows, const FleetPageInfo& info) {
  const size_t total = rows.size();
  size_t planned = 0;
  bool verdicts = false;
  for (const FleetRow& row : rows) {
    planned += row.failed ? 0 : 1;
    verdicts = verdicts || (!row.failed && row.verdict);
  }

  // The sections in the order an administrator reads them; figures of
  // fixed values are made first so that their zeros show too.
  Section machines{"machines", "Machines", "", total, {}};
  Block& outcome = machines.blocks.emplace_back();
  outcome.At("machines", "planned", "planned").count = planned;
  outcome.At("machines", "failed", "failed").tone = Tone::kBad;
  Block& failed_by = machines.blocks.emplace_back();
  failed_by.title = "Failed, by what could not be read";
  failed_by.tone = Tone::kBad;
  failed_by.messages = true;
  for (const char* kind : {"folder", "ver.txt", ".reg file"}) failed_by.At("failed", kind, kind);
  if (verdicts) failed_by.At("failed", "after folder", "after folder");

  Section after{"verdicts", "Verdicts after the rollout",
                  "As planned: the setup was started and every setting is as planned. "
                  "No setup: as planned, but nothing installed there.",
                  planned, {}};
  Block& verdict_block = after.blocks.emplace_back();
  verdict_block.messages = true;
  for (const VerdictTone& v : kVerdictTones) {
    verdict_block.At("verdict", v.verdict, v.verdict).tone = v.tone;
  }

  Section warnings{"warnings", "Warnings",
                   "Machines with at least one warning of the kind, under what it says.",
                   planned, {}};
  Block& any_warning = warnings.blocks.emplace_back();
  any_warning.tone = Tone::kWarn;
  any_warning.At("warnings", "any", "any warning");
  Block& warning_kinds = warnings.blocks.emplace_back();
  warning_kinds.title = "By kind";
  warning_kinds.tone = Tone::kWarn;
  warning_kinds.messages = true;

  Section setup{"setup", "Setup", "", planned, {}};
  Block& setup_kind = setup.blocks.emplace_back();
  setup_kind.title = "How it starts";
  for (const char* kind : {"silent", "interactive", "none"}) setup_kind.At("setup", kind, kind);
  Block& response = setup.blocks.emplace_back();
  response.title = "Response file (plain: none)";
  Block& missing = setup.blocks.emplace_back();
  missing.title = "Silent, but the response file is missing";
  missing.tone = Tone::kBad;
  missing.At("missing", "any", "any response file");

  Section family{"family", "Windows family", "", planned, {}};
  Block& families = family.blocks.emplace_back();
  for (const char* name : {"9x", "2000", "xp", "other"}) families.At("family", name, name);
  Block& other_windows = family.blocks.emplace_back();
  other_windows.title = "Other: Windows the launcher has no setup for";
  family.wide = false;

  Section settings{"settings", "Client settings after the run",
                   "Changed: after differs from before. Carried over: from an older "
                   "installation. Overwritten: the option replaced a different value.",
                   planned, {}};
  settings.columns = true;
  // Per setting: its values after the run, then what the run did to it.
  for (const char* name : kRowSettings) {
    settings.blocks.emplace_back().title = name;
    Block& done = settings.blocks.emplace_back();
    done.messages = true;
    done.At("changed", name, "changed");
    done.At("carried", name, "carried over");
    done.At("overwritten", name, "overwritten");
  }

  Section install{"install", "Install type, where asked", "", planned, {}};
  Block& install_type = install.blocks.emplace_back();
  for (const char* type : {"full", "driver only"}) install_type.At("install", type, type);
  install.wide = false;

  Section leftovers{"marker", "Marker key and adapters", "", planned, {}};
  Block& marker = leftovers.blocks.emplace_back();
  marker.tone = Tone::kWarn;
  marker.At("marker", "left", "marker key left");
  Block& adapters = leftovers.blocks.emplace_back();
  adapters.messages = true;
  adapters.At("adapters", "tuned", "adapters tuned");

  Section kit{"kit", "Rollout kit",
              "Releases in the kit, and what each machine's last logon did (its log).",
              planned, {}};
  Block& releases = kit.blocks.emplace_back();
  releases.title = "Releases";
  releases.messages = true;
  releases.At("release", "released", "released");
  releases.At("release", "not released", "not released").tone = Tone::kWarn;
  Block& steps = kit.blocks.emplace_back();
  steps.title = "Last logon";
  steps.messages = true;
  for (const KitStep& step : kKitSteps) steps.At("step", step.word, step.label).tone = step.tone;
  bool kit_shown = false;

  Section tails{"tails", "Command-line tails", "", planned, {}};
  leftovers.wide = tails.wide = false;
  Block& tail_block = tails.blocks.emplace_back();

  for (size_t r = 0; r < rows.size(); ++r) {
    const FleetRow& row = rows[r];
    const std::string& machine = row.machine;
    if (row.failed) {
      Figure& kind = failed_by.At(
          "failed", row.error_kind, row.error_kind.empty() ? "(unknown)" : row.error_kind);
      ++kind.count;
      kind.Line(row.error.empty() ? machine : row.error);
      Figure& all = outcome.figures[1];
      ++all.count;
      all.Line(machine);
      continue;
    }
    outcome.figures[0].Line(machine);

    if (row.verdict && *row.verdict == verdict::kUnreadable) {
      Figure& kind = failed_by.At("failed", "after folder", "after folder");
      ++kind.count;
      kind.Line(row.differences.empty() ? machine : row.differences.front().what);
      Figure& all = outcome.figures[1];
      ++all.count;
      all.Line(machine);
    }
    if (row.verdict) {
      Figure& figure = verdict_block.At("verdict", *row.verdict, *row.verdict);
      ++figure.count;
      std::string differences;
      for (const Difference& difference : row.differences) {
        differences += (differences.empty() ? "" : "; ") + DifferenceText(difference);
      }
      figure.Under(differences.empty() ? "no differences" : differences, machine, r);
    }

    if (!row.warnings.empty()) {
      Figure& any = any_warning.figures[0];
      ++any.count;
      any.Line(machine);
      // A machine counts once per kind, however many warnings of it.
      std::vector<std::string_view> counted;
      for (const Warning& warning : row.warnings) {
        Figure& kind = warning_kinds.At("warnings", warning.kind, warning.kind);
        if (std::find(counted.begin(), counted.end(), warning.kind) == counted.end()) {
          ++kind.count;
          counted.push_back(warning.kind);
        }
        kind.Under(warning.text, machine, r);
      }
    }

    Figure& setup_figure = setup_kind.At("setup", row.setup, row.setup);
    ++setup_figure.count;
    setup_figure.Line(machine);
    if (row.setup != "none") {
      const std::string& name = row.response_file.empty() ? "plain" : row.response_file;
      Figure& figure = response.At("response", name, name);
      ++figure.count;
      figure.Line(machine);
    }
    if (row.setup == "silent" && !row.response_file_staged) {
      Figure& any = missing.figures[0];
      ++any.count;
      any.Line(machine);
      Figure& figure = missing.At("missing", row.response_file, row.response_file);
      ++figure.count;
      figure.Line(machine);
    }

    Figure& family_figure = families.At("family", row.family, row.family);
    ++family_figure.count;
    family_figure.Line(machine);
    if (row.family == "other") {
      Figure& figure = other_windows.At("windows", row.windows, row.windows);
      ++figure.count;
      figure.Line(machine);
    }

    for (size_t i = 0; i < kRowSettingCount; ++i) {
      const SettingCells& cells = row.settings[i];
      const std::string value = SettingValue(cells.after);
      Figure& figure = settings.blocks[2 * i].At(kRowSettings[i], value, "= " + value);
      ++figure.count;
      figure.Line(machine);
      // Machines under from what to what.
      const auto mark = [&](size_t which) {
        Figure& what = settings.blocks[2 * i + 1].figures[which];
        ++what.count;
        what.Under(SettingValue(cells.before) + " \xE2\x86\x92 " + value, machine, r);
      };
      if (cells.after != cells.before) mark(0);
      if (cells.why == "carried") mark(1);
      if (cells.why == "option" && cells.before && cells.before != cells.after) mark(2);
    }

    if (!row.install_type.empty()) {
      Figure& figure = install_type.At("install", row.install_type, row.install_type);
      ++figure.count;
      figure.Line(machine);
    }
    if (row.marker_left) {
      ++marker.figures[0].count;
      marker.figures[0].Line(machine);
    }
    if (!row.adapters_tuned.empty()) {
      Figure& figure = adapters.figures[0];
      ++figure.count;
      std::string keys = "adapter keys";
      for (const std::string& name : row.adapters_tuned) keys += " " + name;
      figure.Under(keys, machine, r);
    }
    if (row.release || row.not_released || row.kit_log) kit_shown = true;
    if (row.release) {
      Figure& figure = releases.figures[0];
      ++figure.count;
      figure.Under("release " + *row.release, machine, r);
    } else if (row.not_released) {
      Figure& figure = releases.figures[1];
      ++figure.count;
      figure.Under(*row.not_released, machine, r);
    }
    if (row.kit_log || row.release) {
      const std::string word = row.kit_log ? LogWord(*row.kit_log) : "";
      Figure& figure = steps.At("step", word.empty() ? "none" : word, word.empty() ? "no logon yet" : word);
      ++figure.count;
      figure.Line(row.kit_log ? machine + ": " + *row.kit_log : machine);
    }
    Figure& tail = tail_block.At("tail", row.tail, row.tail.empty() ? "(empty)" : row.tail);
    ++tail.count;
    tail.Line(machine);
  }

  for (size_t i = 0; i < kRowSettingCount; ++i) settings.blocks[2 * i].SortByCount();
  response.SortByCount();
  missing.SortByCount(1);
  warning_kinds.SortByCount();
  other_windows.SortByCount();
  tail_block.SortByCount();

  std::vector<Section*> sections = {&machines};
  if (verdicts) sections.push_back(&after);
  if (kit_shown) sections.push_back(&kit);
  for (Section* section : {&warnings, &setup, &family, &install, &settings, &leftovers, &tails}) {
    sections.push_back(section);
  }

  const std::string title = info.title.empty() ? "Fleet plan" : info.title;
  std::string out;
  out.reserve(4096 + total * 160);
  out += "<!DOCTYPE html>\n<html lang=en>\n<head>\n<meta charset=utf-8>\n"
         "<meta name=viewport content=\"width=device-width, initial-scale=1\">\n<title>";
  Escape(title, &out);
  out += "</title>\n<style>";
  out += kStyle;
  out += "</style>\n</head>\n<body>\n<h1>";
  Escape(title, &out);
  out += "</h1>\n";
  if (!info.generated_from.empty()) out += "<p class=from>" + Escaped(info.generated_from) + "</p>\n";
  for (const std::string& note : info.notes) out += "<p class=notice>" + Escaped(note) + "</p>\n";

  // The headline: what needs attention, each a link to its section.
  const auto tile = [&](const char* id, size_t n, const char* what, Tone tone) {
    out += std::string("<a href=\"#") + id + "\" class=\"" + (n > 0 ? ToneClass(tone) : "") +
           "\"><b>" + Grouped(n) + "</b>" + what + "</a>\n";
  };
  out += "<nav class=tiles>\n";
  tile("machines", total, "machines", Tone::kPlain);
  tile("machines", planned, "planned", Tone::kGood);
  tile("machines", outcome.figures[1].count, "failed", Tone::kBad);
  if (verdicts) {
    size_t as_planned = 0, to_look_at = 0;
    for (const Figure& figure : verdict_block.figures) {
      const Tone tone = figure.tone.value_or(Tone::kPlain);
      if (tone == Tone::kGood) as_planned += figure.count;
      if (tone == Tone::kBad || tone == Tone::kWarn) to_look_at += figure.count;
    }
    tile("verdicts", as_planned, "as planned after the rollout", Tone::kGood);
    tile("verdicts", to_look_at, "to look at after the rollout", Tone::kBad);
  }
  tile("warnings", any_warning.figures[0].count, "with warnings", Tone::kWarn);
  tile("setup", missing.figures[0].count, "response file missing", Tone::kBad);
  tile("marker", marker.figures[0].count, "marker key left", Tone::kWarn);
  out += "</nav>\n<nav class=toc>";
  for (const Section* section : sections) {
    out += "<a href=\"#" + section->id + "\">" + Escaped(section->title) + "</a>";
  }
  out += "</nav>\n";
  out += "<p class=note>Click a line for its machines. Counts are of the planned "
         "machines, except under Machines; bars are shares of them.</p>\n";

  out += "<main>\n";
  for (const Section* section : sections) {
    out += "<section id=" + section->id + (section->wide ? " class=wide" : "") + ">\n<h2>" +
           Escaped(section->title) + "</h2>\n";
    if (!section->note.empty()) out += "<p class=note>" + Escaped(section->note) + "</p>\n";
    if (section->columns) out += "<div class=cols>\n<div>\n";
    bool first = true;
    for (const Block& block : section->blocks) {
      if (section->columns && !block.title.empty() && !first) out += "</div>\n<div>\n";
      first = false;
      out += block.title.empty() ? "<div class=gap></div>\n" : "<h3>" + Escaped(block.title) + "</h3>\n";
      for (const Figure& figure : block.figures) {
        RenderFigure(figure, block, section->scale, &out);
      }
    }
    if (section->columns) out += "</div>\n</div>\n";
    out += "</section>\n";
  }
  out += "</main>\n</body>\n</html>\n";
  return out;
}

}  // namespace preview
