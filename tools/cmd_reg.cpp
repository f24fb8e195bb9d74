// velto-machine reg export|import: the machine's registry as REGEDIT4 text, so that users and
// tests can look at it and seed it. Also gives every new machine its empty registry.

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "platform/registry/RegText.h"
#include "platform/registry/SqliteRegistryStore.h"
#include "platform/win32/AtomicFile.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

constexpr const char* kUsageText = "export DIR [KEY] [-o FILE] | import DIR FILE";

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
    const auto machine = OpenMachine(parsed.positional[0]);
    const auto store = machine->kind().OpenRegistry();
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
    const auto machine = OpenMachine(parsed.positional[0]);
    const std::string text = ReadInput(file);
    const auto store = machine->kind().OpenRegistry();
    try {
        const registry::ImportSummary done = registry::ImportRegText(*store, text);
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
