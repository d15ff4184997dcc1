// KIT log: one dated line appended to a log that many machines may write
// at once, so the file is held alone while the line goes in whole.
#include "kit/commands.h"
#include "kit/writer.h"
#include "platform/kit_platform.h"

namespace kit {

namespace {

// Another machine holding the file gets this long to finish its line.
constexpr int kOpenAttempts = 40;
constexpr unsigned long kRetryMs = 250;

}  // namespace

int LogCommand(const char* file, const char* name, const char* word,
               const char* text, unsigned long text_length, Workspace& work) {
  platform::LocalTime now;
  platform::ReadLocalTime(&now);
  // Composed in the buffer alone, to go into the file in one write.
  Writer line = MakeWriter(nullptr, work.output, kOutputCapacity);
  PutDecimal(line, now.year, 4);
  PutChar(line, '-');
  PutDecimal(line, now.month, 2);
  PutChar(line, '-');
  PutDecimal(line, now.day, 2);
  PutChar(line, ' ');
  PutDecimal(line, now.hour, 2);
  PutChar(line, ':');
  PutDecimal(line, now.minute, 2);
  PutChar(line, ':');
  PutDecimal(line, now.second, 2);
  PutChar(line, ' ');
  Put(line, name);
  PutChar(line, ' ');
  Put(line, word);
  if (text_length > 0) {
    PutChar(line, ' ');
    Put(line, text, text_length);
  }
  Put(line, "\r\n");
  if (line.failed) return Fail("log: the line is too long");

  platform::File log = nullptr;
  platform::Status status = platform::kSuccess;
  for (int attempt = 1;; ++attempt) {
    status = platform::OpenForAppend(file, &log);
    const bool busy = status == platform::kErrorSharingViolation ||
                      status == platform::kErrorLockViolation;
    if (!busy || attempt == kOpenAttempts) break;
    platform::SleepMs(kRetryMs);
  }
  if (status != platform::kSuccess) return Fail("log: cannot open ", file);
  const bool written = platform::WriteBytes(log, line.buffer, line.used);
  if (!platform::CloseFile(log) || !written) return Fail("log: cannot write ", file);
  return 0;
}

}  // namespace kit
