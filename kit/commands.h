// The kit's commands, each given its words already split and checked for
// length. Each returns the exit code.
#pragma once

#include "kit/workspace.h"

namespace kit {

// Path buffers of the kit: Windows' MAX_PATH.
constexpr unsigned long kPathCapacity = 260;

// brief: only KNAME, KTAIL and KSTEP, what the login script needs, as
// Windows 9x keeps little room for variables.
int StateCommand(const char* kit_dir, const char* name, bool brief, Workspace& work);
int MarkCommand(const char* which, const char* id);
int CollectCommand(const char* folder, Workspace& work);
int LogCommand(const char* file, const char* name, const char* word,
               const char* text, unsigned long text_length, Workspace& work);

// The short forms the kit's login script uses (this machine, its drop
// share and release): collect before|after, log WORD, mark started|done.
int CollectStep(const char* which, Workspace& work);
int LogStep(const char* word, Workspace& work);
int MarkStep(const char* which, Workspace& work);

// Writes "kit: " and the pieces as one line to standard error; returns 1.
int Fail(const char* a, const char* b = "", const char* c = "",
         const char* d = "");

}  // namespace kit
