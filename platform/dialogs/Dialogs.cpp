#include "platform/dialogs/Dialogs.h"

#include <mutex>
#include <utility>

#include "platform/automation/Errors.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/ConsoleDialogs.h"

namespace dialogs {

namespace {

std::mutex backendMutex;
std::shared_ptr<DialogsBackend> backend;  // guarded by backendMutex; nullptr = console

std::shared_ptr<DialogsBackend> ConsoleDefault() {
    static const std::shared_ptr<DialogsBackend> console = ConsoleDialogs::ForProcess();
    return console;
}

}  // namespace

MsgBoxLayout DecodeMsgBoxStyle(int style) {
    MsgBoxLayout layout;
    switch (style & 0xF) {
        case vbOKOnly:
            layout.buttons = {vbOK};
            break;
        case vbOKCancel:
            layout.buttons = {vbOK, vbCancel};
            break;
        case vbAbortRetryIgnore:
            layout.buttons = {vbAbort, vbRetry, vbIgnore};
            break;
        case vbYesNoCancel:
            layout.buttons = {vbYes, vbNo, vbCancel};
            break;
        case vbYesNo:
            layout.buttons = {vbYes, vbNo};
            break;
        case vbRetryCancel:
            layout.buttons = {vbRetry, vbCancel};
            break;
        default:
            automation::Raise(automation::InvalidProcedureCall);
    }
    // A default-button number beyond the last button falls back to the first, as the
    // system's message box does.
    const std::size_t defaultIndex = static_cast<std::size_t>((style >> 8) & 0x3);
    layout.defaultButton =
        defaultIndex < layout.buttons.size() ? layout.buttons[defaultIndex] : layout.buttons[0];

    auto has = [&](int result) {
        for (int b : layout.buttons) {
            if (b == result) {
                return true;
            }
        }
        return false;
    };
    // Escape and the close box answer Cancel when there is one; a box with only OK closes
    // with OK; Yes/No and Abort/Retry/Ignore boxes insist on a button.
    if (has(vbCancel)) {
        layout.escapeButton = vbCancel;
    } else if (layout.buttons.size() == 1) {
        layout.escapeButton = vbOK;
    }
    // Nobody to ask: the answer that changes least.
    layout.leastDestructive = layout.buttons[0];
    for (int candidate : {vbNo, vbCancel, vbAbort}) {
        if (has(candidate)) {
            layout.leastDestructive = candidate;
            break;
        }
    }
    switch (style & 0x70) {
        case vbCritical:
            layout.icon = MsgBoxIcon::Critical;
            break;
        case vbQuestion:
            layout.icon = MsgBoxIcon::Question;
            break;
        case vbExclamation:
            layout.icon = MsgBoxIcon::Exclamation;
            break;
        case vbInformation:
            layout.icon = MsgBoxIcon::Information;
            break;
        default:
            layout.icon = MsgBoxIcon::None;
            break;
    }
    return layout;
}

std::string ButtonCaption(int result) {
    switch (result) {
        case vbOK:
            return "OK";
        case vbCancel:
            return "Cancel";
        case vbAbort:
            return "Abort";
        case vbRetry:
            return "Retry";
        case vbIgnore:
            return "Ignore";
        case vbYes:
            return "Yes";
        case vbNo:
            return "No";
        default:
            return "";
    }
}

std::shared_ptr<DialogsBackend> CurrentBackend() {
    {
        std::lock_guard lock(backendMutex);
        if (backend) {
            return backend;
        }
    }
    return ConsoleDefault();
}

std::shared_ptr<DialogsBackend> SetBackend(std::shared_ptr<DialogsBackend> next) {
    std::lock_guard lock(backendMutex);
    std::swap(backend, next);
    return next;
}

ScopedBackend::ScopedBackend(std::shared_ptr<DialogsBackend> backend)
    : previous_(SetBackend(std::move(backend))) {}

ScopedBackend::~ScopedBackend() {
    SetBackend(std::move(previous_));
}

int MsgBox(const std::string& prompt, int style, const std::optional<std::string>& title) {
    const MsgBoxLayout layout = DecodeMsgBoxStyle(style);
    const MsgBoxRequest request{prompt, style, title ? *title : App().Title()};
    return CurrentBackend()->ShowMsgBox(request, layout);
}

std::string InputBox(const std::string& prompt, const std::optional<std::string>& title,
                     const std::string& defaultText) {
    const InputBoxRequest request{prompt, title ? *title : App().Title(), defaultText};
    return CurrentBackend()->ShowInputBox(request).value_or("");
}

std::optional<FileDialogResult> GetOpenFileName(const FileDialogRequest& request) {
    return CurrentBackend()->ShowOpen(request);
}

std::optional<FileDialogResult> GetSaveFileName(const FileDialogRequest& request) {
    return CurrentBackend()->ShowSave(request);
}

std::optional<std::string> BrowseForFolder(const FolderDialogRequest& request) {
    return CurrentBackend()->BrowseForFolder(request);
}

std::string FileTitleOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<FileFilter> ParseFilter(const std::string& filter) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= filter.size()) {
        const auto bar = filter.find('|', start);
        const auto end = bar == std::string::npos ? filter.size() : bar;
        parts.push_back(filter.substr(start, end - start));
        if (bar == std::string::npos) {
            break;
        }
        start = bar + 1;
    }
    std::vector<FileFilter> filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilter entry{parts[i], {}};
        std::size_t from = 0;
        const std::string& patterns = parts[i + 1];
        while (from <= patterns.size()) {
            const auto semi = patterns.find(';', from);
            const auto end = semi == std::string::npos ? patterns.size() : semi;
            std::string pattern = patterns.substr(from, end - from);
            const auto first = pattern.find_first_not_of(' ');
            const auto last = pattern.find_last_not_of(' ');
            if (first != std::string::npos) {
                entry.patterns.push_back(pattern.substr(first, last - first + 1));
            }
            if (semi == std::string::npos) {
                break;
            }
            from = semi + 1;
        }
        if (!entry.patterns.empty()) {
            filters.push_back(std::move(entry));
        }
    }
    return filters;
}

std::string ApplyDefaultExt(const std::string& fileName, const std::string& defaultExt) {
    const std::string ext = defaultExt.starts_with('.') ? defaultExt.substr(1) : defaultExt;
    const std::string title = FileTitleOf(fileName);
    if (ext.empty() || title.empty() || title.find('.') != std::string::npos) {
        return fileName;
    }
    return fileName + "." + ext;
}

}  // namespace dialogs
