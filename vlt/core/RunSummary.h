// The lines the unattended run ends with, for the shell that started it: where the action
// report of this run is, and where its backups went, each as the Windows path and the host
// path ("report: C:\WINDOWS\TEMP\VLT1.tmp (/home/me/win98/drives/C/WINDOWS/TEMP/VLT1.tmp)").
#pragma once

#include <string>
#include <vector>

namespace vlt {

std::vector<std::string> RunSummary();

}  // namespace vlt
