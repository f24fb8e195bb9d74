#include "platform/offline/HiveWrite.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "platform/offline/RegfFormat.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsForm.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/ntdll/HostFiles.h"

namespace offline {
namespace {

using registry::StoreError;

// What ntfs-3g keeps of a file that Windows needs: who may open it and its DOS attributes.
constexpr std::array<const char*, 2> kNtfsAttributes = {"system.ntfs_acl", "system.ntfs_attrib"};

[[noreturn]] void Failed(const std::filesystem::path& file, const std::string& what, int err) {
    throw StoreError(StoreError::Kind::WriteFailed, "cannot write " + file.string() + ": " + what +
                                                        " (" + std::strerror(err) +
                                                        "); nothing written");
}

void StampBaseBlock(const std::filesystem::path& hive, const std::filesystem::path& written) {
    const int fd = ::open(written.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        Failed(hive, "its new copy cannot be opened", errno);
    }
    std::vector<std::uint8_t> block(kBaseBlockSize);
    int err = 0;
    if (::pread(fd, block.data(), block.size(), 0) != static_cast<ssize_t>(block.size())) {
        err = errno != 0 ? errno : EIO;
    } else {
        SealBaseBlock(block, registry::FiletimeNow());
        if (::pwrite(fd, block.data(), kChecksumOffset + 4, 0) !=
            static_cast<ssize_t>(kChecksumOffset + 4)) {
            err = errno != 0 ? errno : EIO;
        }
    }
    ::close(fd);
    if (err != 0) {
        Failed(hive, "the header of its new copy cannot be stamped", err);
    }
}

void CopyNtfsAttributes(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (const char* name : kNtfsAttributes) {
        std::vector<char> value(4096);
        ssize_t size = ::getxattr(from.c_str(), name, value.data(), value.size());
        if (size < 0 && errno == ERANGE) {
            size = ::getxattr(from.c_str(), name, nullptr, 0);
            value.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
            size = ::getxattr(from.c_str(), name, value.data(), value.size());
        }
        if (size < 0) {
            if (errno == ENODATA || errno == ENOTSUP) {
                continue;
            }
            Failed(from, std::string("its ") + name + " cannot be read", errno);
        }
        if (::setxattr(to.c_str(), name, value.data(), static_cast<std::size_t>(size), 0) != 0) {
            Failed(from, std::string("its ") + name + " cannot be kept", errno);
        }
    }
}

}  // namespace

void WriteHives(std::span<Hive* const> hives) {
    std::vector<std::unique_ptr<win32::AtomicFile>> staged;
    for (Hive* hive : hives) {
        auto file = std::make_unique<win32::AtomicFile>(hive->file());
        if (file->error() != 0) {
            Failed(hive->file(), "no new copy can be made beside it", file->error());
        }
        hive->WriteTo(file->sibling());
        StampBaseBlock(hive->file(), file->sibling());
        CopyNtfsAttributes(hive->file(), file->sibling());
        const std::filesystem::path sibling = file->sibling();
        if (const int err = file->Stage(); err != 0) {
            Failed(hive->file(), "its new copy cannot be finished", err);
        }
        if (const int err = win32::host::SyncFile(sibling); err != 0) {
            Failed(hive->file(), "its new copy cannot be flushed", err);
        }
        staged.push_back(std::move(file));
    }
    std::set<std::filesystem::path> folders;
    for (std::size_t i = 0; i < staged.size(); ++i) {
        if (const int err = staged[i]->Place(); err != 0) {
            throw StoreError(
                StoreError::Kind::WriteFailed,
                "cannot put the new " + hives[i]->file().string() + " in place (" +
                    std::strerror(err) + ")" +
                    (i > 0 ? "; the hives before it were written" : "; nothing written"));
        }
        folders.insert(hives[i]->file().parent_path());
    }
    for (const auto& folder : folders) {
        if (const int err = win32::host::SyncDirectory(folder); err != 0) {
            throw StoreError(StoreError::Kind::WriteFailed, "the hives in " + folder.string() +
                                                                " were written but the folder "
                                                                "cannot be flushed (" +
                                                                std::strerror(err) + ")");
        }
    }
}

}  // namespace offline
