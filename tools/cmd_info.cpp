// velto-machine info DIR

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/machine/MachineProfile.h"
#include "platform/machine/SystemStores.h"
#include "platform/restart/StartupMoves.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

std::string Size(std::uintmax_t bytes) {
    static constexpr const char* kUnits[] = {"bytes", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, kUnits[unit]);
    return text;
}

// The Windows release a platform and version stand for, where there is a well-known one.
std::string ReleaseName(machine::Platform platform, const machine::WindowsVersion& v) {
    if (platform == machine::Platform::Win9x) {
        if (v.major == 4 && v.minor == 0) {
            return "Windows 95";
        }
        if (v.major == 4 && v.minor == 10) {
            return "Windows 98";
        }
        if (v.major == 4 && v.minor == 90) {
            return "Windows Me";
        }
        return "Windows 9x";
    }
    if (v.major == 5 && v.minor == 0) {
        return "Windows 2000";
    }
    if (v.major == 5 && v.minor == 1) {
        return "Windows XP";
    }
    if (v.major == 6 && v.minor <= 3) {
        static constexpr const char* kSix[] = {"Windows Vista", "Windows 7", "Windows 8",
                                               "Windows 8.1"};
        return kSix[v.minor];
    }
    if (v.major == 10 && v.minor == 0) {
        // Windows 11 kept the version number and counts its builds from 22000.
        return v.build >= 22000 ? "Windows 11" : "Windows 10";
    }
    return "Windows NT " + std::to_string(v.major) + "." + std::to_string(v.minor);
}

std::string OrHost(const std::string& value, const std::string& host) {
    return value.empty() ? "(the host's: " + host + ")" : value;
}

std::string HostName() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "?";
}

std::string HostUser() {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) {
        return found->pw_name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "?";
}

// A line of a fact only some machines have; nothing without it.
std::string Line(const char* label, const std::optional<std::string>& value,
                 const std::optional<std::string>& aside = std::nullopt) {
    if (!value) {
        return {};
    }
    return label + *value + (aside ? " (" + *aside + ")" : "") + "\n";
}

const machine::LeftOutDrive* LeftOut(const machine::Machine& m, char letter) {
    for (const auto& left : m.leftOutDrives()) {
        if (left.drive.letter == letter) {
            return &left;
        }
    }
    return nullptr;
}

int Info(const std::vector<std::string>& args) {
    const auto parsed = ParseArgs(args, {}, {});
    if (parsed.positional.size() != 1) {
        throw UsageError("usage: velto-machine info DIR");
    }
    const auto opened = OpenToRead(parsed.positional[0]);
    const auto& p = opened->profile();
    const auto v = p.version();
    std::error_code ec;
    std::string registryFiles;
    for (const auto& file : opened->kind().registryFiles()) {
        registryFiles += (registryFiles.empty() ? "" : ", ") + file.string() +
                         (std::filesystem::exists(file, ec) ? "" : " (not created yet)");
    }
    std::cout << "Machine         " << opened->folder().string() << "\n"
              << "Kind            " << opened->kind().name() << "\n";
    for (const std::string& holder : opened->holders()) {
        std::cout << "In use          " << holder << "\n";
    }
    std::cout << "Platform        " << (p.platform() == machine::Platform::NT ? "NT" : "9x") << " ("
              << ReleaseName(p.platform(), v) << ") " << v.major << "." << v.minor << "." << v.build
              << (p.servicePack().empty() ? "" : " " + p.servicePack()) << "\n"
              << Line("Product         ", p.value("Machine", "ProductName")) << "Windows folder  "
              << p.windowsDir() << "\n"
              << "System folder   " << p.systemDir() << "\n"
              << Line("32-bit system   ", p.value("Machine", "Wow64SystemDir"))
              << "Temp folder     " << p.tempDir() << "\n"
              << "Program folder  " << p.programDir() << "\n"
              << "My Documents    " << p.specialFolder("Personal").value_or("") << "\n"
              << "Startup         " << p.specialFolder("Startup").value_or("") << "\n"
              << "Computer name   " << OrHost(p.computerName(), HostName()) << "\n"
              << "User name       " << OrHost(p.userName(), HostUser()) << "\n"
              << Line("User profile    ", p.value("Machine", "ProfileFolder"),
                      p.value("Machine", "UserSid"))
              << "Registry        " << registryFiles << "\n"
              << "Starts with     " << opened->kind().startCommand() << "\n"
              << Line("Only checked    ", opened->kind().whyNotWritable())
              << "Drives          (the scan lists the fixed drives)\n";
    for (const auto& drive : p.drives()) {
        std::cout << "  " << drive.letter << ":  " << machine::DriveTypeName(drive.type);
        for (size_t pad = machine::DriveTypeName(drive.type).size(); pad < 10; ++pad) {
            std::cout << ' ';
        }
        if (const auto left = LeftOut(*opened, drive.letter)) {
            std::cout << "left out: " << left->reason << "; it is never listed or written\n";
            continue;
        }
        if (drive.hostFolder.empty()) {
            std::cout << "no medium\n";
            continue;
        }
        std::cout << drive.hostFolder.string();
        const auto space = std::filesystem::space(drive.hostFolder, ec);
        if (ec || !std::filesystem::is_directory(drive.hostFolder, ec)) {
            std::cout << "  (folder missing: no medium)\n";
            continue;
        }
        std::cout << "  " << Size(space.available) << " free of " << Size(space.capacity) << "\n";
    }
    const auto waiting = win32::ScheduledStartupMoves();
    std::cout << "Next start      ";
    if (!waiting) {
        std::cout << "the moves waiting for it cannot be read\n";
    } else if (waiting->empty()) {
        std::cout << "nothing waits for it\n";
    } else {
        std::cout << waiting->size() << (waiting->size() == 1 ? " move waits" : " moves wait")
                  << " for it (velto-machine boot carries them out):\n";
        for (const win32::BootOperation& move : *waiting) {
            std::cout << "  " << move.What() << "\n";
        }
    }
    const machine::SystemStores stores(p);
    if (!stores.folders().empty()) {
        std::cout << "Never scanned   the system's own stores of copies kept on purpose:\n";
        for (const auto& folder : stores.folders()) {
            std::cout << "  " << folder << "\n";
        }
    }
    return kOk;
}

const RegisterCommand kInfo({"info", "DIR",
                             "shows a machine's profile, drives, their host folders and free "
                             "space",
                             Info});

}  // namespace
}  // namespace velto_machine
