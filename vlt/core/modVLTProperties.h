// modVLTProperties: the program's only door to its stored options. Each option is a Get and
// a Let; every Get reads the registry again (nothing is cached), so a value changed by
// another window, or by hand, counts at once. Values live under HKEY_CURRENT_USER\ and
// kSettingsKey, which GlobalControls gives QzRegistry as its RegKey:
//
//   SmartCheck ShowRecommended ACM DLL DRV OCX TLB VBX VXD AllDups AutoScan Backup
//                    "Y" / "N" (REG_SZ)
//   BackupPath       the backup folder, ending in "\" (REG_SZ)
//   CompareFields    bit mask of the fields plain matching compares (REG_DWORD)
//   LastScanDateTime "yyyy-mm-dd-hh:nn:ss" of the last completed run (written by the report)
//   Exclusions\      one value per excluded folder: the name is the folder, followed by
//                    "  ***" when its subfolders are excluded too; the data is empty
//
// SmartCheck and ShowRecommended count as on only when stored as exactly "Y" (a missing value
// reads "Y"); every other option counts as on unless stored as exactly "N".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace modVLTProperties {

inline constexpr const char* kSettingsKey = "Software\\Korvane\\Velto";
inline constexpr const char* kExclusionsKey = "Software\\Korvane\\Velto\\Exclusions";
// CompareFields when nothing is stored: created date and file size (with the file version).
inline constexpr std::int32_t kDefaultCompareFields = 18;

bool SmartCheck();
void SmartCheck(bool value);
// False whenever SmartCheck reads False.
bool ShowRecommended();
void ShowRecommended(bool value);

bool ACM();
void ACM(bool value);
bool DLL();
void DLL(bool value);
bool DRV();
void DRV(bool value);
bool OCX();
void OCX(bool value);
bool TLB();
void TLB(bool value);
bool VBX();
void VBX(bool value);
bool VXD();
void VXD(bool value);
// Held for this run only (State().EXE): False at start, never stored.
bool EXE();
void EXE(bool value);

bool AllDups();
void AllDups(bool value);
// Automatic mode, stored as "AutoScan". The unattended start stores it on; it has no control
// in the main window.
bool Auto();
void Auto(bool value);
// Whether this run repairs without the review window: only the unattended run (GoScan) does,
// with Auto stored on. A stored "AutoScan" left over from an earlier -S run never takes an
// interactive scan's review away.
bool AutomaticMode();
bool Backup();
void Backup(bool value);

// The stored folder, or the program's folder (no trailing "\" unless it is a drive root).
std::string BackupPath();
// Stored with a trailing "\".
void BackupPath(const std::string& value);
std::int32_t CompareFields();
void CompareFields(std::int32_t value);

// The names stored under "Exclusions" (folders, some with the "  ***" mark) in the registry's
// order; none when there are none. nullopt when the registry could not list them all: no
// caller may scan with, or store back, a shortened list.
std::optional<std::vector<std::string>> Exclusions();

// True when the upper-cased command line holds "-S": the unattended run.
bool GoScan();

}  // namespace modVLTProperties
