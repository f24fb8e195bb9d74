#pragma once
// A registry copied into memory: every key and value of every root, in enumeration order, with
// spellings, types and data as stored. Writes to the copy never reach the original, which is
// how a run that must change nothing (velto-machine check) can still run code that stores
// settings as it goes.

#include <memory>

#include "platform/registry/RegistryStore.h"

namespace registry {

// Reads `source` whole, key by key, into an SQLite store in memory; throws StoreError when it
// cannot be read. RegistryStore::copyIntoMemory does this unless the store knows better.
std::unique_ptr<RegistryStore> CopyIntoMemory(RegistryStore& source);

}  // namespace registry
