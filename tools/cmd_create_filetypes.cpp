// The file types every new machine knows: web pages open in the desktop's browser, so that
// the program's report and web links reach the user.

#include <string>

#include "platform/win32/advapi32/Registry.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

void SetDefault(std::string_view key, std::string_view value) {
    win32::HKEY handle{};
    win32::LSTATUS rc = win32::RegCreateKeyA(win32::HKEY_CLASSES_ROOT, key, &handle);
    if (rc == win32::ERROR_SUCCESS) {
        const std::string data(value);
        rc = win32::RegSetValueExA(handle, "", 0, win32::REG_SZ,
                                   reinterpret_cast<const win32::BYTE*>(data.c_str()),
                                   static_cast<win32::DWORD>(data.size() + 1));
        win32::RegCloseKey(handle);
    }
    if (rc != win32::ERROR_SUCCESS) {
        throw std::runtime_error("cannot register HKEY_CLASSES_ROOT\\" + std::string(key) +
                                 " (Win32 error " + std::to_string(rc) + ")");
    }
}

// After the registry exists, before the demo files.
const RegisterCreateStep kFileTypes({
    "file types",
    10,
    [](CreateContext& context) {
        SetDefault(".htm", "htmlfile");
        SetDefault(".html", "htmlfile");
        SetDefault("htmlfile", "HTML Document");
        SetDefault("htmlfile\\shell\\open\\command", "xdg-open \"%1\"");
        context.out << "  .htm and .html open with xdg-open (the desktop's browser)\n";
    },
});

}  // namespace
}  // namespace velto_machine
