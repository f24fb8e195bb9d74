#pragma once
// The start of the current machine, whatever its kind: a kind that starts itself on the host
// (a Wine prefix: wineboot) does so and reports its lines; any other is started by Velto
// (Boot.h).

#include "platform/restart/Boot.h"

namespace win32 {

BootReport StartMachine(const BootPrinter& print = {}, BootKeep keep = BootKeep::Everything);

}  // namespace win32
