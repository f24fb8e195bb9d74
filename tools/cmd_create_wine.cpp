// velto-machine create DIR --wine [--demo]: a Wine prefix made by Wine itself (wineboot -i),
// with Velto's program folder; --demo drops the demo's duplicates into its drive C:, where
// their setup programs would have put them (the 32-bit programs' files in SysWOW64 and
// Program Files (x86) of a 64-bit prefix, with 64-bit images of the same names beside them),
// and their use counts in the registry view of their processor; and a game's own build of
// a library Wine provides. The demo
// never replaces a file Wine made and writes only through the prefix's drive C:, so nothing
// reaches the folders Wine links to outside the prefix (the user's own Documents, say).

#include <cerrno>
#include <cstring>
#include <iostream>

#include "platform/registry/RegistryStore.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/wine/WineCommands.h"
#include "tools/imagewriter/DemoMachine.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

constexpr const char* kSharedDlls = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr const char* kSharedDlls32 =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
using Counts = std::vector<std::pair<std::string, std::uint32_t>>;

// A demo prefix needs neither desktop menu entries nor the Mono and Gecko add-ons.
const std::vector<std::pair<std::string, std::string>> kQuietWine = {
    {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"}};

std::string ParentOf(const std::string& path) {
    return path.substr(0, path.rfind('\\'));
}

// False when the file is there already.
bool WriteNew(const imagewriter::DemoFile& file) {
    if (win32::GetFileAttributesA(file.path) != win32::INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    CreateFolderTree(ParentOf(file.path));
    const std::string_view data(reinterpret_cast<const char*>(file.bytes.data()),
                                file.bytes.size());
    if (!win32::WriteFileAtomicallyA(file.path, data)) {
        Win32Failure("cannot write " + file.path);
    }
    const auto host = win32::HostPathOf(file.path);
    const timespec time{static_cast<time_t>(file.writeTime), 0};
    if (!host) {
        Win32Failure("cannot reach " + file.path);
    }
    if (const int err = win32::host::SetTimes(*host, time, time); err != 0) {
        throw std::runtime_error("cannot date " + host->string() + ": " + std::strerror(err));
    }
    return true;
}

// Writes the counts, each under its key below HKEY_LOCAL_MACHINE, in one write of system.reg.
void WriteCounts(const machine::Machine& prefix,
                 const std::vector<std::pair<std::string, Counts>>& counts) {
    const auto store = prefix.kind().OpenRegistry();
    store->transaction([&] {
        for (const auto& [keyPath, values] : counts) {
            if (values.empty()) {
                continue;
            }
            registry::KeyId key = 0;
            if (store->createKey(store->rootKey(registry::Root::LocalMachine),
                                 registry::SplitKeyNames(keyPath), key) != registry::Outcome::Ok) {
                throw std::runtime_error("cannot create HKEY_LOCAL_MACHINE\\" + keyPath);
            }
            for (const auto& [path, count] : values) {
                const std::uint8_t data[4] = {
                    static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
                    static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
                store->setValue(key, path, registry::REG_DWORD, data);
            }
        }
    });
}

void FillDemo(const machine::Machine& prefix, std::ostream& out) {
    const auto& profile = prefix.profile();
    imagewriter::DemoLayout layout;
    layout.windowsDir = profile.windowsDir();
    layout.systemDir = profile.systemDir();
    layout.wow64SystemDir = profile.windowsDir() + "\\syswow64";
    layout.programFiles = "C:\\Program Files";
    layout.programFiles32 = "C:\\Program Files (x86)";
    // Wine links the user's Documents to the host's home folder; the public one is the prefix's.
    layout.personal = "C:\\users\\Public\\Documents";
    // The demo's programs are 32-bit ones: on a 64-bit Windows their setup programs put them
    // where 32-bit programs go (SysWOW64, Program Files (x86)) and count them in the 32-bit
    // registry view.
    const bool win64 = profile.processorView(machine::kProcessorX64).has_value();
    imagewriter::DemoLayout programs32 = layout;
    if (win64) {
        programs32.systemDir = layout.wow64SystemDir;
        programs32.programFiles = layout.programFiles32;
    }
    auto files = imagewriter::DemoFiles(programs32);
    Counts counts32 = imagewriter::DemoSharedDllCounts(programs32);
    Counts counts64;
    if (win64) {
        for (auto& file : imagewriter::DemoMixedProcessorFiles(layout)) {
            files.push_back(std::move(file));
        }
        counts64.emplace_back(layout.systemDir + "\\QUILLRT.DLL", 2);
        counts32.emplace_back(layout.wow64SystemDir + "\\QUILLRT.DLL", 1);
    }
    for (auto& file : imagewriter::DemoGameFiles("C:\\Games", win64)) {
        files.push_back(std::move(file));
    }
    std::size_t written = 0;
    for (const auto& file : files) {
        written += WriteNew(file) ? 1 : 0;
    }
    WriteCounts(prefix, {{win64 ? kSharedDlls32 : kSharedDlls, counts32}, {kSharedDlls, counts64}});
    out << "  demo: " << written << " files on C: (" << files.size() - written
        << " left alone: Wine has files of those names), " << counts32.size() + counts64.size()
        << " use counts under HKEY_LOCAL_MACHINE\\" << kSharedDlls
        << (win64 ? std::string(" and ") + kSharedDlls32 : std::string()) << "\n";
}

}  // namespace

int CreateWinePrefix(NewFolder& made, bool demo, std::ostream& out) {
    const std::filesystem::path& folder = made.path();
    if (!wine::WineProgramInstalled("wineboot")) {
        throw std::runtime_error(
            "Wine is not installed: a prefix is made by Wine's own wineboot -i (Debian: apt-get "
            "install wine)");
    }
    // Said at once: Wine takes a while.
    std::cout << "Making a Wine prefix in " << folder.string() << " (wineboot -i) ..." << std::endl;
    const wine::WineRun run = wine::RunInPrefix(folder, {"wineboot", "-i"}, kQuietWine);
    wine::WaitForWineserver(folder);
    std::error_code ec;
    if (run.status != 0 || !std::filesystem::exists(folder / "system.reg", ec)) {
        throw std::runtime_error("wineboot -i did not make a prefix (status " +
                                 std::to_string(run.status) + "): " + run.output);
    }
    const auto created = OpenMachine(folder);
    out << "Created a Wine prefix in " << folder.string() << "\n";
    CreateFolderTree(created->profile().programDir());
    CopyProgramFiles(*created, out);
    if (demo) {
        FillDemo(*created, out);
    }
    out << "  check it with: vlt --machine " << folder.string() << "\n";
    made.Keep();
    return kOk;
}

}  // namespace velto_machine
