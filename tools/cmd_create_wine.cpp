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

// A demo prefix needs neither desktop menu entries nor the Mono and Gecko add-ons.
const std::vector<std::pair<std::string, std::string>> kQuietWine = {
    {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"}};

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
    const bool win64 = profile.processorView(machine::kProcessorX64).has_value();
    auto programs = imagewriter::DemoProgramsFor(layout, win64);
    for (auto& file : imagewriter::DemoGameFiles("C:\\Games", win64)) {
        programs.files.push_back(std::move(file));
    }
    std::size_t written = 0;
    for (const auto& file : programs.files) {
        written += WriteDemoFile(file) ? 1 : 0;
    }
    out << "  demo: " << written << " files on C: (" << programs.files.size() - written
        << " left alone: Wine has files of those names), "
        << WriteDemoProgramCounts(prefix, programs, win64) << "\n";
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
