#include "vlt/core/modVLTProperties.h"

#include "controls/registry/QzRegistry.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/App.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"

namespace modVLTProperties {
namespace {

using automation::Variant;

// The code of opening a key that does not exist.
constexpr std::int32_t kKeyNotFound = 2;

std::string Stored(const char* value, const char* fallback) {
    return automation::CStr(vlt::QzRegistry1().GetRegSetting(value, Variant(fallback)));
}

void Store(const char* value, bool on) {
    vlt::QzRegistry1().SaveRegSetting(value, Variant(on ? "Y" : "N"));
}

// An option that is on unless stored as exactly "N".
bool OnUnlessN(const char* procedure, const char* value, const char* fallback) {
    vlt::TraceScope trace(std::string("modVLTProperties.") + procedure + " Get");
    return Stored(value, fallback) != "N";
}

void LetYN(const char* procedure, const char* value, bool on) {
    vlt::TraceScope trace(std::string("modVLTProperties.") + procedure + " Let");
    Store(value, on);
}

}  // namespace

bool SmartCheck() {
    vlt::TraceScope trace("modVLTProperties.SmartCheck Get");
    return Stored("SmartCheck", "Y") == "Y";
}

void SmartCheck(bool value) {
    LetYN("SmartCheck", "SmartCheck", value);
}

bool ShowRecommended() {
    vlt::TraceScope trace("modVLTProperties.ShowRecommended Get");
    return SmartCheck() && Stored("ShowRecommended", "Y") == "Y";
}

void ShowRecommended(bool value) {
    LetYN("ShowRecommended", "ShowRecommended", value);
}

bool ACM() {
    return OnUnlessN("ACM", "ACM", "N");
}

void ACM(bool value) {
    LetYN("ACM", "ACM", value);
}

bool DLL() {
    return OnUnlessN("DLL", "DLL", "Y");
}

void DLL(bool value) {
    LetYN("DLL", "DLL", value);
}

bool DRV() {
    return OnUnlessN("DRV", "DRV", "N");
}

void DRV(bool value) {
    LetYN("DRV", "DRV", value);
}

bool OCX() {
    return OnUnlessN("OCX", "OCX", "N");
}

void OCX(bool value) {
    LetYN("OCX", "OCX", value);
}

bool TLB() {
    return OnUnlessN("TLB", "TLB", "N");
}

void TLB(bool value) {
    LetYN("TLB", "TLB", value);
}

bool VBX() {
    return OnUnlessN("VBX", "VBX", "N");
}

void VBX(bool value) {
    LetYN("VBX", "VBX", value);
}

bool VXD() {
    return OnUnlessN("VXD", "VXD", "N");
}

void VXD(bool value) {
    LetYN("VXD", "VXD", value);
}

bool EXE() {
    vlt::TraceScope trace("modVLTProperties.EXE Get");
    return vlt::State().EXE;
}

void EXE(bool value) {
    vlt::TraceScope trace("modVLTProperties.EXE Let");
    vlt::State().EXE = value;
}

bool AllDups() {
    return OnUnlessN("AllDups", "AllDups", "N");
}

void AllDups(bool value) {
    LetYN("AllDups", "AllDups", value);
}

bool Auto() {
    return OnUnlessN("Auto", "AutoScan", "N");
}

void Auto(bool value) {
    LetYN("Auto", "AutoScan", value);
}

bool Backup() {
    return OnUnlessN("Backup", "Backup", "Y");
}

void Backup(bool value) {
    LetYN("Backup", "Backup", value);
}

std::string BackupPath() {
    vlt::TraceScope trace("modVLTProperties.BackupPath Get");
    return automation::CStr(
        vlt::QzRegistry1().GetRegSetting("BackupPath", Variant(dialogs::App().Path())));
}

void BackupPath(const std::string& value) {
    vlt::TraceScope trace("modVLTProperties.BackupPath Let");
    vlt::QzRegistry1().SaveRegSetting("BackupPath", Variant(QzBase::LastSlash(value)));
}

std::int32_t CompareFields() {
    vlt::TraceScope trace("modVLTProperties.CompareFields Get");
    const Variant stored =
        vlt::QzRegistry1().GetRegSetting("CompareFields", Variant(kDefaultCompareFields));
    // A value mangled by hand (text that is no number, or a number too big for the mask) must
    // not stop every scan: the comparison falls back to its default fields.
    try {
        return automation::CLng(stored);
    } catch (const automation::Error& error) {
        vlt::Trace("CompareFields unreadable (" + error.Description() + "), using " +
                   std::to_string(kDefaultCompareFields));
        return kDefaultCompareFields;
    }
}

void CompareFields(std::int32_t value) {
    vlt::TraceScope trace("modVLTProperties.CompareFields Let");
    vlt::QzRegistry1().SaveRegSetting("CompareFields", Variant(value));
}

bool AutomaticMode() {
    vlt::TraceScope trace("modVLTProperties.AutomaticMode Get");
    return GoScan() && Auto();
}

std::optional<std::vector<std::string>> Exclusions() {
    vlt::TraceScope trace("modVLTProperties.Exclusions Get");
    Qz_Registry::QzRegistry& registry = vlt::QzRegistry1();
    const Variant names = registry.GetAllValues(registry.RegKey() + "\\Exclusions");
    // A key that is not there holds no exclusions; any other code ended the listing early.
    if (const std::int32_t code = registry.RegErr(); code != 0 && code != kKeyNotFound) {
        vlt::Trace("Exclusions cannot be read: registry error " + std::to_string(code));
        return std::nullopt;
    }
    std::vector<std::string> list;
    if (const auto* array = names.get_if<automation::StringArray>()) {
        list = array->Items();
    }
    return list;
}

bool GoScan() {
    vlt::TraceScope trace("modVLTProperties.GoScan Get");
    return automation::UCase(vlt::State().CommandLine).find("-S") != std::string::npos;
}

}  // namespace modVLTProperties
