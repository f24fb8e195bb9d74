// What the About box does with the web addresses of a PAD file: opens them in the user's
// browser and fetches the pictures of its buttons.
//
// The addresses come from a PAD file, which the update check replaces with whatever a server
// publishes, so only web addresses are opened: http, https and mailto links, and a bare host
// name ("www.example.com/app"), which is taken as http. A path or any other scheme is never
// handed to a program.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace Qz_About {

// The address as it is handed to the browser (blanks, quotes, backslashes, angle brackets,
// control characters and non-ASCII bytes percent-encoded, so that it stays one argument of a
// command line), or nullopt when it is no web address.
std::optional<std::string> WebAddress(std::string_view url);

// Starts the registered "Open" command of the .htm file type with the address: in place of
// "%1" (or "%L") when the command has one, else after a blank. Without a registered command,
// or when that command cannot be started, the desktop's handler for links opens it. Raises
// run-time error 53 when nothing can be started.
void OpenInBrowser(const std::string& address);

// The bytes at an http or https address, or "" when they cannot be had: a picture is
// decoration and its absence is no error. Each address is fetched once per run.
std::string FetchPicture(const std::string& url);

}  // namespace Qz_About
