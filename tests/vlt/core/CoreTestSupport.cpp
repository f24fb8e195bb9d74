#include "tests/vlt/core/CoreTestSupport.h"

#include "controls/file/modFileList.h"
#include "platform/automation/Date.h"
#include "platform/machine/EmulatedKind.h"
#include "platform/machine/IniMachineProfile.h"
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

namespace {

// The emulated machine's profile, with the two processor views of a 64-bit Windows.
class Wow64Profile final : public machine::MachineProfile {
  public:
    explicit Wow64Profile(std::unique_ptr<machine::MachineProfile> inner)
        : inner_(std::move(inner)) {}
    machine::Platform platform() const override { return inner_->platform(); }
    machine::WindowsVersion version() const override { return inner_->version(); }
    std::string servicePack() const override { return inner_->servicePack(); }
    std::string windowsDir() const override { return inner_->windowsDir(); }
    std::string systemDir() const override { return inner_->systemDir(); }
    std::string tempDir() const override { return inner_->tempDir(); }
    std::string programDir() const override { return inner_->programDir(); }
    std::string computerName() const override { return inner_->computerName(); }
    std::string userName() const override { return inner_->userName(); }
    std::vector<machine::DriveInfo> drives() const override { return inner_->drives(); }
    std::optional<std::string> specialFolder(std::string_view name) const override {
        return inner_->specialFolder(name);
    }
    std::optional<std::string> value(std::string_view section,
                                     std::string_view key) const override {
        return inner_->value(section, key);
    }
    std::optional<machine::ProcessorView> processorView(std::uint16_t processor) const override {
        if (processor == machine::kProcessorX64) {
            return machine::ProcessorView{systemDir(), false};
        }
        if (processor == machine::kProcessorX86) {
            return machine::ProcessorView{windowsDir() + "\\SYSWOW64", true};
        }
        return std::nullopt;
    }

  private:
    std::unique_ptr<machine::MachineProfile> inner_;
};

}  // namespace

void CoreTest::Use64BitWindows() {
    machine.Platform(machine::Platform::NT);
    const auto folder = machine.folder();
    machine::SetCurrentMachine(std::make_shared<machine::Machine>(
        folder, std::make_unique<Wow64Profile>(machine::IniMachineProfile::Load(folder)),
        std::make_shared<machine::EmulatedKind>(folder)));
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
