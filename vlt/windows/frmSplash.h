// frmSplash: the window shown while the program starts. A key press anywhere in it or a click
// on its frame closes it; start-up closes it after at least three seconds.
#pragma once

#include <QFrame>
#include <QLabel>

#include "platform/forms/Form.h"
#include "vlt/core/WindowInterfaces.h"

class frmSplash : public forms::Form, public vlt::SplashWindow {
  public:
    frmSplash();

    void Form_Load() override;
    void Form_KeyPress();
    void Frame1_Click();

    // vlt::SplashWindow
    void Show() override { forms::Form::Show(forms::vbModeless); }
    void Unload() override { forms::Form::Unload(); }

    QFrame* Frame1;
    QLabel* imgLogo;
    QLabel* lblCompanyProduct;
    QLabel* lblProductName;
    QLabel* lblPlatform;
    QLabel* lblVersion;
    QLabel* lblWarning;
    QLabel* lblCopyright;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
