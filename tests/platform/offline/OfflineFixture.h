#pragma once
// A Windows installation made for one test (offline::CreateInstallation) in a folder of its
// own, opened as a machine, and the hive files of it by name.

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/machine/Machine.h"
#include "platform/offline/NewInstallation.h"
#include "platform/offline/OfflineInstallation.h"
#include "platform/offline/OfflineRegistryStore.h"
#include "tests/support/FileText.h"

namespace offlinetest {

class Installation {
  public:
    explicit Installation(offline::Release release = offline::Release::Ten) : release_(release) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-win-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        offline::CreateInstallation(root_, release);
    }
    ~Installation() {
        machine::SetCurrentMachine(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    const std::filesystem::path& root() const { return root_; }
    offline::InstallationLayout layout() const { return offline::LayoutOf(release_); }

    // A host path of the installation by its Windows path ("C:\Windows\System32").
    std::filesystem::path Host(const std::string& windowsPath) const {
        std::filesystem::path host = root_;
        std::size_t pos = 3;
        while (pos < windowsPath.size()) {
            const std::size_t end = std::min(windowsPath.find('\\', pos), windowsPath.size());
            host /= windowsPath.substr(pos, end - pos);
            pos = end + 1;
        }
        return host;
    }
    std::filesystem::path Config(const std::string& hive) const {
        return Host(layout().systemDir + "\\config") / hive;
    }
    std::filesystem::path UserHive() const { return Host(layout().profileFolder) / "NTUSER.DAT"; }
    std::filesystem::path ClassesHive() const {
        return Host(layout().profileFolder + (release_ == offline::Release::Ten
                                                  ? "\\AppData\\Local\\Microsoft\\Windows"
                                                  : "\\Local Settings\\Application "
                                                    "Data\\Microsoft\\Windows")) /
               "UsrClass.dat";
    }

    // Opens it and makes it the current machine.
    std::shared_ptr<machine::Machine> Open(const std::optional<std::string>& user = {}) {
        auto opened = offline::OpenOfflineInstallation(root_, user);
        machine::SetCurrentMachine(opened);
        return opened;
    }
    std::shared_ptr<offline::OfflineRegistryStore> Store(const machine::Machine& opened) const {
        return std::dynamic_pointer_cast<offline::OfflineRegistryStore>(
            opened.kind().OpenRegistry());
    }

  private:
    offline::Release release_;
    std::filesystem::path root_;
};

}  // namespace offlinetest
