#include "vlt/windows/QzSysInfo.h"

QzSysInfo::QzSysInfo() {
    setObjectName("QzSysInfo");
    setWindowTitle("Do Not Show");
}

Qz_System_Info::QzSystemInfo& QzSysInfo::Sys1() {
    Load();
    return sys1_;
}
