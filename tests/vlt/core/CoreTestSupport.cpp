#include "tests/vlt/core/CoreTestSupport.h"

#include "controls/file/modFileList.h"
#include "platform/automation/Date.h"
#include "tests/support/RegistrySeed.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/modVLTProperties.h"

namespace coretest {

void FakeProgress::Show() {
    if (!loaded) {
        loaded = true;
        canceled = false;
        item.clear();
    }
    ++shows;
}

void FakeProgress::Unload() {
    if (loaded) {
        loaded = false;
        ++unloads;
    }
}

void FakeProgress::SetScanItem(const std::string& text) {
    item = text;
    items.push_back(text);
    if (onItem) {
        onItem(text);
    }
}

void FakeReview::AddGroup(const std::string& name, int image) {
    nodes.push_back({"", name, name, image});
}

void FakeReview::AddCopy(const std::string& groupKey, const std::string& path, int image) {
    nodes.push_back({groupKey, path, path, image});
}

void FakeReview::AddNote(const std::string& groupKey, const std::string& key,
                         const std::string& text, int image) {
    nodes.push_back({groupKey, key, text, image});
}

CoreTest::CoreTest()
    : clock(std::make_shared<dialogs::ManualClock>(automation::DateSerial(2026, 12, 6))),
      backend_(dialogs),
      clockScope_(clock) {
    machine.Folder(kProgramDir);
    testsupport::SeedRegistry(machine);
    Qz_File::modFileList::ResetForTesting();
    vlt::ResetState();
    vlt::Windows& windows = vlt::State().windows;
    windows.standBy = progress;
    windows.review = review;
    windows.main = mainWindow;
    windows.splash = splash;
    windows.sysInfo = sysInfo;
}

CoreTest::~CoreTest() {
    vlt::ResetState();
    Qz_File::modFileList::ResetForTesting();
}

void CoreTest::LoadHost(const std::string& commandLine) {
    vlt::State().CommandLine = commandLine;
    QzBase::LoadControlHost("VLT", false);
}

std::string CoreTest::Settings() const {
    const std::string key = std::string("HKEY_CURRENT_USER\\") + modVLTProperties::kSettingsKey;
    return RegistryHasKey(key) ? testsupport::RegistryText(machine, key) : std::string();
}

bool CoreTest::RegistryHasKey(const std::string& key) const {
    return testsupport::RegistryText(machine).find("[" + key + "]") != std::string::npos;
}

void CoreTest::Store(const std::vector<std::pair<std::string, std::string>>& values) {
    std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\";
    text += modVLTProperties::kSettingsKey;
    text += "]\r\n";
    for (const auto& [name, data] : values) {
        std::string escaped;
        for (const char c : data) {
            if (c == '\\' || c == '"') {
                escaped += '\\';
            }
            escaped += c;
        }
        text += "\"" + name + "\"=\"" + escaped + "\"\r\n";
    }
    testsupport::SeedRegistry(machine, text);
}

}  // namespace coretest
