#include "platform/win32/shell32/Shell.h"

#include <cctype>
#include <mutex>

#include "platform/machine/Machine.h"
#include "platform/machine/Text.h"
#include "platform/win32/advapi32/Registry.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/kernel32/Process.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

constexpr UINT kStarted = 42;

// "mailto:..." or "http://...": a scheme of two characters or more, so that "C:\X" is a path.
std::optional<std::string> LinkScheme(std::string_view file) {
    const std::size_t colon = file.find(':');
    if (colon == std::string_view::npos || colon < 2 ||
        !std::isalpha(static_cast<unsigned char>(file[0]))) {
        return std::nullopt;
    }
    std::string scheme;
    for (const char c : file.substr(0, colon)) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return std::nullopt;
        }
        scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return scheme;
}

// The default value of a HKEY_CLASSES_ROOT key, when it is a non-empty text.
std::optional<std::string> ClassesValue(const std::string& key) {
    HKEY handle{};
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, key, &handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::string> text;
    if (RegQueryValueExA(handle, "", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
        std::string data(size, '\0');
        if (RegQueryValueExA(handle, "", nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                             &size) == ERROR_SUCCESS) {
            data.resize(std::min<std::size_t>(size, data.size()));
            data.resize(data.find('\0') == std::string::npos ? data.size() : data.find('\0'));
            if (!data.empty()) {
                text = std::move(data);
            }
        }
    }
    RegCloseKey(handle);
    return text;
}

std::optional<std::string> RegisteredCommand(const std::string& fileClass,
                                             const std::string& verb) {
    const auto current = machine::CurrentMachine();
    if (current && !current->kind().opensDocumentsWithItsPrograms()) {
        return std::nullopt;
    }
    return ClassesValue(fileClass + "\\shell\\" + verb + "\\command");
}

// The command for a document of extension `extension` (".htm"): through the class the
// extension names, else on the extension's own key.
std::optional<std::string> DocumentCommand(const std::string& extension, const std::string& verb) {
    if (extension.empty()) {
        return std::nullopt;
    }
    if (const auto fileClass = ClassesValue(extension)) {
        if (auto command = RegisteredCommand(*fileClass, verb)) {
            return command;
        }
    }
    return RegisteredCommand(extension, verb);
}

// Fills a registered command line: %1 and %L are the document, %* the parameters, %% a
// percent sign, %2 .. %9 nothing. A command without %1 gets the document at its end.
std::string FillCommand(std::string_view command, const std::string& document,
                        std::string_view parameters) {
    std::string line;
    bool usedDocument = false;
    bool usedParameters = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command[i] != '%' || i + 1 >= command.size()) {
            line += command[i];
            continue;
        }
        const char next = command[++i];
        if (next == '1' || next == 'L' || next == 'l') {
            line += document;
            usedDocument = true;
        } else if (next == '*') {
            line += parameters;
            usedParameters = true;
        } else if (next == '%') {
            line += '%';
        } else if (next < '2' || next > '9') {
            line += '%';
            line += next;
        }
    }
    if (!usedDocument) {
        line += " \"" + document + "\"";
    }
    if (!usedParameters && !parameters.empty()) {
        line += " ";
        line += parameters;
    }
    return line;
}

bool IsWindowsProgram(const std::string& extension) {
    for (const char* program : {".EXE", ".COM", ".BAT", ".PIF", ".SCR", ".CMD"}) {
        if (machine::text::FoldCase(extension) == program) {
            return true;
        }
    }
    return false;
}

UINT Start(LaunchRequest request, std::string_view directory, UINT failure) {
    if (!directory.empty()) {
        if (const auto folder = HostPathOf(directory)) {
            request.workingDirectory = *folder;
        }
    }
    long processId = 0;
    return CurrentLauncher()->Launch(request, processId) == 0 ? kStarted : failure;
}

UINT StartCommand(const std::string& commandLine, std::string_view directory) {
    const auto request = HostCommand(commandLine);
    return request ? Start(*request, directory, SE_ERR_FNF) : SE_ERR_NOASSOC;
}

struct Posted {
    std::mutex mutex;
    std::vector<PostedMessage> messages;
};

Posted& PostedState() {
    static Posted state;
    return state;
}

bool Post(PostedMessage message) {
    if (message.hwnd != HWND_BROADCAST) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    Posted& state = PostedState();
    std::lock_guard lock(state.mutex);
    state.messages.push_back(std::move(message));
    SetLastError(ERROR_SUCCESS);
    return true;
}

}  // namespace

UINT ShellExecuteA(HWND, std::string_view operation, std::string_view file,
                   std::string_view parameters, std::string_view directory, int) {
    const std::string verb = operation.empty() ? std::string("open") : std::string(operation);
    const bool opening =
        machine::text::EqualsNoCase(verb, "open") || machine::text::EqualsNoCase(verb, "explore");

    if (const auto scheme = LinkScheme(file)) {
        const std::string link(file);
        if (const auto command = RegisteredCommand(*scheme, verb)) {
            return StartCommand(FillCommand(*command, link, parameters), directory);
        }
        return opening ? Start({{"xdg-open", link}, {}}, directory, SE_ERR_NOASSOC)
                       : SE_ERR_NOASSOC;
    }

    std::string path(file);
    const bool absolute = path.size() >= 2 && (path[1] == ':' || path[0] == '\\' || path[0] == '/');
    if (!directory.empty() && !absolute) {
        path = std::string(directory) + (directory.ends_with('\\') ? "" : "\\") + path;
    }
    const auto target = detail::Resolve(path);
    if (!target) {
        return GetLastError() == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF;
    }
    host::FileStat st;
    if (!target->exists || host::Stat(target->host, st) != 0) {
        return SE_ERR_FNF;
    }
    if (st.isDirectory) {
        return opening ? Start({{"xdg-open", target->host.string()}, {}}, directory, SE_ERR_NOASSOC)
                       : SE_ERR_NOASSOC;
    }
    const std::string document = target->windows.str();
    const std::string name = target->windows.components.back();
    const std::size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string{} : name.substr(dot);
    if (const auto command = DocumentCommand(extension, verb)) {
        return StartCommand(FillCommand(*command, document, parameters), directory);
    }
    if (IsWindowsProgram(extension)) {
        return SE_ERR_BAD_FORMAT;
    }
    return opening ? Start({{"xdg-open", target->host.string()}, {}}, directory, SE_ERR_NOASSOC)
                   : SE_ERR_NOASSOC;
}

bool PostMessageA(HWND hWnd, UINT msg, std::uint32_t wParam, std::int32_t lParam) {
    return Post({hWnd, msg, wParam, lParam, std::nullopt});
}

bool PostMessageA(HWND hWnd, UINT msg, std::uint32_t wParam, std::string_view lParamText) {
    return Post({hWnd, msg, wParam, 0, std::string(lParamText)});
}

std::vector<PostedMessage> PostedMessages() {
    Posted& state = PostedState();
    std::lock_guard lock(state.mutex);
    return state.messages;
}

void ClearPostedMessages() {
    Posted& state = PostedState();
    std::lock_guard lock(state.mutex);
    state.messages.clear();
}

}  // namespace win32
