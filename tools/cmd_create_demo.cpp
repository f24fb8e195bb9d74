// velto-machine create DIR --demo: fills the new machine's drive C: with the demo files (real
// duplicate system files and a few hundred others), their use counts in the registry, fixed
// names, volume label and serial number, so every run of the demo looks the same.

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/machine/IniDocument.h"
#include "platform/machine/IniMachineProfile.h"
#include "platform/machine/NameMapping.h"
#include "platform/machine/Text.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/shell32/SpecialFolders.h"
#include "tools/imagewriter/DemoMachine.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

// When the demo's Windows was installed (23 April 1999), the date of its program files.
constexpr std::int64_t kInstalled = 924868920;

[[noreturn]] void Failed(const std::string& what, int err) {
    throw std::runtime_error(what + ": " + std::strerror(err));
}

// The host file of a Windows path on a drive of the new machine; its folders are made.
std::filesystem::path HostFile(const machine::Machine& m, const std::string& windowsPath) {
    const machine::DriveInfo* drive = m.paths().Drive(windowsPath.at(0));
    if (drive == nullptr || drive->hostFolder.empty() || windowsPath.size() < 3) {
        throw std::runtime_error("the demo needs drive " + windowsPath.substr(0, 2));
    }
    std::filesystem::path host = drive->hostFolder;
    std::size_t pos = 3;
    while (pos < windowsPath.size()) {
        const std::size_t end = std::min(windowsPath.find('\\', pos), windowsPath.size());
        const auto name = machine::WindowsNameToHost(windowsPath.substr(pos, end - pos));
        if (!name) {
            throw std::runtime_error("not a file name: " + windowsPath);
        }
        host /= *name;
        pos = end + 1;
    }
    std::error_code ec;
    std::filesystem::create_directories(host.parent_path(), ec);
    if (ec) {
        Failed("cannot create " + host.parent_path().string(), ec.value());
    }
    return host;
}

void WriteFile(const std::filesystem::path& host, const std::vector<std::uint8_t>& bytes,
               std::int64_t writeTime) {
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (const int err = win32::WriteHostFileAtomically(host, data); err != 0) {
        Failed("cannot write " + host.string(), err);
    }
    const timespec time{static_cast<time_t>(writeTime), 0};
    if (const int err = win32::host::SetTimes(host, time, time); err != 0) {
        Failed("cannot date " + host.string(), err);
    }
}

// Fixed names and volume, so that traces and screenshots of the demo do not show the host's.
void FixProfile(const std::filesystem::path& folder) {
    const auto file = folder / machine::IniMachineProfile::kFileName;
    std::string text;
    if (const int err = win32::host::ReadWholeFile(file, text); err != 0) {
        Failed("cannot read " + file.string(), err);
    }
    auto ini = machine::IniDocument::Parse(machine::text::DecodeFileText(text));
    ini.Set("Machine", "ComputerName", "DEMO98");
    ini.Set("Machine", "UserName", "Demo");
    ini.Set("Volumes", "C.Label", "WIN98");
    ini.Set("Volumes", "C.Serial", "1A2B-3C4D");
    if (const int err = win32::WriteHostFileAtomically(file, ini.Serialize()); err != 0) {
        Failed("cannot write " + file.string(), err);
    }
    machine::SetCurrentMachine(machine::Machine::Open(folder));
}

// After the registry and the file types.
const RegisterCreateStep kDemo({
    "demo files",
    20,
    [](CreateContext& context) {
        if (!context.demo) {
            return;
        }
        const machine::Machine& m = *context.machine;
        const auto& profile = m.profile();
        imagewriter::DemoLayout layout;
        layout.windowsDir = profile.windowsDir();
        layout.systemDir = profile.systemDir();
        layout.personal =
            win32::SHGetFolderPathA(0, win32::CSIDL_PERSONAL | win32::CSIDL_FLAG_DONT_VERIFY, 0, 0)
                .value_or(layout.personal);
        const auto files = imagewriter::DemoFiles(layout);
        for (const auto& file : files) {
            WriteFile(HostFile(m, file.path), file.bytes, file.writeTime);
        }

        const auto counts = imagewriter::DemoSharedDllCounts(layout);
        WriteSharedDllCounts(m, counts);

        // The program's picture, until the resources ship one.
        const auto watermark = HostFile(m, profile.programDir() + "\\watermark.jpg");
        std::error_code ec;
        if (!std::filesystem::exists(watermark, ec)) {
            WriteFile(watermark, imagewriter::PlaceholderJpeg(), kInstalled);
            context.out << "  " << profile.programDir()
                        << "\\watermark.jpg: a placeholder picture\n";
        }
        // The files copied from the resources carry the time of copying: the demo's own date
        // keeps two demo machines alike.
        const timespec installed{static_cast<time_t>(kInstalled), 0};
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(watermark.parent_path(), ec)) {
            if (entry.is_regular_file(ec)) {
                if (const int err = win32::host::SetTimes(entry.path(), installed, installed);
                    err != 0) {
                    Failed("cannot date " + entry.path().string(), err);
                }
            }
        }

        FixProfile(context.folder);
        context.demoFilled = true;
        context.out << "  demo: " << files.size() << " files on C:, " << counts.size()
                    << " use counts under HKEY_LOCAL_MACHINE\\" << kSharedDllsKey
                    << "; computer DEMO98, user Demo, volume WIN98 1A2B-3C4D\n";
    },
});

}  // namespace
}  // namespace velto_machine
