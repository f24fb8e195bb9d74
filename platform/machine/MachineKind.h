#pragma once
// What sets one kind of machine folder apart behind the shared profile (MachineProfile.h):
// where its registry is, how it starts and whether its own programs may open documents. The
// kind is chosen once, when the folder is opened; callers only ask the kind.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace registry {
class RegistryStore;
}

namespace machine {

// A file that belongs to the platform the machine runs on, not to a program: no copy to judge,
// move or remove, whatever its version says. For the user: who keeps it ("Wine", "Proton") and
// what it is ("a file Proton placed and tracks (tracked_files)").
struct PlatformFile {
    std::string owner;
    std::string what;
};

// How the platform chooses between a library it provides itself and a program's own copy of
// it: what programs load unless set otherwise ("builtin", "native", "nothing"), why, and the
// programs set otherwise.
struct LibraryChoice {
    std::string platform;
    std::string byDefault;
    std::string why;
    struct Program {
        std::string program;
        std::string loads;
        std::string why;
    };
    std::vector<Program> programs;
};

class MachineKind {
  public:
    using Printer = std::function<void(const std::string& line)>;

    virtual ~MachineKind() = default;

    // "emulated machine", "Wine prefix": for messages and `velto-machine info`.
    virtual std::string_view name() const = 0;

    // The machine's registry; throws registry::StoreError when it cannot be used. A kind that
    // keeps its registry in memory hands out the same store every time.
    virtual std::shared_ptr<registry::RegistryStore> OpenRegistry() const = 0;
    // The files the registry lives in, for the user.
    virtual std::vector<std::filesystem::path> registryFiles() const = 0;

    // A kind whose own start carries out the moves scheduled for it (Wine's wineboot) starts
    // the machine on the host, handing each line of what happened to `print`, and says whether
    // anything failed. nullopt: Velto's own start does it (restart/Boot.h).
    virtual std::optional<bool> StartOnHost(const Printer& print) const = 0;
    // The command that starts the machine and so carries out its scheduled moves, for the user.
    virtual std::string startCommand() const = 0;

    // What the machine's own programs holding it now (Wine running in a prefix) means for a
    // command that only reads, in one sentence; nullopt when nothing holds it.
    virtual std::optional<std::string> heldByItsOwnPrograms() const { return std::nullopt; }

    // Whether a document opens with the program the machine's registry names for it. A Wine
    // prefix names Windows programs: starting one would start a wineserver under Velto's feet.
    virtual bool opensDocumentsWithItsPrograms() const = 0;

    // Whether the kind's own records give a host file of the machine to its platform (a
    // launcher's list of the files it placed). Files a platform marks in their bytes (Wine's
    // signature) are told by reading them, on every kind. nullopt: a program's file.
    virtual std::optional<PlatformFile> PlatformFileAt(
        const std::filesystem::path& /*host*/) const {
        return std::nullopt;
    }
    // How a library named `fileName` ("xinput1_3.dll") is chosen when the platform provides
    // one itself; `providedPrefersNative`: the platform's own file asks to make way for a
    // program's copy. nullopt when the kind has no such choice to tell.
    virtual std::optional<LibraryChoice> LibraryChoiceFor(std::string_view /*fileName*/,
                                                          bool /*providedPrefersNative*/) const {
        return std::nullopt;
    }
};

}  // namespace machine
