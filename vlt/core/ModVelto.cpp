#include "vlt/core/ModVelto.h"

#include <string>

#include "vlt/core/QzBase.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTFinalize.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"

namespace ModVelto {

void Main() {
    vlt::Steps steps("modVelto.Main");
    steps.run("Loading Control Host", [] { QzBase::LoadControlHost("VLT", true); });
    vlt::TraceScope trace("modVelto.Main");
    bool unattended = false;
    steps.run("Checking if GoScan", [&] { unattended = modVLTProperties::GoScan(); });
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
    // With nothing to do, the report of the scan has closed the program already and this
    // line is never reached.
    steps.run(step, [] { modVLTFinalize::DoActionReport(); });
    trace.Exit();
    QzBase::CloseProgram();
}

}  // namespace ModVelto
