// Shared set-up of the update control's tests: a machine with the program's PAD file, a
// server on 127.0.0.1 that publishes PAD files and installers, scripted dialogs and a
// launcher that records what would have been started.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "controls/upgrade/QzUpgrade.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/win32/ntdll/Launcher.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_Upgrade::test {

inline constexpr const char* kFolder = "C:\\Program Files\\Velto\\";
inline constexpr const char* kPADFile = "C:\\Program Files\\Velto\\pad_file.xml";

// Records each start; a program given by a path that does not exist cannot start, as with
// the real launcher.
class RecordingLauncher : public win32::Launcher {
  public:
    int Launch(const win32::LaunchRequest& request, long& processId) override {
        processId = 0;
        requests.push_back(request);
        struct stat st {};
        const std::string& program = request.argv.at(0);
        if (program.find('/') != std::string::npos && ::stat(program.c_str(), &st) != 0) {
            return ENOENT;
        }
        return 0;
    }
    std::vector<win32::LaunchRequest> requests;
};

struct Box {
    std::string prompt;
    int style;
    std::string title;
    bool operator==(const Box&) const = default;
};

inline void PrintTo(const Box& box, std::ostream* os) {
    *os << "{" << box.prompt << " | " << box.style << " | " << box.title << "}";
}

// The fields of a PAD file the control reads.
struct PadSpec {
    std::string name = "Velto";
    std::string version = "1.0.12";
    std::string build;  // QZUPGRADE_Build; left out when empty
    std::string xmlUrl;
    std::array<std::string, 4> fallbacks;  // QZUPGRADE_Additional_PAD_URL_1..4
    std::array<std::string, 4> downloads;  // primary, secondary, additional 1 and 2
    std::string sizeBytes;                 // File_Size_Bytes; left out when empty
    std::string eula = "Use at your own risk.";
};

std::string PadText(const PadSpec& shape);

// Installer bytes of the given size.
std::string Installer(std::size_t size, char fill = 'x');

class UpgradeTest : public ::testing::Test {
  protected:
    UpgradeTest();
    ~UpgradeTest() override;

    // Writes the local PAD file and points the control at it.
    void LocalPad(const PadSpec& shape);
    // A PAD shape whose addresses all lie on the test server.
    PadSpec OnServer() const;

    std::vector<Box> Boxes() const;
    std::vector<std::string> Launched() const;
    std::string Read(const std::string& windowsPath) const { return machine.Read(windowsPath); }
    bool Exists(const std::string& windowsPath) const { return machine.Exists(windowsPath); }

    testsupport::MachineBuilder machine;
    testsupport::LocalHttpServer server;
    std::shared_ptr<dialogs::ScriptedDialogs> boxes;
    std::shared_ptr<RecordingLauncher> launcher;
    QzUpgrade upgrade;

  private:
    std::shared_ptr<dialogs::DialogsBackend> previousDialogs_;
    std::shared_ptr<win32::Launcher> previousLauncher_;
};

}  // namespace Qz_Upgrade::test
