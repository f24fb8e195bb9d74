#include "platform/dialogs/ConsoleDialogs.h"

#include <unistd.h>

#include <cctype>
#include <iostream>

namespace dialogs {

namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

const char* IconWord(MsgBoxIcon icon) {
    switch (icon) {
        case MsgBoxIcon::Critical:
            return " (error)";
        case MsgBoxIcon::Question:
            return " (question)";
        case MsgBoxIcon::Exclamation:
            return " (warning)";
        case MsgBoxIcon::Information:
            return " (information)";
        case MsgBoxIcon::None:
            break;
    }
    return "";
}

// Windows paths typed without a drive or a leading backslash are taken inside the folder the
// dialog opened on.
std::string InFolder(const std::string& folder, const std::string& name) {
    const bool absolute = (name.size() >= 2 && name[1] == ':') || name.starts_with('\\');
    if (absolute || folder.empty()) {
        return name;
    }
    return folder.ends_with('\\') ? folder + name : folder + "\\" + name;
}

}  // namespace

ConsoleDialogs::ConsoleDialogs(std::istream* terminal, std::ostream& out)
    : terminal_(terminal), out_(out) {}

std::shared_ptr<ConsoleDialogs> ConsoleDialogs::ForProcess() {
    return std::make_shared<ConsoleDialogs>(isatty(STDIN_FILENO) ? &std::cin : nullptr, std::cerr);
}

void ConsoleDialogs::PrintBody(const std::string& title, const std::string& text) {
    out_ << "+-- " << title << "\n| ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out_ << "\n| ";
        } else {
            out_ << c;
        }
    }
    out_ << "\n";
}

std::optional<std::string> ConsoleDialogs::ReadLine() {
    out_.flush();
    std::string line;
    if (terminal_ == nullptr || !std::getline(*terminal_, line)) {
        return std::nullopt;
    }
    if (line.ends_with('\r')) {
        line.pop_back();
    }
    return line;
}

int ConsoleDialogs::ShowMsgBox(const MsgBoxRequest& request, const MsgBoxLayout& layout) {
    PrintBody(request.title + IconWord(layout.icon), request.prompt);
    std::string choices;
    for (int button : layout.buttons) {
        if (!choices.empty()) {
            choices += " / ";
        }
        choices += ButtonCaption(button);
    }
    while (true) {
        out_ << "+-- " << choices << " [" << ButtonCaption(layout.defaultButton) << "]? ";
        const auto line = ReadLine();
        if (!line) {
            out_ << "\n+-- answered " << ButtonCaption(layout.leastDestructive)
                 << (terminal_ ? " (end of input)" : " (no terminal)") << "\n";
            return layout.leastDestructive;
        }
        const std::string answer = Trim(*line);
        if (answer.empty()) {
            return layout.defaultButton;
        }
        for (int button : layout.buttons) {
            const std::string caption = ButtonCaption(button);
            if (EqualsNoCase(answer, caption) || EqualsNoCase(answer, caption.substr(0, 1))) {
                return button;
            }
        }
        out_ << "| please answer one of: " << choices << "\n";
    }
}

std::optional<std::string> ConsoleDialogs::ShowInputBox(const InputBoxRequest& request) {
    PrintBody(request.title, request.prompt);
    out_ << "+-- [" << request.defaultText << "]: ";
    const auto line = ReadLine();
    if (!line) {
        out_ << "\n+-- cancelled" << (terminal_ ? " (end of input)" : " (no terminal)") << "\n";
        return std::nullopt;
    }
    return line->empty() ? request.defaultText : *line;
}

std::optional<FileDialogResult> ConsoleDialogs::AskFileName(const char* verb,
                                                            const FileDialogRequest& request) {
    std::string body = "Folder: " + request.initDir;
    for (const FileFilter& filter : ParseFilter(request.filter)) {
        body += "\nType: " + filter.description;
    }
    PrintBody(std::string(verb) + ": " + request.dialogTitle, body);
    while (true) {
        out_ << "+-- File name [" << request.fileName << "]: ";
        const auto line = ReadLine();
        if (!line) {
            out_ << "\n+-- cancelled" << (terminal_ ? " (end of input)" : " (no terminal)") << "\n";
            return std::nullopt;
        }
        const std::string typed = Trim(*line);
        const std::string name = typed.empty() ? request.fileName : typed;
        if (!name.empty()) {
            FileDialogResult result;
            result.fileName = ApplyDefaultExt(InFolder(request.initDir, name), request.defaultExt);
            result.fileTitle = FileTitleOf(result.fileName);
            result.filterIndex = request.filterIndex;
            return result;
        }
        out_ << "| please type a file name\n";
    }
}

std::optional<FileDialogResult> ConsoleDialogs::ShowOpen(const FileDialogRequest& request) {
    return AskFileName("Open", request);
}

std::optional<FileDialogResult> ConsoleDialogs::ShowSave(const FileDialogRequest& request) {
    return AskFileName("Save As", request);
}

std::optional<std::string> ConsoleDialogs::BrowseForFolder(const FolderDialogRequest& request) {
    PrintBody(request.title, "Choose a folder");
    out_ << "+-- Folder [" << request.initDir << "]: ";
    const auto line = ReadLine();
    if (!line) {
        out_ << "\n+-- cancelled" << (terminal_ ? " (end of input)" : " (no terminal)") << "\n";
        return std::nullopt;
    }
    const std::string typed = Trim(*line);
    return typed.empty() ? request.initDir : InFolder(request.initDir, typed);
}

}  // namespace dialogs
