#include "platform/dialogs/ScriptedDialogs.h"

#include <algorithm>

namespace dialogs {

namespace {

const char* KindName(ScriptedDialogs::Kind kind) {
    switch (kind) {
        case ScriptedDialogs::Kind::MsgBox:
            return "message box";
        case ScriptedDialogs::Kind::InputBox:
            return "input box";
        case ScriptedDialogs::Kind::Open:
        case ScriptedDialogs::Kind::Save:
            return "file dialog";
        case ScriptedDialogs::Kind::Folder:
            return "folder dialog";
    }
    return "dialog";
}

// Open and save dialogs take the same kind of answer.
ScriptedDialogs::Kind AnswerKind(ScriptedDialogs::Kind kind) {
    return kind == ScriptedDialogs::Kind::Save ? ScriptedDialogs::Kind::Open : kind;
}

}  // namespace

void ScriptedDialogs::AnswerMsgBox(int result) {
    queue_.push_back({Kind::MsgBox, result, {}});
}

void ScriptedDialogs::AnswerInputBox(std::optional<std::string> text) {
    queue_.push_back({Kind::InputBox, 0, std::move(text)});
}

void ScriptedDialogs::AnswerFileDialog(std::optional<std::string> path) {
    queue_.push_back({Kind::Open, 0, std::move(path)});
}

void ScriptedDialogs::AnswerFolderDialog(std::optional<std::string> path) {
    queue_.push_back({Kind::Folder, 0, std::move(path)});
}

std::vector<ScriptedDialogs::Shown> ScriptedDialogs::MsgBoxes() const {
    std::vector<Shown> boxes;
    std::copy_if(history_.begin(), history_.end(), std::back_inserter(boxes),
                 [](const Shown& s) { return s.kind == Kind::MsgBox; });
    return boxes;
}

std::size_t ScriptedDialogs::Unanswered() const {
    return static_cast<std::size_t>(std::count_if(history_.begin(), history_.end(),
                                                  [](const Shown& s) { return !s.scripted; }));
}

void ScriptedDialogs::Clear() {
    queue_.clear();
    history_.clear();
}

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::Next(Kind kind, const Shown& shown) {
    if (queue_.empty()) {
        return std::nullopt;
    }
    Answer answer = queue_.front();
    if (answer.kind != AnswerKind(kind)) {
        throw ScriptError(std::string("a ") + KindName(kind) + " \"" +
                          (shown.prompt.empty() ? shown.title : shown.prompt) +
                          "\" was shown where the script expected a " + KindName(answer.kind));
    }
    queue_.pop_front();
    return answer;
}

int ScriptedDialogs::ShowMsgBox(const MsgBoxRequest& request, const MsgBoxLayout& layout) {
    Shown shown;
    shown.kind = Kind::MsgBox;
    shown.prompt = request.prompt;
    shown.style = request.style;
    shown.title = request.title;
    const auto answer = Next(Kind::MsgBox, shown);
    if (answer) {
        if (std::find(layout.buttons.begin(), layout.buttons.end(), answer->result) ==
            layout.buttons.end()) {
            throw ScriptError("the scripted answer " + ButtonCaption(answer->result) +
                              " is not a button of the box \"" + request.prompt + "\"");
        }
        shown.result = answer->result;
    } else {
        shown.result = layout.leastDestructive;
        shown.scripted = false;
    }
    history_.push_back(shown);
    return shown.result;
}

std::optional<std::string> ScriptedDialogs::ShowInputBox(const InputBoxRequest& request) {
    Shown shown;
    shown.kind = Kind::InputBox;
    shown.prompt = request.prompt;
    shown.title = request.title;
    shown.defaultText = request.defaultText;
    const auto answer = Next(Kind::InputBox, shown);
    shown.scripted = answer.has_value();
    shown.text = answer ? answer->text : std::nullopt;
    history_.push_back(shown);
    return shown.text;
}

std::optional<FileDialogResult> ScriptedDialogs::FileDialog(Kind kind,
                                                            const FileDialogRequest& request) {
    Shown shown;
    shown.kind = kind;
    shown.title = request.dialogTitle;
    shown.defaultText = request.fileName;
    shown.file = request;
    const auto answer = Next(kind, shown);
    shown.scripted = answer.has_value();
    shown.text = answer ? answer->text : std::nullopt;
    history_.push_back(shown);
    if (!shown.text) {
        return std::nullopt;
    }
    return FileDialogResult{*shown.text, FileTitleOf(*shown.text), request.filterIndex};
}

std::optional<FileDialogResult> ScriptedDialogs::ShowOpen(const FileDialogRequest& request) {
    return FileDialog(Kind::Open, request);
}

std::optional<FileDialogResult> ScriptedDialogs::ShowSave(const FileDialogRequest& request) {
    return FileDialog(Kind::Save, request);
}

std::optional<std::string> ScriptedDialogs::BrowseForFolder(const FolderDialogRequest& request) {
    Shown shown;
    shown.kind = Kind::Folder;
    shown.title = request.title;
    shown.defaultText = request.initDir;
    const auto answer = Next(Kind::Folder, shown);
    shown.scripted = answer.has_value();
    shown.text = answer ? answer->text : std::nullopt;
    history_.push_back(shown);
    return shown.text;
}

}  // namespace dialogs
