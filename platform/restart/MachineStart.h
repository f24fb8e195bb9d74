#pragma once
// The start of the current machine, whatever its kind: a kind that starts itself on the host
// (a Wine prefix: wineboot) does so and reports its lines; any other is started by Velto
// (Boot.h).

#include "platform/restart/Boot.h"

namespace win32 {

BootReport StartMachine(const BootPrinter& print = {}, BootKeep keep = BootKeep::Everything);

// The restart a program asks for as it ends: the machine is started (StartMachine), unless it
// starts by itself later (a Windows installation on a disk, MachineKind::startedLaterBy),
// when the report only says what waits for that start.
BootReport RestartMachine(const BootPrinter& print = {}, BootKeep keep = BootKeep::Everything);

}  // namespace win32
