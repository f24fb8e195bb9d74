#include "platform/win32/ntdll/HostSystem.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <vector>

#include "platform/machine/Text.h"
#include "platform/win32/ntdll/HostFiles.h"

namespace win32::host {
namespace {

// "Key:   value" lines; the value with its blanks trimmed.
std::optional<std::string_view> Field(std::string_view text, std::string_view key) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && machine::text::Trim(line.substr(0, colon)) == key) {
            return machine::text::Trim(line.substr(colon + 1));
        }
    }
    return std::nullopt;
}

// A leading number in decimal, or in hexadecimal after "0x".
std::optional<std::uint64_t> Number(std::optional<std::string_view> text) {
    if (!text) {
        return std::nullopt;
    }
    std::string_view digits = *text;
    int base = 10;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        digits.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc{} || end == digits.data()) {
        return std::nullopt;
    }
    return value;
}

std::uint64_t Kilobytes(std::string_view text, std::string_view key) {
    return Number(Field(text, key)).value_or(0) * 1024;
}

std::string ReadText(const char* path) {
    std::string text;
    return ReadWholeFile(path, text) == 0 ? text : std::string{};
}

class HostSystemFacts : public SystemFacts {
  public:
    std::optional<MemoryFacts> Memory() const override {
        auto facts = ParseMeminfo(ReadText("/proc/meminfo"));
        if (facts) {
            // statm: total and resident pages.
            const std::string statm = ReadText("/proc/self/statm");
            const std::size_t blank = statm.find(' ');
            if (blank != std::string::npos) {
                const auto pages = Number(std::string_view(statm).substr(blank + 1));
                facts->processResident =
                    pages.value_or(0) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
            }
        }
        return facts;
    }

    ProcessorFacts Processor() const override {
        ProcessorFacts facts;
        utsname name{};
        if (::uname(&name) == 0) {
            facts.machine = name.machine;
        }
        ParseCpuinfo(ReadText("/proc/cpuinfo"), facts);
        const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
        facts.online = online > 0 ? static_cast<unsigned>(online) : 1;
        const long page = ::sysconf(_SC_PAGESIZE);
        facts.pageSize = page > 0 ? static_cast<unsigned long>(page) : 4096;
        return facts;
    }

    int Volume(const std::filesystem::path& folder, VolumeFacts& out) const override {
        struct statvfs vfs {};
        if (::statvfs(folder.c_str(), &vfs) != 0) {
            return errno;
        }
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0) {
            return errno;
        }
        out.fragmentSize = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
        out.blocks = vfs.f_blocks;
        out.availableBlocks = vfs.f_bavail;
        out.fileSystemId = vfs.f_fsid;
        out.device = st.st_dev;
        return 0;
    }

    std::string HostName() const override {
        std::vector<char> buffer(256, '\0');
        if (::gethostname(buffer.data(), buffer.size() - 1) != 0) {
            return {};
        }
        return buffer.data();
    }

    std::string UserName() const override {
        std::vector<char> buffer(4096);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_name != nullptr) {
            return found->pw_name;
        }
        for (const char* variable : {"USER", "LOGNAME"}) {
            if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
                return value;
            }
        }
        return {};
    }
};

const HostSystemFacts kHostSystem;
std::atomic<const SystemFacts*> gSystem{&kHostSystem};

}  // namespace

const SystemFacts& System() {
    return *gSystem.load();
}

void SetSystemForTesting(const SystemFacts* replacement) {
    gSystem.store(replacement != nullptr ? replacement : &kHostSystem);
}

std::optional<MemoryFacts> ParseMeminfo(std::string_view text) {
    const auto total = Number(Field(text, "MemTotal"));
    if (!total) {
        return std::nullopt;
    }
    MemoryFacts facts;
    facts.totalPhys = *total * 1024;
    if (const auto available = Number(Field(text, "MemAvailable"))) {
        facts.availPhys = *available * 1024;
    } else {
        facts.availPhys =
            Kilobytes(text, "MemFree") + Kilobytes(text, "Buffers") + Kilobytes(text, "Cached");
    }
    facts.availPhys = std::min(facts.availPhys, facts.totalPhys);
    facts.totalSwap = Kilobytes(text, "SwapTotal");
    facts.freeSwap = std::min(Kilobytes(text, "SwapFree"), facts.totalSwap);
    return facts;
}

void ParseCpuinfo(std::string_view text, ProcessorFacts& facts) {
    // Only the first processor's block: the others repeat it.
    const std::size_t blank = text.find("\n\n");
    const std::string_view first = text.substr(0, blank);
    if (const auto family = Number(Field(first, "cpu family"))) {
        facts.family = static_cast<unsigned>(*family);
        facts.model = static_cast<unsigned>(Number(Field(first, "model")).value_or(0));
        facts.stepping = static_cast<unsigned>(Number(Field(first, "stepping")).value_or(0));
    } else if (const auto architecture = Number(Field(first, "CPU architecture"))) {
        facts.family = static_cast<unsigned>(*architecture);
        facts.model = static_cast<unsigned>(Number(Field(first, "CPU variant")).value_or(0));
        facts.stepping = static_cast<unsigned>(Number(Field(first, "CPU revision")).value_or(0));
    }
}

}  // namespace win32::host
