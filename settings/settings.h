// The client settings store: option setters, carry-over of older settings
// and the install-type query. Every procedure opens, acts and closes; the
// registry is the only state.
#pragma once

namespace settings {

// Option setters: write into the settings key, creating it when missing.
void SetGinaInstallOption();           // GinaInstallOption = "1"
void SetSilentLeapOption();            // SilentLeapOption = "1"
void SetXRStatus();                    // XRstatus = "1"
void SetWModeSelect(unsigned long mode);  // wModeSelect = mode (REG_DWORD)

// Carry-over steps, in the order the carry-over runs them.
void MoveGinaInstallOption();
void EnsureGinaInstallOption();
void MoveSilentLeapOption();
void EnsureXRStatus();
void MoveWModeSelect();
// The five steps above in order.
void CarryOverSettings();

// Options 13 and 14 only: like EnsureGinaInstallOption, but a legacy "1"
// is moved too.
void EnsureGinaInstallOptionForUpdate();

// 0 when InstallOption is "Install Driver Only", else 1. Moves an
// InstallOption found only under HKEY_CURRENT_USER to HKEY_LOCAL_MACHINE.
int IsFullInstall();

}  // namespace settings
