#include "vlt/windows/CommonDialog.h"

#include "platform/automation/Errors.h"
#include "vlt/core/TraceScope.h"

CommonDialog::CommonDialog() {
    setObjectName("CommonDialog");
    setWindowTitle("CommonDialog");
}

void CommonDialog::Form_Load() {
    vlt::TraceScope trace("CommonDialog.Form_Load");
    ctl.flags |= dialogs::OFN_LONGNAMES | dialogs::OFN_PATHMUSTEXIST | dialogs::OFN_OVERWRITEPROMPT;
}

CommonDialog::Control& CommonDialog::Loaded() {
    Load();
    return ctl;
}

void CommonDialog::SetInitDir(const std::string& folder) {
    Loaded().initDir = folder;
}

void CommonDialog::SetFileName(const std::string& name) {
    Loaded().fileName = name;
}

void CommonDialog::SetDefaultExt(const std::string& extension) {
    Loaded().defaultExt = extension;
}

void CommonDialog::SetFilter(const std::string& filter) {
    Loaded().filter = filter;
}

void CommonDialog::SetDialogTitle(const std::string& title) {
    Loaded().dialogTitle = title;
}

const std::string& CommonDialog::FileTitle() const {
    return ctl.fileTitle;
}

std::int16_t CommonDialog::FilterIndex() const {
    return ctl.filterIndex;
}

void CommonDialog::SetFilterIndex(std::int16_t index) {
    Loaded().filterIndex = index;
}

std::int16_t CommonDialog::MaxFileNameSize() const {
    return ctl.maxFileNameSize;
}

void CommonDialog::SetMaxFileNameSize(std::int16_t size) {
    Loaded().maxFileNameSize = size;
}

void CommonDialog::SetFlag(long flag, bool on) {
    if (on) {
        Loaded().flags |= flag;
    } else {
        Loaded().flags &= ~flag;
    }
}

bool CommonDialog::MultiSelect() const {
    return (ctl.flags & dialogs::OFN_ALLOWMULTISELECT) != 0;
}

void CommonDialog::SetMultiSelect(bool on) {
    SetFlag(dialogs::OFN_ALLOWMULTISELECT, on);
}

bool CommonDialog::CreatePrompt() const {
    return (ctl.flags & dialogs::OFN_CREATEPROMPT) != 0;
}

void CommonDialog::SetCreatePrompt(bool on) {
    SetFlag(dialogs::OFN_CREATEPROMPT, on);
}

bool CommonDialog::HideReadOnly() const {
    return (ctl.flags & dialogs::OFN_HIDEREADONLY) != 0;
}

void CommonDialog::SetHideReadOnly(bool hide) {
    SetFlag(dialogs::OFN_HIDEREADONLY, hide);
}

std::string CommonDialog::ShowSave() {
    vlt::TraceScope trace("CommonDialog.ShowSave");
    return Show(true);
}

std::string CommonDialog::ShowOpen() {
    vlt::TraceScope trace("CommonDialog.ShowOpen");
    return Show(false);
}

std::string CommonDialog::Show(bool save) {
    Control& control = Loaded();
    const dialogs::FileDialogRequest request{
        control.dialogTitle, control.initDir,     control.fileName, control.defaultExt,
        control.filter,      control.filterIndex, control.flags};
    canceled_ = true;
    std::optional<dialogs::FileDialogResult> chosen;
    // The dialog was set to raise an error on cancel, so every error it raises is a cancel.
    try {
        chosen = save ? dialogs::GetSaveFileName(request) : dialogs::GetOpenFileName(request);
    } catch (const automation::Error& error) {
        vlt::Trace("File dialog failed: " + error.Description());
    }
    if (!chosen) {
        return {};
    }
    canceled_ = false;
    control.fileName = chosen->fileName;
    control.fileTitle = chosen->fileTitle;
    control.filterIndex = static_cast<std::int16_t>(chosen->filterIndex);
    return control.fileName;
}
