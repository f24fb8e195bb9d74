// velto-machine reg export|import: the machine's registry as REGEDIT4 text, so that users and
// tests can look at it and seed it. Also gives every new machine its empty registry.

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

#include "platform/registry/RegText.h"
#include "platform/registry/SqliteRegistryStore.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

constexpr const char* kUsageText = "export DIR [KEY] [-o FILE] | import DIR FILE";

// A registry that cannot be opened is never replaced here: it may be the only copy of the
// settings. A damaged one is named with what to do about it.
std::shared_ptr<registry::RegistryStore> OpenStore(const machine::Machine& m) {
    try {
        return m.kind().OpenRegistry();
    } catch (const registry::StoreError& e) {
        if (e.kind() != registry::StoreError::Kind::Corrupt) {
            throw;
        }
        throw std::runtime_error(std::string(e.what()) + "; " +
                                 registry::RecoveryAdvice(m.folder(), m.registryPath()));
    }
}

// Removes a registry this import made unless the import went through: all or nothing.
class NewRegistry {
  public:
    explicit NewRegistry(std::filesystem::path path) : path_(std::move(path)) {
        // The log of the registry that was moved away would be read into the new one.
        for (const char* suffix : {"-wal", "-shm"}) {
            const std::filesystem::path left = path_.string() + suffix;
            std::error_code ec;
            if (std::filesystem::exists(std::filesystem::symlink_status(left, ec))) {
                std::filesystem::rename(left, left.string() + ".old");
            }
        }
        registry::SqliteRegistryStore::Create(path_);
    }
    ~NewRegistry() {
        if (!kept_) {
            std::error_code ec;
            std::filesystem::remove(path_, ec);
        }
    }
    NewRegistry(const NewRegistry&) = delete;
    NewRegistry& operator=(const NewRegistry&) = delete;
    void Keep() { kept_ = true; }

  private:
    std::filesystem::path path_;
    bool kept_ = false;
};

int Export(const std::vector<std::string>& args) {
    const ParsedArgs parsed = ParseArgs(args, {}, {"-o"});
    if (parsed.positional.empty() || parsed.positional.size() > 2) {
        throw UsageError("expected: reg export DIR [KEY] [-o FILE]");
    }
    std::optional<registry::KeyPath> key;
    if (parsed.positional.size() == 2) {
        key = registry::ParseKeyPath(parsed.positional[1]);
        if (!key) {
            throw UsageError("'" + parsed.positional[1] +
                             "' is not a key: it starts with a root such as HKEY_CURRENT_USER "
                             "or HKCU");
        }
    }
    const auto machine = OpenToRead(parsed.positional[0]);
    TellHolders(*machine, "reg export", std::cerr);
    const auto store = OpenStore(*machine);
    // A key a fresh machine does not have yet (Velto's settings before its first run) is an
    // empty one, not a failure.
    if (key && !registry::KeyExists(*store, *key)) {
        std::cerr << "velto-machine reg export: " << registry::FormatKeyPath(*key)
                  << " does not exist (yet), so it is empty: the export holds no keys\n";
    }
    const std::string text = registry::ExportRegText(*store, key);
    if (const auto output = parsed.value("-o")) {
        if (const int err = win32::WriteHostFileAtomically(*output, text); err != 0) {
            throw std::runtime_error("cannot write " + *output + ": " + std::strerror(err));
        }
        return kOk;
    }
    std::cout << text << std::flush;
    if (!std::cout) {
        throw std::runtime_error("cannot write to standard output");
    }
    return kOk;
}

std::string ReadInput(const std::string& file) {
    if (file == "-") {
        return std::string(std::istreambuf_iterator<char>(std::cin), {});
    }
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        const int err = errno;
        throw std::runtime_error("cannot read " + file + ": " +
                                 (err != 0 ? std::strerror(err) : "empty or unreadable"));
    }
    return text.str();
}

int Import(const std::vector<std::string>& args) {
    const ParsedArgs parsed = ParseArgs(args, {}, {});
    if (parsed.positional.size() != 2) {
        throw UsageError("expected: reg import DIR FILE (- reads standard input)");
    }
    const std::string& file = parsed.positional[1];
    const auto machine = OpenToChange(parsed.positional[0], "reg import");
    const std::string text = ReadInput(file);
    // A machine without its registry (one moved aside because it was damaged) gets a new one
    // made of the file. A kind with registry files of its own (a Wine prefix) is never given
    // one of ours.
    std::error_code ec;
    std::optional<NewRegistry> made;
    if (machine->kind().registryFiles() == std::vector{machine->registryPath()} &&
        !std::filesystem::exists(std::filesystem::symlink_status(machine->registryPath(), ec))) {
        made.emplace(machine->registryPath());
    }
    auto store = OpenStore(*machine);
    try {
        const registry::ImportSummary done = registry::ImportRegText(*store, text);
        store.reset();
        if (made) {
            made->Keep();
            std::cout << "a new registry " << machine->registryPath().string() << ": ";
        }
        std::cout << "imported " << done.keys << " keys and " << done.values << " values";
        if (done.deletedKeys > 0 || done.deletedValues > 0) {
            std::cout << ", deleted " << done.deletedKeys << " keys and " << done.deletedValues
                      << " values";
        }
        std::cout << "\n";
        return kOk;
    } catch (const registry::RegTextError& e) {
        if (e.lines().empty()) {
            throw;
        }
        for (const auto& line : e.lines()) {
            std::cerr << file << ":" << line.line << ": " << line.message << "\n";
        }
        std::cerr << "velto-machine reg import: nothing was imported\n";
        return kFailed;
    }
}

const RegisterCommand kReg({
    "reg",
    kUsageText,
    "write the machine's registry (or KEY and what lies below it) as REGEDIT4 text, or read "
    "such text into it; nothing is imported when a line is malformed",
    [](const std::vector<std::string>& args) {
        if (!args.empty() && args[0] == "export") {
            return Export({args.begin() + 1, args.end()});
        }
        if (!args.empty() && args[0] == "import") {
            return Import({args.begin() + 1, args.end()});
        }
        throw UsageError(std::string("expected: reg ") + kUsageText);
    },
});

// Before every other step: later ones (file types, the demo) write into the registry.
const RegisterCreateStep kRegistry({
    "registry",
    0,
    [](CreateContext& context) {
        registry::SqliteRegistryStore::Create(context.machine->registryPath());
        context.out << "  " << machine::Machine::kRegistryFileName
                    << ": an empty registry (seven roots, no keys)\n";
    },
});

}  // namespace
}  // namespace velto_machine
