// frmStandBy: the progress window of a scan (and of executing the action list or an update
// check). It shows the current item, or while there is none the folder the listing reads (a
// path too long for the window shortened in its middle, whole in the tool tip), the seconds
// since it was loaded and a small animation; Cancel asks the listing to stop and raises the
// Canceled flag that the core polls.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <string>

#include "platform/forms/Form.h"
#include "vlt/core/WindowInterfaces.h"

class frmStandBy : public forms::Form, public vlt::ProgressWindow {
  public:
    static constexpr int kFrames = 8;
    static constexpr const char* kCaption = "Scanning";
    // Timer1 ticks four times a second: often enough for the seconds and a smooth animation.
    static constexpr int kTickMilliseconds = 250;

    frmStandBy();

    void Form_Load() override;
    void Form_Unload(int& cancel) override;
    void Timer1_Timer();
    void cmdCancel_Click();

    // vlt::ProgressWindow
    void Show() override { forms::Form::Show(forms::vbModeless); }
    void Unload() override { forms::Form::Unload(); }
    std::string ScanItem() const override;
    void SetScanItem(const std::string& item) override;
    bool Canceled() const override;
    void SetFormTitle(const std::string& title) override;

    QLabel* Labelx;
    QLabel* lbStatus;
    QLabel* lbtime;
    QLabel* Picture1;
    std::array<QLabel*, kFrames> Image1{};
    QTimer* Timer1;
    QPushButton* cmdCancel;

  private:
    std::string scanItem_;
    bool canceled_ = false;
    double startTime_ = 0;
    int frame_ = 0;
};
