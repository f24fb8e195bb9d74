// The reading of a Windows installation's hives over arbitrary bytes: the base block and log
// checks, libhivex's answers as the hive wrapper takes them (every key listed below another
// belongs to it, no loop), the facts an installation's profile is read from, and pending-rename
// lists as the start reads them. A hostile hive may be refused (StoreError), never more.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/offline/Hive.h"
#include "platform/offline/HiveHealth.h"
#include "platform/offline/InstallationFacts.h"
#include "platform/offline/RegfFormat.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsForm.h"
#include "platform/restart/RestartMoves.h"

namespace {

// Keys and values looked at per input: enough for the seeds, bounded for a hive of many.
constexpr std::size_t kBudget = 4000;

struct Walk {
    const offline::Hive& hive;
    std::size_t seen = 0;

    void Key(offline::NodeRef node, int depth) {
        if (++seen > kBudget || depth > 64) {
            return;
        }
        for (const auto& value : hive.Values(node)) {
            const auto data = registry::StoreData(value.type, value.data);
            if (value.type == registry::REG_MULTI_SZ) {
                const auto list = win32::DecodePendingRenames(data);
                if (win32::DecodePendingRenames(win32::EncodePendingRenames(list)) != list) {
                    __builtin_trap();
                }
            }
        }
        for (const auto& [child, name] : hive.Children(node)) {
            if (child == hive.root() || child == node) {
                __builtin_trap();
            }
            Key(child, depth + 1);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The bytes as they came, then (so that a change anywhere reaches libhivex and what reads
    // its answers) with the checksum their header would need.
    offline::LogIsNewer(std::span(data, size),
                        offline::CheckHiveHeader(std::span(data, size)).header);
    std::vector<std::uint8_t> bytes(data, data + size);
    if (bytes.size() >= offline::kChecksumOffset + 4) {
        offline::WriteLe32(bytes, offline::kChecksumOffset, offline::RegfChecksum(bytes));
    }
    const offline::HiveHealth health = offline::CheckHiveHeader(bytes);
    if (health.state == offline::HiveHealth::State::Damaged) {
        return 0;
    }
    const int fd = ::memfd_create("hive", MFD_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    if (::write(fd, bytes.data(), size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    try {
        const offline::Hive hive(path, offline::Hive::Mode::Read, health.header.minor);
        Walk{hive}.Key(hive.root(), 0);
        offline::ReadInstallationFacts(hive, hive);
        offline::ReadShellFolders(hive);
    } catch (const registry::StoreError&) {
    }
    ::close(fd);
    return 0;
}
