// The interactive dialogs backend: Qt message boxes, input dialogs and file dialogs.
// Open and save go to the machine's own file dialog window when one is installed
// (FileDialogWindow.h: drives, folders and names as Windows paths). Without it, Qt's file
// dialog shows the host folders of the machine's drives and answers with Windows paths; a
// choice outside every drive is refused and the dialog stays open.
#pragma once

#include <QStringList>

#include "platform/dialogs/Dialogs.h"

namespace forms {

class QtDialogs : public dialogs::DialogsBackend {
  public:
    int ShowMsgBox(const dialogs::MsgBoxRequest& request,
                   const dialogs::MsgBoxLayout& layout) override;
    std::optional<std::string> ShowInputBox(const dialogs::InputBoxRequest& request) override;
    std::optional<dialogs::FileDialogResult> ShowOpen(
        const dialogs::FileDialogRequest& request) override;
    std::optional<dialogs::FileDialogResult> ShowSave(
        const dialogs::FileDialogRequest& request) override;
    std::optional<std::string> BrowseForFolder(
        const dialogs::FolderDialogRequest& request) override;
};

// The Qt name filters for a pipe-separated filter ("HTML File (*.htm *.HTM ...)"). Each
// pattern also appears in lower and upper case, since host names are case-sensitive and
// Windows names are not.
QStringList QtNameFilters(const std::string& filter);

}  // namespace forms
