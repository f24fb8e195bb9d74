#pragma once
// The host facts behind the system-information calls: memory from /proc/meminfo, processors
// from /proc/cpuinfo and sysconf, volumes from statvfs, the host's and the user's names. A
// small interface so that tests can stand in any machine (a 64 GB host, an unknown processor)
// and check the Windows figures derived from it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace win32::host {

// Bytes.
struct MemoryFacts {
    std::uint64_t totalPhys = 0;
    std::uint64_t availPhys = 0;
    std::uint64_t totalSwap = 0;
    std::uint64_t freeSwap = 0;
    // What this process holds in memory.
    std::uint64_t processResident = 0;
};

struct ProcessorFacts {
    // The host's machine name as uname gives it ("x86_64", "aarch64").
    std::string machine;
    // x86: the family, model and stepping of /proc/cpuinfo (family and model with their
    // extended parts, as the kernel prints them). ARM: the architecture, variant and revision.
    unsigned family = 0;
    unsigned model = 0;
    unsigned stepping = 0;
    unsigned online = 1;
    unsigned long pageSize = 4096;
};

struct VolumeFacts {
    std::uint64_t fragmentSize = 0;
    std::uint64_t blocks = 0;
    std::uint64_t availableBlocks = 0;  // to an unprivileged user
    std::uint64_t fileSystemId = 0;
    std::uint64_t device = 0;
};

class SystemFacts {
  public:
    virtual ~SystemFacts() = default;
    // nullopt when the host does not tell.
    virtual std::optional<MemoryFacts> Memory() const = 0;
    virtual ProcessorFacts Processor() const = 0;
    // 0 or the errno of statvfs/stat on the folder.
    virtual int Volume(const std::filesystem::path& folder, VolumeFacts& out) const = 0;
    virtual std::string HostName() const = 0;
    virtual std::string UserName() const = 0;
};

const SystemFacts& System();
// Replaces the host's facts (nullptr restores them); for tests.
void SetSystemForTesting(const SystemFacts* replacement);

// The figures of /proc/meminfo (kB lines) in bytes; nullopt without a MemTotal line. Without
// MemAvailable (older kernels) the available memory is MemFree + Buffers + Cached.
std::optional<MemoryFacts> ParseMeminfo(std::string_view text);
// Fills family, model and stepping from the first processor of /proc/cpuinfo.
void ParseCpuinfo(std::string_view text, ProcessorFacts& facts);

}  // namespace win32::host
