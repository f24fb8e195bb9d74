#include "vlt/windows/frmVelto.h"

#include <QVBoxLayout>

#include "platform/forms/Twips.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"

frmVelto::frmVelto() : ckDLL(new QCheckBox("DLL's (Dynamic Link Library)", this)) {
    setObjectName("frmVelto");
    setWindowTitle("Select Options - Velto");
    ckDLL->setObjectName("ckDLL");
    ckDLL->setChecked(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ckDLL);
    resize(forms::TwipsToPixels(9000), forms::TwipsToPixels(6000));
    // A check box runs its click handler whenever its value changes, also when the program
    // sets it, as the old check boxes did.
    QObject::connect(ckDLL, &QCheckBox::toggled,
                     [this] { vlt::RunEventHandler([this] { ckDLL_Click(); }); });
}

void frmVelto::Form_Load() {
    vlt::TraceScope trace("frmVelto.Form_Load");
    ckDLL->setChecked(modVLTProperties::DLL());
}

void frmVelto::Form_Unload(int& /*cancel*/) {
    vlt::RunEventHandler([] {
        vlt::TraceScope trace("frmVelto.Form_Unload");
        if (!vlt::State().ScanSucceeded) {
            QzBase::CloseProgram();
        }
    });
}

void frmVelto::ckDLL_Click() {
    vlt::TraceScope trace("frmVelto.ckDLL_Click");
    modVLTProperties::DLL(ckDLL->isChecked());
}

void frmVelto::TickDLL() {
    ckDLL->setChecked(true);
}
