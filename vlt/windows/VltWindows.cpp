#include "vlt/windows/VltWindows.h"

#include <memory>

#include "controls/file/picker/frmFileDialog.h"
#include "vlt/core/VltState.h"
#include "vlt/windows/CommonDialog.h"
#include "vlt/windows/QzSysInfo.h"
#include "vlt/windows/frmDupSys.h"
#include "vlt/windows/frmSplash.h"
#include "vlt/windows/frmStandBy.h"
#include "vlt/windows/frmVelto.h"

namespace vltwindows {

void InstallWindows() {
    vlt::Windows& windows = vlt::State().windows;
    windows.splash = std::make_shared<frmSplash>();
    windows.standBy = std::make_shared<frmStandBy>();
    windows.main = std::make_shared<frmVelto>();
    windows.review = std::make_shared<frmDupSys>();
    windows.commonDialog = std::make_shared<CommonDialog>();
    // The report's save dialog shows the machine's drives and folders as Windows paths.
    Qz_File::InstallFileDialog();
    windows.sysInfo = std::make_shared<QzSysInfo>();
    windows.unloadAllForms = [] {
        for (forms::Form* form : forms::LoadedForms()) {
            form->Unload();
        }
    };
}

}  // namespace vltwindows
