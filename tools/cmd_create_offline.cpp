// velto-machine create DIR --offline-windows [--release xp|10] [--demo]: a small Windows
// installation laid out as one lies on a disk, with real hive files (offline/NewInstallation.h)
// and Velto's program folder; --demo adds the demo's duplicates and their use counts, the
// 32-bit programs' where 32-bit setup programs put them on a 64-bit Windows (SysWOW64, Program
// Files (x86), the 32-bit registry view). Of a 10-like one, some system files are hard links
// into the component store (WinSxS), as Windows projects its own files: ORBCALC.DLL of both
// system folders, which programs bring newer copies of; an XP-like one keeps protected copies
// in system32\dllcache.

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "platform/offline/NewInstallation.h"
#include "platform/win32/kernel32/Paths.h"
#include "tools/imagewriter/DemoMachine.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

// Files of the system folders the component store holds on a 10-like demo, and the store's
// folder for each (processor, name, version as Windows forms them).
struct StoreFile {
    std::string folder;  // the system folder
    std::string name;
    std::string component;
};

std::filesystem::path Host(const std::string& windowsPath) {
    const auto host = win32::HostPathOf(windowsPath);
    if (!host) {
        Win32Failure("cannot reach " + windowsPath);
    }
    return *host;
}

// The system files the installation services itself: one physical file, reached from the
// system folder and from the component store.
std::size_t ProjectFromStore(const offline::InstallationLayout& layout) {
    const std::vector<StoreFile> files = {
        {layout.systemDir, "ORBCALC.DLL",
         "amd64_orbis-calculation_31bf3856ad364e35_1.0.0.0_none_5c2f6a1d8e3b4c77"},
        {layout.wow64SystemDir, "ORBCALC.DLL",
         "x86_orbis-calculation_31bf3856ad364e35_1.0.0.0_none_00109d99d5dddb41"},
        {layout.systemDir, "QUILLRT.DLL",
         "amd64_quill-runtime_31bf3856ad364e35_2.1.0.0_none_0a7d3e9f2b6c1d48"},
        {layout.wow64SystemDir, "QUILLRT.DLL",
         "x86_quill-runtime_31bf3856ad364e35_2.1.0.0_none_ae5fa31b72ce9012"},
    };
    for (const StoreFile& file : files) {
        const std::string component = layout.componentStore + "\\" + file.component;
        CreateFolderTree(component);
        const auto from = Host(file.folder + "\\" + file.name);
        const auto to = Host(component) / file.name;
        if (::link(from.c_str(), to.c_str()) != 0) {
            throw std::runtime_error("cannot link " + to.string() + " to " + from.string() + ": " +
                                     std::strerror(errno));
        }
    }
    return files.size();
}

// Windows File Protection's copies of the system files it guards.
std::size_t KeepProtectedCopies(const offline::InstallationLayout& layout) {
    const char* guarded[] = {"ORBCALC.DLL", "TSSCOMM.DLL", "LUMGRID.OCX"};
    for (const char* name : guarded) {
        std::filesystem::copy_file(Host(layout.systemDir + "\\" + name),
                                   Host(layout.protectedCopies) / name);
    }
    return std::size(guarded);
}

void FillDemo(const machine::Machine& installation, offline::Release release,
              const offline::InstallationLayout& layout, std::ostream& out) {
    imagewriter::DemoLayout demo;
    demo.windowsDir = layout.windowsDir;
    demo.systemDir = layout.systemDir;
    demo.programFiles = layout.programFiles;
    demo.personal = layout.personal;
    demo.wow64SystemDir = layout.wow64SystemDir;
    demo.programFiles32 = layout.programFiles32;
    const bool win64 = installation.profile().processorView(machine::kProcessorX64).has_value();
    auto programs = imagewriter::DemoProgramsFor(demo, win64);
    if (release == offline::Release::Ten) {
        for (auto& file : imagewriter::DemoComponentFiles(demo)) {
            programs.files.push_back(std::move(file));
        }
    }
    std::size_t written = 0;
    for (const auto& file : programs.files) {
        written += WriteDemoFile(file) ? 1 : 0;
    }
    out << "  demo: " << written << " files on C:, "
        << WriteDemoProgramCounts(installation, programs, win64);
    if (release == offline::Release::Ten) {
        out << ", " << ProjectFromStore(layout) << " system files hard-linked into "
            << layout.componentStore << "\n";
    } else {
        out << ", " << KeepProtectedCopies(layout) << " protected copies in "
            << layout.protectedCopies << "\n";
    }
}

}  // namespace

int CreateOfflineInstallation(NewFolder& made, const std::string& release, bool demo,
                              std::ostream& out) {
    const auto chosen = release == "xp" ? offline::Release::Xp : offline::Release::Ten;
    const std::filesystem::path& folder = made.path();
    offline::CreateInstallation(folder, chosen);
    const auto created = OpenMachine(folder);
    const auto layout = offline::LayoutOf(chosen);
    out << "Created a Windows " << (chosen == offline::Release::Xp ? "XP" : "10")
        << "-like installation in " << folder.string() << " (user " << created->profile().userName()
        << ", computer " << created->profile().computerName() << ")\n";
    CreateFolderTree(created->profile().programDir());
    CopyProgramFiles(*created, out);
    if (demo) {
        FillDemo(*created, chosen, layout, out);
    }
    out << "  check it with: vlt --machine " << folder.string() << "\n";
    made.Keep();
    return kOk;
}

}  // namespace velto_machine
