// QzSysInfo: the never-shown form that hosts the system-information control Sys1. It loads
// the first time somebody asks for Sys1 and stays loaded, hidden, until the program ends.
#pragma once

#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/forms/Form.h"
#include "vlt/core/WindowInterfaces.h"

class QzSysInfo : public forms::Form, public vlt::SystemInfoHost {
  public:
    QzSysInfo();

    // vlt::SystemInfoHost
    Qz_System_Info::QzSystemInfo& Sys1() override;

  private:
    Qz_System_Info::QzSystemInfo sys1_;
};
