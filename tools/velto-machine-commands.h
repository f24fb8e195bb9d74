#pragma once
// The commands of velto-machine. Each command lives in its own cmd_<name>.cpp and registers
// itself with a static RegisterCommand object; the dispatcher only looks them up.

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/machine/Machine.h"
#include "tools/imagewriter/DemoMachine.h"

namespace velto_machine {

// Exit statuses.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

// Wrong arguments or a folder that is not a machine: printed as one line, exit status 2.
class UsageError : public std::runtime_error {
  public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

struct Command {
    std::string name;
    std::string usage;  // arguments, as shown after the name
    std::string summary;
    // Gets the arguments after the command name; returns the exit status.
    std::function<int(const std::vector<std::string>& args)> run;
};

struct RegisterCommand {
    explicit RegisterCommand(Command command);
};

const Command* FindCommand(const std::string& name);
std::vector<Command> AllCommands();  // by name

// Arguments split into options and positional ones. `flags` take no value, `valued` take
// one ("--opt value" or "--opt=value"); anything else starting with "-" is a UsageError.
struct ParsedArgs {
    std::vector<std::string> positional;
    std::vector<std::string> flags;
    std::vector<std::pair<std::string, std::string>> values;

    bool has(const std::string& flag) const;
    std::optional<std::string> value(const std::string& option) const;
};
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& flags,
                     const std::vector<std::string>& valued);

// The user of a Windows installation the commands open (velto-machine --user NAME).
std::optional<std::string>& ChosenUser();

// Open the machine, Wine prefix or Windows installation in `folder` (or the prefix a name such as
// "steam:220" picks, PrefixNames.h) and make it current; a folder that is not a machine is a
// UsageError. A command that only reads opens it to read (nothing is written into the folder, and
// it opens while another process changes it); a command that writes opens it to change it, holding
// the machine's lock for `command` until the program ends (a machine held by another process, or
// one that cannot be written, is a UsageError too). `create` holds the lock itself and opens what
// it made with OpenMachine.
std::shared_ptr<machine::Machine> OpenToRead(const std::filesystem::path& folder);
std::shared_ptr<machine::Machine> OpenToChange(const std::filesystem::path& folder,
                                               const std::string& command);
std::shared_ptr<machine::Machine> OpenMachine(const std::filesystem::path& folder);
// Says on `err`, for a command that only reads, who else holds the machine now.
void TellHolders(const machine::Machine& m, const std::string& command, std::ostream& err);

// Steps that fill a machine `create` has just written: its registry, file types, demo files.
// They register themselves like commands and run in ascending `order`.
struct CreateContext {
    std::filesystem::path folder;
    std::shared_ptr<machine::Machine> machine;  // current while the steps run
    bool demo = false;
    // Set by the step that fills a demo machine.
    bool demoFilled = false;
    std::ostream& out;
};

struct CreateStep {
    std::string name;
    int order = 0;
    std::function<void(CreateContext&)> run;
};

struct RegisterCreateStep {
    explicit RegisterCreateStep(CreateStep step);
};

std::vector<CreateStep> CreateSteps();  // in order

// Shared by the kinds of `create`.
[[noreturn]] void Win32Failure(const std::string& what);
// Creates a Windows folder of the current machine and every missing folder above it.
void CreateFolderTree(const std::string& path);
// The program's files (PAD file, picture, help pages) into the machine's program folder.
void CopyProgramFiles(const machine::Machine& m, std::ostream& out);
// The folder a new machine is made in, new or empty, with the machine's lock held in it for
// `create` (a UsageError otherwise). Unless Keep is called, what was made in it goes again
// when it goes, so that no half machine is left behind.
class NewFolder {
  public:
    explicit NewFolder(const std::string& given);
    ~NewFolder();
    NewFolder(const NewFolder&) = delete;
    NewFolder& operator=(const NewFolder&) = delete;

    const std::filesystem::path& path() const { return folder_; }
    void Keep() { keep_ = true; }

  private:
    std::filesystem::path folder_;
    bool existed_ = false;
    bool keep_ = false;
    std::unique_ptr<machine::MachineLock> lock_;
};

// create DIR --wine [--demo]: a prefix made by Wine's wineboot -i in `folder`, writing what it
// made to `out` (cmd_create_wine.cpp).
int CreateWinePrefix(NewFolder& folder, bool demo, std::ostream& out);

// create DIR --offline-windows [--release xp|10] [--demo]: a Windows installation as it lies
// on a disk (cmd_create_offline.cpp).
int CreateOfflineInstallation(NewFolder& folder, const std::string& release, bool demo,
                              std::ostream& out);

// Below HKEY_LOCAL_MACHINE: the use counts of shared files.
inline constexpr const char* kSharedDllsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// Writes a demo file on the current machine with its date; false when a file of that name is
// there already (it is left alone).
bool WriteDemoFile(const imagewriter::DemoFile& file);
// 32-bit programs' counts on a 64-bit Windows (its 32-bit view of the key above).
inline constexpr const char* kSharedDllsKey32 =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// Use counts by file, and by the key (below HKEY_LOCAL_MACHINE) that holds them.
using SharedDllCounts = std::vector<std::pair<std::string, std::uint32_t>>;
using KeyedCounts = std::pair<std::string, SharedDllCounts>;
// The use counts, in one transaction of the machine's registry: under kSharedDllsKey, or
// under each key given.
void WriteSharedDllCounts(const machine::Machine& m, const SharedDllCounts& counts);
void WriteSharedDllCounts(const machine::Machine& m, const std::vector<KeyedCounts>& counts);
// The demo programs' counts, each under the key of its programs' view of the registry (the
// 32-bit view for the 32-bit programs of a 64-bit Windows); "8 use counts under
// HKEY_LOCAL_MACHINE\...", for the line that tells what was made.
std::string WriteDemoProgramCounts(const machine::Machine& m,
                                   const imagewriter::DemoPrograms& programs, bool win64);

}  // namespace velto_machine
