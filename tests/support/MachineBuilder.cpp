#include "tests/support/MachineBuilder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/machine/NameMapping.h"
#include "platform/win32/kernel32/AtomicFile.h"

namespace testsupport {
namespace {

std::filesystem::path TempBase() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

[[noreturn]] void Fail(const std::string& what, const std::filesystem::path& path) {
    throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

// Folders made read-only by a test would keep remove_all out when not running as root.
void MakeWritable(const std::filesystem::path& root) {
    std::error_code ec;
    ::chmod(root.c_str(), 0755);
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            ::chmod(it->path().c_str(), 0755);
        }
    }
}

std::string DriveLine(machine::DriveType type, const std::string& folder) {
    return std::string(machine::DriveTypeName(type)) + ":" + folder;
}

}  // namespace

MachineBuilder::MachineBuilder() {
    std::string pattern = (TempBase() / "velto-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        Fail("cannot create", pattern);
    }
    folder_ = pattern;
    profile_.Set("Machine", "Platform", "9x");
    profile_.Set("Drives", "C", "fixed:drives/C");
    std::filesystem::create_directories(folder_ / "drives" / "C" / "WINDOWS" / "SYSTEM");
    std::filesystem::create_directories(folder_ / "drives" / "C" / "WINDOWS" / "TEMP");
    SaveProfile();
}

MachineBuilder::~MachineBuilder() {
    if (machine::CurrentMachine() == machine_) {
        machine::SetCurrentMachine(nullptr);
    }
    machine_.reset();
    std::error_code ec;
    MakeWritable(folder_);
    std::filesystem::remove_all(folder_, ec);
}

void MachineBuilder::SaveProfile() {
    if (win32::WriteHostFileAtomically(folder_ / "machine.ini", profile_.Serialize()) != 0) {
        Fail("cannot write", folder_ / "machine.ini");
    }
    machine_ = machine::Machine::Open(folder_);
    machine::SetCurrentMachine(machine_);
}

MachineBuilder& MachineBuilder::Platform(machine::Platform platform) {
    return ProfileValue("Machine", "Platform", platform == machine::Platform::NT ? "NT" : "9x");
}

MachineBuilder& MachineBuilder::ProfileValue(std::string_view section, std::string_view key,
                                             std::string_view value) {
    profile_.Set(section, key, value);
    SaveProfile();
    return *this;
}

MachineBuilder& MachineBuilder::Drive(char letter, machine::DriveType type) {
    const std::string name(1, letter);
    std::filesystem::create_directories(folder_ / "drives" / name);
    return ProfileValue("Drives", name, DriveLine(type, "drives/" + name));
}

MachineBuilder& MachineBuilder::DriveAt(char letter, machine::DriveType type,
                                        const std::filesystem::path& hostFolder) {
    return ProfileValue("Drives", std::string(1, letter), DriveLine(type, hostFolder.string()));
}

MachineBuilder& MachineBuilder::DriveWithoutMedium(char letter, machine::DriveType type) {
    return ProfileValue("Drives", std::string(1, letter), DriveLine(type, ""));
}

std::filesystem::path MachineBuilder::HostPath(std::string_view windowsPath) const {
    if (windowsPath.size() < 2 || windowsPath[1] != ':') {
        throw std::invalid_argument("not a drive path: " + std::string(windowsPath));
    }
    const machine::DriveInfo* drive = machine_->paths().Drive(windowsPath[0]);
    if (drive == nullptr || drive->hostFolder.empty()) {
        throw std::invalid_argument("no drive for " + std::string(windowsPath));
    }
    std::filesystem::path host = drive->hostFolder;
    std::string_view rest = windowsPath.substr(2);
    while (!rest.empty()) {
        const size_t sep = rest.find_first_of("\\/");
        const std::string_view part = rest.substr(0, sep);
        if (!part.empty()) {
            const auto name = machine::WindowsNameToHost(part);
            if (!name) {
                throw std::invalid_argument("bad name in " + std::string(windowsPath));
            }
            host /= *name;
        }
        rest = sep == std::string_view::npos ? std::string_view() : rest.substr(sep + 1);
    }
    return host;
}

MachineBuilder& MachineBuilder::File(std::string_view windowsPath, std::string_view contents) {
    const auto host = HostPath(windowsPath);
    std::filesystem::create_directories(host.parent_path());
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out.flush()) {
        Fail("cannot write", host);
    }
    return *this;
}

MachineBuilder& MachineBuilder::Folder(std::string_view windowsPath) {
    std::filesystem::create_directories(HostPath(windowsPath));
    return *this;
}

MachineBuilder& MachineBuilder::Attributes(std::string_view windowsPath, win32::DWORD attributes) {
    const auto host = HostPath(windowsPath);
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", attributes & 0x26u);
    if (::setxattr(host.c_str(), "user.DOSATTRIB", text, std::strlen(text), 0) != 0) {
        Fail("cannot set user.DOSATTRIB on", host);
    }
    struct stat st;
    if (::stat(host.c_str(), &st) != 0) {
        Fail("cannot stat", host);
    }
    const mode_t mode = (attributes & 1) != 0 ? (st.st_mode & ~0222) : (st.st_mode | 0200);
    if (::chmod(host.c_str(), mode & 07777) != 0) {
        Fail("cannot chmod", host);
    }
    return *this;
}

MachineBuilder& MachineBuilder::WriteTime(std::string_view windowsPath, Clock::time_point time) {
    const auto host = HostPath(windowsPath);
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch());
    const timespec ts{static_cast<time_t>(ns.count() / 1'000'000'000),
                      static_cast<long>(ns.count() % 1'000'000'000)};
    const timespec times[2] = {ts, ts};
    if (::utimensat(AT_FDCWD, host.c_str(), times, 0) != 0) {
        Fail("cannot set times of", host);
    }
    return *this;
}

MachineBuilder& MachineBuilder::Symlink(std::string_view windowsPath,
                                        const std::filesystem::path& target) {
    const auto host = HostPath(windowsPath);
    std::filesystem::create_directories(host.parent_path());
    std::filesystem::create_symlink(target, host);
    return *this;
}

std::string MachineBuilder::Read(std::string_view windowsPath) const {
    std::ifstream in(HostPath(windowsPath), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool MachineBuilder::Exists(std::string_view windowsPath) const {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(HostPath(windowsPath), ec));
}

bool MachineBuilder::XattrsSupported() {
    std::string probe = (TempBase() / "velto-xattr-XXXXXX").string();
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    const bool ok = ::setxattr(probe.c_str(), "user.velto-probe", "1", 1, 0) == 0;
    ::unlink(probe.c_str());
    return ok;
}

}  // namespace testsupport
