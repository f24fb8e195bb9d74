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

const std::string& CommonDialog::InitDir() const {
    vlt::TraceScope trace("CommonDialog.InitDir Get");
    return ctl.initDir;
}

void CommonDialog::SetInitDir(const std::string& folder) {
    vlt::TraceScope trace("CommonDialog.InitDir Let");
    Loaded().initDir = folder;
}

const std::string& CommonDialog::FileName() const {
    vlt::TraceScope trace("CommonDialog.FileName Get");
    return ctl.fileName;
}

void CommonDialog::SetFileName(const std::string& name) {
    vlt::TraceScope trace("CommonDialog.FileName Let");
    Loaded().fileName = name;
}

const std::string& CommonDialog::DefaultExt() const {
    vlt::TraceScope trace("CommonDialog.DefaultExt Get");
    return ctl.defaultExt;
}

void CommonDialog::SetDefaultExt(const std::string& extension) {
    vlt::TraceScope trace("CommonDialog.DefaultExt Let");
    Loaded().defaultExt = extension;
}

const std::string& CommonDialog::Filter() const {
    vlt::TraceScope trace("CommonDialog.Filter Get");
    return ctl.filter;
}

void CommonDialog::SetFilter(const std::string& filter) {
    vlt::TraceScope trace("CommonDialog.Filter Let");
    Loaded().filter = filter;
}

const std::string& CommonDialog::DialogTitle() const {
    vlt::TraceScope trace("CommonDialog.DialogTitle Get");
    return ctl.dialogTitle;
}

void CommonDialog::SetDialogTitle(const std::string& title) {
    vlt::TraceScope trace("CommonDialog.DialogTitle Let");
    Loaded().dialogTitle = title;
}

const std::string& CommonDialog::FileTitle() const {
    vlt::TraceScope trace("CommonDialog.FileTitle Get");
    return ctl.fileTitle;
}

std::int16_t CommonDialog::FilterIndex() const {
    vlt::TraceScope trace("CommonDialog.FilterIndex Get");
    return ctl.filterIndex;
}

void CommonDialog::SetFilterIndex(std::int16_t index) {
    vlt::TraceScope trace("CommonDialog.FilterIndex Let");
    Loaded().filterIndex = index;
}

std::int16_t CommonDialog::MaxFileNameSize() const {
    vlt::TraceScope trace("CommonDialog.MaxFileNameSize Get");
    return ctl.maxFileNameSize;
}

void CommonDialog::SetMaxFileNameSize(std::int16_t size) {
    vlt::TraceScope trace("CommonDialog.MaxFileNameSize Let");
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
    vlt::TraceScope trace("CommonDialog.MultiSelect Get");
    return (ctl.flags & dialogs::OFN_ALLOWMULTISELECT) != 0;
}

void CommonDialog::SetMultiSelect(bool on) {
    vlt::TraceScope trace("CommonDialog.MultiSelect Let");
    SetFlag(dialogs::OFN_ALLOWMULTISELECT, on);
}

bool CommonDialog::CreatePrompt() const {
    vlt::TraceScope trace("CommonDialog.CreatePrompt Get");
    return (ctl.flags & dialogs::OFN_CREATEPROMPT) != 0;
}

void CommonDialog::SetCreatePrompt(bool on) {
    vlt::TraceScope trace("CommonDialog.CreatePrompt Let");
    SetFlag(dialogs::OFN_CREATEPROMPT, on);
}

bool CommonDialog::HideReadOnly() const {
    vlt::TraceScope trace("CommonDialog.HideReadOnly Get");
    return (ctl.flags & dialogs::OFN_HIDEREADONLY) != 0;
}

void CommonDialog::SetHideReadOnly(bool hide) {
    vlt::TraceScope trace("CommonDialog.HideReadOnly Let");
    SetFlag(dialogs::OFN_HIDEREADONLY, hide);
}

bool CommonDialog::Canceled() const {
    vlt::TraceScope trace("CommonDialog.Canceled Get");
    return canceled_;
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
