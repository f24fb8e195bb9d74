// The program's windows, made once per run and handed to the core (State().windows).
#pragma once

namespace vltwindows {

// Creates the splash, progress, main, review, CommonDialog and QzSysInfo forms and installs
// them, with the close that unloads every loaded form. Needs the Qt application object.
void InstallWindows();

}  // namespace vltwindows
