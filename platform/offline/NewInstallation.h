#pragma once
// A small Windows installation made from nothing (velto-machine create --offline-windows, and
// the tests): the folders a real one has and hives holding what Velto reads of one, for two
// releases:
//   XP-like: WINDOWS\system32 (with dllcache, the protected copies), 32-bit, the user under
//            Documents and Settings, Windows XP Professional 5.1.2600 Service Pack 3;
//   10-like: Windows\System32 and SysWOW64 (64-bit), the component store WinSxS, the user
//            under Users, Windows 10 Pro 10.0.19045.
// Its hives: SOFTWARE (the version, ProfileList with the system's account and one user,
// SharedDLLs, a file type), SYSTEM (Select, ControlSet001 with the computer's name, the
// processor architecture and the Session Manager's key), DEFAULT, the user's NTUSER.DAT (their
// Shell Folders) and UsrClass.dat. No hiberfil.sys: Windows was shut down fully.

#include <filesystem>
#include <string>

namespace offline {

enum class Release { Xp, Ten };

struct InstallationLayout {
    std::string windowsDir;  // "C:\Windows"
    std::string systemDir;
    std::string wow64SystemDir;  // empty on 32-bit Windows
    std::string programFiles;
    std::string programFiles32;  // empty on 32-bit Windows
    std::string profileFolder;   // "C:\Users\Demo"
    std::string personal;        // the user's documents
    // Below the Windows folder: the component store (10) or below the system folder, the
    // protected copies (XP).
    std::string componentStore;
    std::string protectedCopies;
};

InstallationLayout LayoutOf(Release release);

inline constexpr const char* kNewInstallationUser = "Demo";
inline constexpr const char* kNewInstallationUserSid =
    "S-1-5-21-1004336348-1177238915-682003330-1001";

// Makes the installation in `root`, which must be an empty folder. Throws
// registry::StoreError or std::filesystem::filesystem_error.
void CreateInstallation(const std::filesystem::path& root, Release release);

}  // namespace offline
