// Shared set-up of the About control's tests: a machine with a registry and the program's PAD
// file, scripted dialogs, a launcher that records what would have been started, and modal
// forms driven by the test instead of a user.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/about/QzAbout.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/forms/Form.h"
#include "platform/win32/ntdll/Launcher.h"
#include "tests/platform/forms/QtTestSupport.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_About::test {

inline constexpr const char* kPADFile = "C:\\Program Files\\Velto\\pad_file.xml";

class RecordingLauncher : public win32::Launcher {
  public:
    int Launch(const win32::LaunchRequest& request, long& processId) override {
        processId = 0;
        requests.push_back(request.argv);
        return failing.count(request.argv.at(0)) != 0 ? ENOENT : 0;
    }
    std::vector<std::vector<std::string>> requests;
    std::map<std::string, bool> failing;
};

// A PAD file for the About box; every field may be left empty.
struct AboutPad {
    std::string programName = "Velto";
    std::string version = "1.0.12";
    std::string build;
    std::string language = "English,German";
    std::string companyName = "Korvane";
    std::string companyURL = "http://127.0.0.1/korvane/";
    std::string orderURL;
    std::string iconURL;
    // Language -> {Char_Desc_2000, 450, 250, 80, 45}.
    std::vector<std::pair<std::string, std::vector<std::string>>> descriptions = {
        {"English", {"", "", "Finds old duplicate system files.", "", "Finds duplicates"}},
        {"German", {"", "", "", "", "Findet Duplikate"}}};
    std::string eula = "VELTO LICENCE\r\nUse it wisely.";
    // QZABOUT_... extensions by name without the prefix ("Purchase_Text").
    std::map<std::string, std::string> extensions = {
        {"Disclaimer", "No warranty."}, {"Company_Icon_URL", ""}, {"Purchase_Text", ""}};
};

std::string PadText(const AboutPad& pad);

// A small PNG picture.
std::string PngBytes();

class AboutTest : public forms::test::QtFixture {
  protected:
    AboutTest();
    ~AboutTest() override;

    void WritePad(const AboutPad& pad, const std::string& path = kPADFile);
    // The cache value as the registry holds it below HKEY_CURRENT_USER.
    std::optional<std::string> Cached(const std::string& padFile, const std::string& name) const;
    void RegisterBrowser(const std::string& command);

    testsupport::MachineBuilder machine;
    std::shared_ptr<dialogs::ScriptedDialogs> boxes;
    std::shared_ptr<RecordingLauncher> launcher;
    QzAbout about;

  private:
    std::shared_ptr<dialogs::DialogsBackend> previousDialogs_;
    std::shared_ptr<win32::Launcher> previousLauncher_;
};

// Runs `act` on the form of type F when it is shown modally, instead of waiting for a user.
template <class F>
forms::ModalDriver Driver(std::function<void(F&)> act) {
    return [act](forms::Form& shown) {
        auto* form = dynamic_cast<F*>(&shown);
        ASSERT_NE(form, nullptr) << "another form was shown";
        act(*form);
    };
}

}  // namespace Qz_About::test
