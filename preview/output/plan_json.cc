// The plan as one JSON object, for scripts.
#include <cstdio>
#include <optional>

#include "launcher/options.h"
#include "platform/memory_utf16.h"
#include "preview/exports/unicode.h"
#include "preview/exports/windows_version.h"
#include "preview/machine/registry_text.h"
#include "preview/machine/run_facts.h"
#include "preview/output/plan_output.h"

namespace preview {

namespace {

using json = nlohmann::ordered_json;

// The value's text up to its first zero, as Unicode.
std::u16string UnicodeText(const memory::StoredValue& value, const CodePage& code_page) {
  std::u16string text = memory::CurrentTextStorage() == memory::TextStorage::kUtf16
                            ? memory::FromLittleEndian(value.data)
                            : code_page.ToUtf16(value.data);
  return text;
}

// REG_SZ and REG_EXPAND_SZ as text, REG_MULTI_SZ as a list of texts,
// a four-byte REG_DWORD as a number; null for anything else, which "hex"
// then gives.
json Data(const memory::StoredValue& value, const CodePage& code_page) {
  switch (value.type) {
    case 1:
    case 2: {
      std::u16string text = UnicodeText(value, code_page);
      const size_t end = text.find(u'\0');
      if (end != std::u16string::npos) text.resize(end);
      return Utf8(text);
    }
    case 7: {
      json list = json::array();
      std::u16string text = UnicodeText(value, code_page);
      size_t from = 0;
      while (from < text.size()) {
        const size_t end = text.find(u'\0', from);
        if (end == from) break;  // the empty string that ends the list
        list.push_back(Utf8(text.substr(from, end - from)));
        if (end == std::u16string::npos) break;
        from = end + 1;
      }
      return list;
    }
    case 4:
      if (value.data.size() == 4) {
        unsigned long number = 0;
        for (int i = 3; i >= 0; --i) {
          number = number << 8 | static_cast<unsigned char>(value.data[i]);
        }
        return number;
      }
      return nullptr;
    default:
      return nullptr;
  }
}

const char* OpName(Change::Op op) {
  switch (op) {
    case Change::Op::kCreateKey: return "create_key";
    case Change::Op::kSetValue: return "set_value";
    case Change::Op::kDeleteValue: return "delete_value";
    case Change::Op::kDeleteKey: return "delete_key";
  }
  return "";
}

std::string Hex32(unsigned long word) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", word);
  return text;
}

json Optional(const std::optional<std::string>& text, const CodePage& code_page) {
  if (!text) return nullptr;
  return Utf8FromAnsi(*text, code_page);
}

json Names(const std::vector<std::string>& names, const CodePage& code_page) {
  json list = json::array();
  for (const std::string& name : names) list.push_back(Utf8FromAnsi(name, code_page));
  return list;
}

}  // namespace

nlohmann::ordered_json ChangesJson(const std::vector<Change>& changes, const CodePage& code_page,
                                   const Plan* plan) {
  json list = json::array();
  // Changes without their plan read in the current machine's storage form.
  std::optional<memory::UseMachine> use;
  if (plan != nullptr) use.emplace(*plan->machine);
  const KeyIndex before_keys = plan != nullptr ? IndexOf(plan->before) : KeyIndex();
  const std::optional<Reasons> reasons =
      plan != nullptr ? std::optional<Reasons>(plan->journal) : std::nullopt;
  for (const Change& change : changes) {
    json item;
    item["op"] = OpName(change.op);
    item["key"] = KeyText(change.root, StoredUtf8(change.path, code_page));
    item["name"] = nullptr;
    item["type"] = nullptr;
    item["data"] = nullptr;
    item["hex"] = nullptr;
    if (change.op == Change::Op::kSetValue || change.op == Change::Op::kDeleteValue) {
      // regedit's name for a key's default value; null names a key's own change.
      item["name"] = change.value.name.empty() ? "@" : StoredUtf8(change.value.name, code_page);
    }
    if (change.op == Change::Op::kSetValue) {
      item["type"] = TypeName(change.value.type);
      item["data"] = Data(change.value, code_page);
      item["hex"] = HexBytes(memory::ProgramData(change.value));
    }
    if (plan != nullptr) {
      const memory::StoredValue* before =
          change.op == Change::Op::kSetValue || change.op == Change::Op::kDeleteValue
              ? FindValue(before_keys, IdOf(change.root, change.path), change.value.name)
              : nullptr;
      item["before"] = before == nullptr
                           ? json(nullptr)
                           : json{{"type", TypeName(before->type)},
                                  {"data", Data(*before, code_page)},
                                  {"hex", HexBytes(memory::ProgramData(*before))}};
      item["why"] = reasons->Why(change);
    }
    list.push_back(item);
  }
  return list;
}

nlohmann::ordered_json PlanJson(const Plan& plan, const CodePage& code_page) {
  json out;
  out["windows"] = DescribeVersion(plan.version_word);
  out["version_word"] = Hex32(plan.version_word);
  out["family"] = FamilyName(plan.family);
  out["command_line"] = Utf8FromAnsi(plan.command_line, code_page);
  out["tail"] = Utf8FromAnsi(plan.tail, code_page);
  if (plan.option == launcher::kNoOption) {
    out["option"] = nullptr;
  } else {
    out["option"] = plan.option;
  }
  out["system_dir"] = Utf8FromAnsi(plan.system_dir, code_page);
  out["package_folder"] = Utf8FromAnsi(plan.package_folder, code_page);
  out["staging_folder"] = plan.staging_folder.empty()
                              ? json(nullptr)
                              : json(Utf8FromAnsi(plan.staging_folder, code_page));
  std::vector<std::string> staged;
  for (const StagedFile& file : plan.staged) staged.push_back(file.name);
  out["staged"] = Names(staged, code_page);
  out["missing"] = Names(plan.missing, code_page);
  out["response"] = plan.family == launcher::Family::kOther
                        ? json(nullptr)
                        : json(ResponseName(plan.response));
  out["response_file"] = Optional(plan.response_file, code_page);
  out["response_file_staged"] = plan.response_staged;
  if (plan.full_install) {
    out["install_type"] = *plan.full_install ? "full" : "driver only";
  } else {
    out["install_type"] = nullptr;
  }
  // The command tried, and the command started (null when the start fails).
  out["setup_attempt"] = Optional(plan.setup_command, code_page);
  out["setup_command"] = plan.setup_started ? Optional(plan.setup_command, code_page)
                                            : json(nullptr);
  out["setup_starts"] = plan.setup_started;
  out["waits"] = plan.waits;
  out["write_block_size_adapters"] = Names(plan.adapters_tuned, code_page);
  out["changes"] = ChangesJson(plan.changes, code_page, &plan);
  return out;
}

}  // namespace preview
