// The option table: each option's string, its settings actions on Windows
// 2000 and XP, and its response file on 9x, 2000 and XP.
#include "launcher/options.h"

namespace launcher {

namespace {

constexpr unsigned char G = kSetGina;
constexpr unsigned char S = kSetSilentLeap;
constexpr unsigned char X = kSetXRStatus;
constexpr unsigned char W4 = kSetWMode4;
constexpr unsigned char W12 = kSetWMode12;
constexpr unsigned char W13 = kSetWMode13;
constexpr unsigned char U = kEnsureGinaForUpdate;

constexpr Response P = Response::kPlain;
constexpr Response SI1 = Response::kSI1;
constexpr Response SI2 = Response::kSI2;
constexpr Response SI3 = Response::kSI3;
constexpr Response SI1XP = Response::kSI1XP;
constexpr Response SI3XP = Response::kSI3XP;
constexpr Response SI4XP = Response::kSI4XP;
constexpr Response SI5XP = Response::kSI5XP;
constexpr Response UPD = Response::kUpdate;
constexpr Response UNI = Response::kUninstall;

struct Entry {
  const char* text;
  unsigned char actions;
  Response windows_9x;
  Response windows_2000;
  Response windows_xp;
};

// Row 0 is "no option". 9x serves only the five bare silent modes; option
// 35 runs the plain GINA setter before its update, not U. Only the packed
// form below reaches the program.
constexpr Entry kEntries[kOptionCount + 1] = {
    //  text                   actions    9x    2000   XP
    {"",                       0,         P,    P,     P},      // none
    {"",                       0,         P,    P,     P},      // 1
    {"/wbs",                   0,         P,    P,     P},      // 2
    {"/S /I1",                 0,         SI1,  SI1,   SI1XP},  // 3
    {"/S /I1 /wbs",            0,         P,    SI1,   SI1XP},  // 4
    {"/S /I2",                 0,         SI2,  SI2,   SI2},    // 5
    {"/S /I2 /wbs",            0,         P,    SI2,   SI2},    // 6
    {"/S /I3",                 0,         SI3,  SI3,   SI3XP},  // 7
    {"/S /I3 /wbs",            0,         P,    SI3,   SI3XP},  // 8
    {"/S /I4",                 0,         P,    P,     SI4XP},  // 9
    {"/S /I4 /wbs",            0,         P,    P,     SI4XP},  // 10
    {"/S /I5",                 0,         P,    P,     SI5XP},  // 11
    {"/S /I5 /wbs",            0,         P,    P,     SI5XP},  // 12
    {"/S /UPDATE",             U,         UPD,  UPD,   UPD},    // 13
    {"/S /UPDATE /wbs",        U,         P,    UPD,   UPD},    // 14
    {"/S /UNINSTALL",          0,         UNI,  UNI,   UNI},    // 15
    {"/S /UNINSTALL /wbs",     0,         P,    UNI,   UNI},    // 16
    {"-gina",                  G,         P,    P,     P},      // 17
    {"-sl",                    S,         P,    P,     P},      // 18
    {"-sl /S /I1",             S,         P,    SI1,   SI1XP},  // 19
    {"-sl /S /I3",             S,         P,    SI3,   SI3XP},  // 20
    {"-gina -sl",              G | S,     P,    P,     P},      // 21
    {"-gina /S /I1",           G,         P,    SI1,   SI1XP},  // 22
    {"-gina -sl /S /I1",       G | S,     P,    SI1,   SI1XP},  // 23
    {"-gina /S /I3",           G,         P,    SI3,   SI3XP},  // 24
    {"-gina -sl /S /I3",       G | S,     P,    SI3,   SI3XP},  // 25
    {"-wm=4",                  W4,        P,    P,     P},      // 26
    {"-wm=12",                 W12,       P,    P,     P},      // 27
    {"-wm=13",                 W13,       P,    P,     P},      // 28
    {"-wm=4 /S /I1",           W4,        P,    SI1,   SI1XP},  // 29
    {"-wm=12 /S /I1",          W12,       P,    SI1,   SI1XP},  // 30
    {"-wm=13 /S /I1",          W13,       P,    SI1,   SI1XP},  // 31
    {"-wm=4 /S /I3",           W4,        P,    SI3,   SI3XP},  // 32
    {"-wm=12 /S /I3",          W12,       P,    SI3,   SI3XP},  // 33
    {"-wm=13 /S /I3",          W13,       P,    SI3,   SI3XP},  // 34
    {"-gina /S /UPDATE",       G,         P,    UPD,   UPD},    // 35
    {"-XR",                    X,         P,    P,     P},      // 36
    {"-gina -XR",              G | X,     P,    P,     P},      // 37
    {"-gina -sl -XR",          G | S | X, P,    P,     P},      // 38
    {"-XR /S /I1",             X,         P,    SI1,   SI1XP},  // 39
    {"-gina -XR /S /I1",       G | X,     P,    SI1,   SI1XP},  // 40
    {"-gina -sl -XR /S /I1",   G | S | X, P,    SI1,   SI1XP},  // 41
    {"-XR /S /I3",             X,         P,    SI3,   SI3XP},  // 42
    {"-gina -XR /S /I3",       G | X,     P,    SI3,   SI3XP},  // 43
    {"-gina -sl -XR /S /I3",   G | S | X, P,    SI3,   SI3XP},  // 44
};

constexpr unsigned long TextBytes() {
  unsigned long bytes = 0;
  for (int n = 1; n <= kOptionCount; ++n) {
    const char* c = kEntries[n].text;
    while (*c++ != 0) ++bytes;
    ++bytes;
  }
  return bytes;
}
static_assert(TextBytes() == kOptionTextBytes,
              "kOptionTextBytes must be the size of the option strings");

constexpr OptionTable Pack() {
  OptionTable table{};
  unsigned long at = 0;
  for (int n = 0; n <= kOptionCount; ++n) {
    const Entry& entry = kEntries[n];
    table.rows[n] = {entry.actions, entry.windows_9x, entry.windows_2000,
                     entry.windows_xp};
    if (n == kNoOption) continue;
    const char* c = entry.text;
    do {
      table.texts[at++] = *c;
    } while (*c++ != 0);
  }
  return table;
}

}  // namespace

extern const OptionTable kOptions = Pack();

}  // namespace launcher
