// Showing a document (the action report, the help) with the desktop's program for it, and
// telling the user when nothing shows it: a program that cannot be started, or an opener that
// gives up at once because the desktop has no program for the file (xdg-open then ends with a
// non-zero status).
#pragma once

#include <string>

namespace vlt {

// The command line registered for files of `extension` (".htm"), or, when none is, the
// desktop's opener xdg-open.
std::string OpenCommand(const std::string& extension);

// Starts `commandLine`, which shows `document`, and watches it for a few seconds. When it
// cannot be started or ends at once with a non-zero status, a message box titled `title` names
// the document and says it could not be opened, and the result is false; else true (the
// program is showing it, as far as can be told).
bool ShowDocument(const std::string& commandLine, const std::string& document,
                  const std::string& title);

}  // namespace vlt
