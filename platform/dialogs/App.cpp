#include "platform/dialogs/App.h"

#include <errno.h>
#include <unistd.h>

#include <array>

#include "platform/automation/Errors.h"
#include "platform/machine/Machine.h"

namespace dialogs {

std::string AppObject::Path() const {
    const std::shared_ptr<machine::Machine> current = machine::CurrentMachine();
    if (!current) {
        automation::Raise(automation::PathNotFound, "App",
                          "No machine is open, so the program folder is unknown");
    }
    std::string path = current->profile().programDir();
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) {
        path.pop_back();
    }
    if (path.size() == 2 && path[1] == ':') {
        path += '\\';
    }
    return path;
}

std::string AppObject::CompanyName() const {
    return VELTO_COMPANY;
}

std::string AppObject::ProductName() const {
    return VELTO_PRODUCT;
}

std::string AppObject::LegalCopyright() const {
    return VELTO_COPYRIGHT;
}

std::string AppObject::LegalTrademarks() const {
    return VELTO_TRADEMARKS;
}

int AppObject::Major() const {
    return VELTO_VERSION_MAJOR;
}

int AppObject::Minor() const {
    return VELTO_VERSION_MINOR;
}

int AppObject::Revision() const {
    return VELTO_VERSION_REVISION;
}

namespace {

// The running program's own file, wherever it was installed or moved to.
std::optional<std::filesystem::path> ExecutablePath() {
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) {
        return std::nullopt;
    }
    return std::filesystem::path(std::string(buffer.data(), static_cast<std::size_t>(length)));
}

}  // namespace

std::string AppObject::EXEName() const {
    const auto path = ExecutablePath();
    return path ? path->filename().string() : std::string(program_invocation_short_name);
}

std::optional<std::filesystem::path> AppObject::DataFolder() const {
    const auto path = ExecutablePath();
    if (!path) {
        return std::nullopt;
    }
    const std::filesystem::path folder =
        (path->parent_path().parent_path() / "share" / "velto").lexically_normal();
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec) ? std::optional(folder) : std::nullopt;
}

AppObject& App() {
    static AppObject app;
    return app;
}

}  // namespace dialogs
