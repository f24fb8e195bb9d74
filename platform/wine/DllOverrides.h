#pragma once
// Which file Wine loads for a library it provides itself: its builtin, or a native copy (a
// program's own, found in the program's folder or elsewhere on the search path). Wine decides
// by the prefix's overrides in HKEY_CURRENT_USER:
//   Software\Wine\DllOverrides                           for every program
//   Software\Wine\AppDefaults\<program>.exe\DllOverrides  for one program, ahead of the above
// A value is named after the module ("xinput1_3", ".dll" left off, any other extension kept:
// "winebth.sys") or "*" and the module; the plain name is looked up first, each in the
// program's key before the global one. Its data is a list of orders separated by commas or
// blanks, of which only each first letter counts: "n" native, "b" builtin; a list without
// either ("", "disabled") loads nothing. Without an override Wine loads its builtin, unless the
// builtin prefers native and a native copy is found. The environment's WINEDLLOVERRIDES, which
// comes first of all, belongs to the programs' start and is not seen here.
#include <string>
#include <string_view>

#include "platform/machine/MachineKind.h"
#include "platform/registry/RegistryStore.h"

namespace wine {

enum class LoadOrder { Default, Native, NativeBuiltin, Builtin, BuiltinNative, Disabled };

// An override's data as Wine reads it.
LoadOrder ParseLoadOrder(std::string_view value);

// The module name overrides use for a file name: "xinput1_3.dll" -> "xinput1_3".
std::string ModuleNameOf(std::string_view fileName);

// What the prefix's overrides make Wine load for `fileName` when a native copy stands beside
// its builtin: "builtin", "native" or "nothing", for every program and for each program set
// otherwise.
machine::LibraryChoice ChooseLibrary(registry::RegistryStore& store, std::string_view fileName,
                                     bool builtinPrefersNative);

}  // namespace wine
