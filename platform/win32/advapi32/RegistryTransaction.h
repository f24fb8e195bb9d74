#pragma once
// Registry changes stored together: what the registry functions (Registry.h) change on the
// current machine while `body` runs is stored in one transaction of the machine's store (one
// write of each changed file of a Wine prefix), or not at all.

#include <functional>

#include "platform/win32/advapi32/Registry.h"

namespace win32 {

// ERROR_SUCCESS once the body's changes are stored. A body that returns any other code has
// none of its changes stored and that code is the result; a store that fails gives its code.
LSTATUS RegistryTransaction(const std::function<LSTATUS()>& body);

}  // namespace win32
