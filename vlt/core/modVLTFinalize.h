// modVLTFinalize: the end of every run of the checker. DoActionReport carries out what is left
// of the action list, writes the HTML action report from the action log (ActionReport.h),
// offers to save and to show it, stores the time of the run as "LastScanDateTime" and asks for
// the restart that scheduled copies and removals need (in the unattended run: saves without
// asking and restarts at once). With an empty log it says "No Action taken" and closes the
// program.
#pragma once

namespace modVLTFinalize {

void DoActionReport();

}  // namespace modVLTFinalize
