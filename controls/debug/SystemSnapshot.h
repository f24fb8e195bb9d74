// The system snapshot written into the trace file at the start and the end of a run and after
// an abend: the Windows version, the names, the processor, memory, the drives and the current
// folder of the machine, as fixed lines. Gathering the facts and laying out the lines are
// separate so that the layout can be checked against any machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Qz_Debug {

struct SnapshotDrive {
    std::string root;  // "C:\"
    std::uint32_t type = 0;
    std::uint64_t totalBytes = 0;  // 0 when the drive has no medium
    std::uint64_t freeBytes = 0;
};

struct SnapshotFacts {
    // GetVersionEx; all zero and empty when the call failed.
    std::uint32_t platformId = 0;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::string servicePack;
    bool versionKnown = false;

    std::string computerName;
    std::string userName;

    // GetSystemInfo.
    std::uint32_t architecture = 0;
    std::uint32_t level = 0;
    std::uint32_t revision = 0;
    std::uint32_t processors = 0;
    std::uint64_t activeMask = 0;
    std::uint64_t minAddress = 0;
    std::uint64_t maxAddress = 0;
    std::uint32_t granularity = 0;

    // Memory in bytes, as the system counts it.
    std::uint32_t memoryLoad = 0;
    std::uint64_t totalPhys = 0;
    std::uint64_t availPhys = 0;
    std::uint64_t totalPageFile = 0;
    std::uint64_t availPageFile = 0;
    std::uint64_t totalVirtual = 0;
    std::uint64_t availVirtual = 0;

    std::vector<SnapshotDrive> drives;
    std::string currentPath;
};

// The facts of the current machine; a fact whose call fails keeps its empty or zero value.
SnapshotFacts GatherSnapshotFacts();

// The snapshot's eighteen kinds of line (one line per drive), without line ends. Memory
// figures are kilobytes and say so.
std::vector<std::string> SnapshotLines(const SnapshotFacts& facts);

// The processor line's text: the platform's processor text (win32::ProcessorText), except that
// an Intel processor of level 0 reads "Intel" alone.
std::string ProcessorDescription(std::uint32_t architecture, std::uint32_t level,
                                 std::uint32_t revision);

}  // namespace Qz_Debug
