#include "tools/velto-machine-commands.h"

#include <algorithm>
#include <map>
#include <ostream>

#include "platform/kinds/MachineKinds.h"
#include "platform/machine/MachineError.h"
#include "platform/wine/prefixes/PrefixNames.h"

namespace velto_machine {
namespace {

// Function-local statics: registration objects in other files may run first.
std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands;
    return commands;
}

std::vector<CreateStep>& Steps() {
    static std::vector<CreateStep> steps;
    return steps;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

RegisterCommand::RegisterCommand(Command command) {
    const std::string name = command.name;
    Commands().emplace(name, std::move(command));
}

const Command* FindCommand(const std::string& name) {
    const auto it = Commands().find(name);
    return it == Commands().end() ? nullptr : &it->second;
}

std::vector<Command> AllCommands() {
    std::vector<Command> all;
    for (const auto& [name, command] : Commands()) {
        all.push_back(command);
    }
    return all;
}

bool ParsedArgs::has(const std::string& flag) const {
    return Contains(flags, flag);
}

std::optional<std::string> ParsedArgs::value(const std::string& option) const {
    for (const auto& [name, value] : values) {
        if (name == option) {
            return value;
        }
    }
    return std::nullopt;
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& flags,
                     const std::vector<std::string>& valued) {
    ParsedArgs parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        if (Contains(valued, name)) {
            if (eq != std::string::npos) {
                parsed.values.emplace_back(name, arg.substr(eq + 1));
            } else if (i + 1 < args.size()) {
                parsed.values.emplace_back(name, args[++i]);
            } else {
                throw UsageError(name + " needs a value");
            }
        } else if (Contains(flags, arg)) {
            parsed.flags.push_back(arg);
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
    return parsed;
}

std::optional<std::string>& ChosenUser() {
    static std::optional<std::string> user;
    return user;
}

namespace {

std::shared_ptr<machine::Machine> MakeCurrent(
    const std::function<std::shared_ptr<machine::Machine>()>& open) {
    try {
        auto opened = open();
        machine::SetCurrentMachine(opened);
        return opened;
    } catch (const machine::MachineError& e) {
        throw UsageError(e.what());
    }
}

// A folder, or the prefix a launcher's name picks ("steam:220", PrefixNames.h).
std::filesystem::path Named(const std::filesystem::path& folder) {
    return wine::prefixes::ResolveMachineArgument(folder.string());
}

}  // namespace

std::shared_ptr<machine::Machine> OpenToRead(const std::filesystem::path& folder) {
    return MakeCurrent([&] { return kinds::OpenToRead(Named(folder), {ChosenUser()}); });
}

std::shared_ptr<machine::Machine> OpenToChange(const std::filesystem::path& folder,
                                               const std::string& command) {
    return MakeCurrent([&] {
        return kinds::OpenToChange(Named(folder), "velto-machine " + command, {ChosenUser()});
    });
}

std::shared_ptr<machine::Machine> OpenMachine(const std::filesystem::path& folder) {
    return MakeCurrent(
        [&] { return kinds::OpenMachine(folder, machine::Access::Unlocked, {ChosenUser()}); });
}

void TellHolders(const machine::Machine& m, const std::string& command, std::ostream& err) {
    for (const std::string& holder : m.holders()) {
        err << "velto-machine " << command << ": note: " << holder
            << "; what is shown may change meanwhile\n";
    }
}

RegisterCreateStep::RegisterCreateStep(CreateStep step) {
    Steps().push_back(std::move(step));
}

std::vector<CreateStep> CreateSteps() {
    auto steps = Steps();
    std::stable_sort(steps.begin(), steps.end(),
                     [](const CreateStep& a, const CreateStep& b) { return a.order < b.order; });
    return steps;
}

}  // namespace velto_machine
