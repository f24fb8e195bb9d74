// frmVelto, the main options window, as far as the unattended run needs it: it is loaded but
// never shown, and SetFilter ticks its DLL box when no file type was chosen. (The options,
// exclusions, backup folder and commands of the window are added with the interactive
// windows.)
#pragma once

#include <QCheckBox>

#include "platform/forms/Form.h"
#include "vlt/core/WindowInterfaces.h"

class frmVelto : public forms::Form, public vlt::MainWindow {
  public:
    frmVelto();

    void Form_Load() override;
    void Form_Unload(int& cancel) override;
    void ckDLL_Click();

    // vlt::MainWindow
    void Load() override { forms::Form::Load(); }
    void Show() override { forms::Form::Show(forms::vbModeless); }
    void TickDLL() override;

    QCheckBox* ckDLL;
};
