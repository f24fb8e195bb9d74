// The CommonDialog form: a wrapper round the platform's open/save dialog (its control `ctl`)
// that turns every failure of the dialog into a cancel, so the action report only has to look
// at Canceled.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"
#include "vlt/core/WindowInterfaces.h"

class CommonDialog : public forms::Form, public vlt::SaveDialog {
  public:
    CommonDialog();

    void Form_Load() override;

    const std::string& InitDir() const;
    void SetInitDir(const std::string& folder) override;
    const std::string& FileName() const;
    void SetFileName(const std::string& name) override;
    const std::string& DefaultExt() const;
    void SetDefaultExt(const std::string& extension) override;
    const std::string& Filter() const;
    void SetFilter(const std::string& filter) override;
    const std::string& DialogTitle() const;
    void SetDialogTitle(const std::string& title);
    const std::string& FileTitle() const;
    std::int16_t FilterIndex() const;
    void SetFilterIndex(std::int16_t index);
    std::int16_t MaxFileNameSize() const;
    void SetMaxFileNameSize(std::int16_t size);
    bool MultiSelect() const;
    void SetMultiSelect(bool on);
    bool CreatePrompt() const;
    void SetCreatePrompt(bool on);
    bool HideReadOnly() const;
    void SetHideReadOnly(bool hide) override;
    bool Canceled() const override;

    // The chosen path; "" and Canceled when the user cancelled or the dialog failed.
    std::string ShowSave() override;
    // The same with the open dialog.
    std::string ShowOpen();

    // The platform dialog's properties, as the control keeps them.
    struct Control {
        std::string initDir;
        std::string fileName;
        std::string fileTitle;
        std::string defaultExt;
        std::string filter;
        std::string dialogTitle;
        std::int16_t filterIndex = 1;
        std::int16_t maxFileNameSize = 260;
        long flags = 0;
    } ctl;

  private:
    std::string Show(bool save);
    void SetFlag(long flag, bool on);
    // Loads the form on first use of a property, as the old forms loaded on first reference.
    Control& Loaded();

    bool canceled_ = false;
};
