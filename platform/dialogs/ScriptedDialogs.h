// The backend for tests: answers are queued before the code under test runs, and every
// dialog shown is recorded with its exact text, style and title, in order.
//
// A queued answer that is not a button of the box it meets is a test failure
// (ScriptError), which catches code that shows the wrong buttons. A box met with no answer
// queued takes its least destructive button, as the headless run would, and is counted in
// Unanswered() so that a test can insist that everything was scripted.
#pragma once

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/dialogs/Dialogs.h"

namespace dialogs {

class ScriptError : public std::logic_error {
  public:
    using std::logic_error::logic_error;
};

class ScriptedDialogs : public DialogsBackend {
  public:
    enum class Kind { MsgBox, InputBox, Open, Save, Folder };

    // One dialog as it was shown and answered.
    struct Shown {
        Kind kind = Kind::MsgBox;
        std::string prompt;       // message boxes and input boxes
        int style = 0;            // message boxes only
        std::string title;        // every dialog
        std::string defaultText;  // input box default, file name or start folder
        FileDialogRequest file;   // file dialogs only
        // The answer given: a result code for boxes, text (std::nullopt = cancelled) for the
        // others.
        int result = 0;
        std::optional<std::string> text;
        bool scripted = true;  // false when no queued answer was there
    };

    // Queue the answer to the next message box.
    void AnswerMsgBox(int result);
    // Queue the answer to the next input box, file or folder dialog: the text typed or the
    // path chosen; std::nullopt cancels.
    void AnswerInputBox(std::optional<std::string> text);
    void AnswerFileDialog(std::optional<std::string> path);
    void AnswerFolderDialog(std::optional<std::string> path);

    const std::vector<Shown>& History() const { return history_; }
    // Only the message boxes, in order.
    std::vector<Shown> MsgBoxes() const;
    // Queued answers not yet used.
    std::size_t Pending() const { return queue_.size(); }
    // Dialogs that met an empty queue.
    std::size_t Unanswered() const;
    void Clear();

    int ShowMsgBox(const MsgBoxRequest& request, const MsgBoxLayout& layout) override;
    std::optional<std::string> ShowInputBox(const InputBoxRequest& request) override;
    std::optional<FileDialogResult> ShowOpen(const FileDialogRequest& request) override;
    std::optional<FileDialogResult> ShowSave(const FileDialogRequest& request) override;
    std::optional<std::string> BrowseForFolder(const FolderDialogRequest& request) override;

  private:
    struct Answer {
        Kind kind;  // MsgBox, InputBox, Open (any file dialog) or Folder
        int result = 0;
        std::optional<std::string> text;
    };
    // Takes the next answer for a dialog of `kind`; std::nullopt when the queue is empty.
    std::optional<Answer> Next(Kind kind, const Shown& shown);
    std::optional<FileDialogResult> FileDialog(Kind kind, const FileDialogRequest& request);

    std::deque<Answer> queue_;
    std::vector<Shown> history_;
};

}  // namespace dialogs
