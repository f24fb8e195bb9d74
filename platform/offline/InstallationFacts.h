#pragma once
// What an installation's hives say about it, read from the hive files before it becomes a
// machine (the user's hives are found through them):
//   SYSTEM\Select "Current" (REG_DWORD)         the control set CurrentControlSet stands for,
//                                               "ControlSet%03u", when the hive has that set
//   SYSTEM\<set>\Control\ComputerName\ComputerName "ComputerName"
//   SYSTEM\<set>\Control\Session Manager\Environment "PROCESSOR_ARCHITECTURE" (AMD64, x86)
//   SOFTWARE\Microsoft\Windows NT\CurrentVersion: the version (machine/NtVersion.h),
//       "CSDVersion", "ProductName"
//   SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList\<SID> "ProfileImagePath": the
//       users' profile folders (REG_EXPAND_SZ, "%SystemDrive%\Users\name"); the accounts of
//       the system itself (S-1-5-18, -19, -20) are no users
//   NTUSER.DAT: Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders
// A value of the wrong type or size counts as missing.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine/MachineProfile.h"
#include "platform/offline/Hive.h"

namespace offline {

inline constexpr std::string_view kCurrentVersionKey =
    "Microsoft\\Windows NT\\CurrentVersion";  // below SOFTWARE

struct UserProfile {
    std::string sid;
    // As the value holds it, variables not expanded.
    std::string imagePath;
};

struct InstallationFacts {
    // "ControlSet001"; empty when Select\Current names no set the hive has.
    std::string controlSet;
    // 0.0.0 when SOFTWARE names none.
    machine::WindowsVersion version;
    std::string servicePack;
    std::string productName;
    std::string computerName;
    std::string architecture;
    std::vector<UserProfile> users;
};

InstallationFacts ReadInstallationFacts(const Hive& software, const Hive& system);

// The control set SYSTEM\Select "Current" names ("ControlSet001") and its key, when the hive
// has it; CurrentControlSet stands for it.
struct ControlSet {
    std::string name;
    NodeRef node = 0;
};
std::optional<ControlSet> CurrentControlSet(const Hive& system);

// The user's special folders by shell name ("Personal" -> "C:\Users\alice\Documents").
std::map<std::string, std::string> ReadShellFolders(const Hive& user);

// The key below `from` that a backslash-separated path names.
std::optional<NodeRef> FindKey(const Hive& hive, NodeRef from, std::string_view path);
// The text of a value of a string type up to its first NUL; nullopt for another type.
std::optional<std::string> TextOf(const RawValue& value);
// A string value up to its first NUL; nullopt when missing or of another type.
std::optional<std::string> StringValue(const Hive& hive, NodeRef key, std::string_view name);
std::optional<std::uint32_t> DwordValue(const Hive& hive, NodeRef key, std::string_view name);

}  // namespace offline
