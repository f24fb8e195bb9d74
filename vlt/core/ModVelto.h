// ModVelto: the program's entry procedure.
#pragma once

namespace ModVelto {

// Shows the splash window, loads the control host, then either shows the main options window
// (and returns: the program lives on while a form is loaded) or, with "-S" on the command
// line, runs one scan in automatic mode, writes the action report and closes the program.
void Main();

}  // namespace ModVelto
