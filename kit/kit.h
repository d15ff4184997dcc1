// KIT.EXE, the rollout kit's helper: what a login script of Windows 95 to
// XP cannot do itself. Commands (blank-separated words of the tail):
//   state [KITDIR [NAME]]       `set` lines for the script to call
//   step                        only those the login script needs
//   mark started|done [ID]      the machine's local mark of a release
//   collect DIR|before|after    the registry exports and staged.txt
//   log FILE NAME WORD [TEXT]   one dated line appended to FILE
//   log WORD                    the same in DROP\log\<NAME>.TXT
// Without KITDIR, the kit is the folder KIT.EXE lies in; its KIT.INI names
// the drop share (drop=...) that "before", "after" and "log WORD" go to,
// and REL\<NAME>.TXT the release ("mark" without ID takes its id).
// Exit code 0 on success, 1 on failure with one line on standard error.
#pragma once

#include "kit/workspace.h"

namespace kit {

int KitMain(const char* tail, Workspace& work);

}  // namespace kit
