// The backend for a program without a display: every box is printed to the error stream and
// answered from the terminal. Without a terminal nobody can answer, so each box takes its
// least destructive button (No, else Cancel, else Abort; OK when it is the only one) and
// every other dialog counts as cancelled; the printed box says which answer was taken.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "platform/dialogs/Dialogs.h"

namespace dialogs {

class ConsoleDialogs : public DialogsBackend {
  public:
    // `terminal` is where answers are read from, or nullptr when there is no terminal.
    ConsoleDialogs(std::istream* terminal, std::ostream& out);
    // Standard input when it is a terminal, the error stream for output.
    static std::shared_ptr<ConsoleDialogs> ForProcess();

    int ShowMsgBox(const MsgBoxRequest& request, const MsgBoxLayout& layout) override;
    std::optional<std::string> ShowInputBox(const InputBoxRequest& request) override;
    std::optional<FileDialogResult> ShowOpen(const FileDialogRequest& request) override;
    std::optional<FileDialogResult> ShowSave(const FileDialogRequest& request) override;
    std::optional<std::string> BrowseForFolder(const FolderDialogRequest& request) override;

  private:
    void PrintBody(const std::string& title, const std::string& text);
    // One line from the terminal without its line end; std::nullopt at end of input or when
    // there is no terminal.
    std::optional<std::string> ReadLine();
    std::optional<FileDialogResult> AskFileName(const char* verb, const FileDialogRequest& request);

    std::istream* terminal_;
    std::ostream& out_;
};

}  // namespace dialogs
