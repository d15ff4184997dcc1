// The command line: blank-separated words, no quoting (the kit's paths have
// no blanks), commands in any letter case.
#include "kit/commands.h"
#include "kit/kit.h"
#include "kit/writer.h"
#include "platform/kit_platform.h"

namespace kit {

namespace {

constexpr int kMaxWords = 5;

struct Words {
  const char* begin[kMaxWords];
  unsigned long length[kMaxWords];
  const char* after[kMaxWords];  // past the word and the blanks behind it
  int count;                     // every word, also those not kept
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void Split(const char* tail, Words* words) {
  platform::ZeroFill(words, sizeof *words);
  const char* p = tail;
  while (IsBlank(*p)) ++p;
  while (*p != 0) {
    const char* begin = p;
    while (*p != 0 && !IsBlank(*p)) ++p;
    const unsigned long length = static_cast<unsigned long>(p - begin);
    while (IsBlank(*p)) ++p;
    if (words->count < kMaxWords) {
      words->begin[words->count] = begin;
      words->length[words->count] = length;
      words->after[words->count] = p;
    }
    ++words->count;
  }
}

// Word i, terminated, into a buffer; false when it does not fit.
bool Take(const Words& words, int i, char (&out)[kPathCapacity]) {
  if (words.length[i] >= kPathCapacity) return false;
  for (unsigned long k = 0; k < words.length[i]; ++k) out[k] = words.begin[i][k];
  out[words.length[i]] = 0;
  return true;
}

int Usage() {
  return Fail("usage: KIT state [KITDIR [NAME]] | KIT step | KIT mark started|done [ID] | "
              "KIT collect before|after|DIR | KIT log WORD | KIT log FILE NAME WORD [TEXT...]");
}

}  // namespace

int Fail(const char* a, const char* b, const char* c, const char* d) {
  char buffer[512];
  Writer out = MakeWriter(platform::StandardError(), buffer, sizeof buffer);
  Put(out, "kit: ");
  Put(out, a);
  Put(out, b);
  Put(out, c);
  Put(out, d);
  Put(out, "\r\n");
  (void)Flush(out);
  return 1;
}

int KitMain(const char* tail, Workspace& work) {
  Words words;
  Split(tail, &words);
  if (words.count == 0) return Usage();
  char command[kPathCapacity];
  char first[kPathCapacity];
  char second[kPathCapacity];
  char third[kPathCapacity];
  for (int i = 0; i < words.count && i < 4; ++i) {
    char(&out)[kPathCapacity] = i == 0 ? command : i == 1 ? first : i == 2 ? second : third;
    if (!Take(words, i, out)) return Fail("an argument longer than a path");
  }
  const int arguments = words.count - 1;
  const auto is = [](const char* word, const char* what) {
    return platform::CompareNoCase(word, what) == 0;
  };
  if (is(command, "state") && arguments <= 2) {
    return StateCommand(arguments >= 1 ? first : nullptr, arguments == 2 ? second : nullptr,
                        false, work);
  }
  if (is(command, "step") && arguments == 0) return StateCommand(nullptr, nullptr, true, work);
  if (is(command, "mark") && arguments == 1) return MarkStep(first, work);
  if (is(command, "mark") && arguments == 2) return MarkCommand(first, second);
  if (is(command, "collect") && arguments == 1) {
    if (is(first, "before") || is(first, "after")) return CollectStep(first, work);
    return CollectCommand(first, work);
  }
  if (is(command, "log") && arguments == 1) return LogStep(first, work);
  if (platform::CompareNoCase(command, "log") == 0 && arguments >= 3) {
    // The text is the rest of the line as given, blanks at its end dropped.
    const char* text = arguments > 3 ? words.after[3] : "";
    unsigned long length = platform::Length(text);
    while (length > 0 && IsBlank(text[length - 1])) --length;
    return LogCommand(first, second, third, text, length, work);
  }
  return Usage();
}

}  // namespace kit
