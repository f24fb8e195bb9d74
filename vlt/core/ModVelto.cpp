#include "vlt/core/ModVelto.h"

#include <string>

#include "controls/registry/QzRegistry.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/machine/Machine.h"
#include "platform/registry/SqliteRegistryStore.h"
#include "platform/win32/advapi32/Registry.h"

#include "vlt/core/QzBase.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTFinalize.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"

namespace ModVelto {
namespace {

// The unattended run takes every setting and exclusion from the registry: without one it
// would scan with defaults, repair folders the user excluded and report nothing wrong. So a
// registry that cannot be used ends it before anything is done, with one message that says
// what to do.
bool RegistryUsable() {
    win32::HKEY key{};
    const win32::LSTATUS rc = win32::RegOpenKeyA(win32::HKEY_CURRENT_USER, "Software", &key);
    if (rc == win32::ERROR_SUCCESS) {
        win32::RegCloseKey(key);
    }
    if (rc < win32::ERROR_BADDB || rc > win32::ERROR_CHILD_MUST_BE_VOLATILE) {
        return true;
    }
    const auto current = machine::CurrentMachine();
    const std::string file = current ? current->registryPath().string() : "registry.db";
    // Moving the file aside mends a damaged one only: done to a registry that cannot be
    // opened for another reason, it would only cost the user's settings.
    std::string advice = rc == win32::ERROR_BADDB && current
                             ? registry::RecoveryAdvice(current->folder(), current->registryPath())
                             : "";
    if (!advice.empty()) {
        advice = "\r\nT" + advice.substr(1) + ".";
    }
    vlt::Trace("Registry Error: " + std::to_string(rc) + "--" +
               Qz_Registry::RegistryErrorText(static_cast<std::int32_t>(rc)));
    dialogs::MsgBox("The machine's registry " + file + " cannot be used (Error " +
                        std::to_string(rc) + ": " +
                        Qz_Registry::RegistryErrorText(static_cast<std::int32_t>(rc)) +
                        ").\r\nThe unattended run takes its settings from it, so nothing was " +
                        "scanned, changed or scheduled." + advice,
                    dialogs::vbCritical | dialogs::vbOKOnly, "Registry cannot be used");
    return false;
}

}  // namespace

void Main() {
    vlt::Steps steps("modVelto.Main");
    steps.run("Loading Control Host", [] { QzBase::LoadControlHost("VLT", true); });
    vlt::TraceScope trace("modVelto.Main");
    bool unattended = false;
    steps.run("Checking if GoScan", [&] { unattended = modVLTProperties::GoScan(); });
    if (unattended && !RegistryUsable()) {
        vlt::State().MachineUnusable = true;
        trace.Exit();
        QzBase::CloseProgram();
    }
    if (!unattended) {
        steps.run("Showing Form", [] { vlt::frmVelto().Show(); });
        return;
    }
    // One step text for the whole unattended run, as the text stays until the next step sets
    // another; each statement is still retried or skipped on its own.
    const std::string step = "GoScan, Showing form";
    steps.run(step, [] { modVLTProperties::Auto(true); });
    steps.run(step, [] { modVLTProperties::EXE(false); });
    steps.run(step, [] { vlt::frmVelto().Load(); });
    steps.run(step, [] { modVLTWork::StartScan(); });
    // The automatic scan ends with the report (with nothing to do, it has closed the program
    // already and this line is never reached). A scan that stopped short of it (cancelled, no
    // listing) still ends with one, saying what was done; a report written once is not
    // written and offered again.
    if (vlt::State().ReportFile.empty()) {
        steps.run(step, [] { modVLTFinalize::DoActionReport(); });
    }
    trace.Exit();
    QzBase::CloseProgram();
}

}  // namespace ModVelto
