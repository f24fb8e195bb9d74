#pragma once
// Putting changed hives in place. libhivex writes a hive in one go into a file it truncates,
// without flushing it and without stamping the time of the write; so each hive goes to a
// hidden sibling of its file (AtomicFile.h), gets the time of the write in its base block (its
// checksum never one of the two values Windows and libhivex read differently), the security
// descriptor and attributes the old file had on an NTFS volume mounted with ntfs-3g
// (system.ntfs_acl, system.ntfs_attrib), and is flushed. Only when every sibling is ready are
// they renamed over their hives, and the folders flushed: a failure on the way leaves every
// hive as it was.

#include <span>

#include "platform/offline/Hive.h"

namespace offline {

// Throws registry::StoreError(WriteFailed) saying what failed.
void WriteHives(std::span<Hive* const> hives);

}  // namespace offline
