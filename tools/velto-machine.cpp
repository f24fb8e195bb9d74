// velto-machine <command> ...: creates and inspects emulated machines.

#include <exception>
#include <iostream>

#include "platform/dialogs/App.h"
#include "platform/machine/MachineError.h"
#include "tools/velto-machine-commands.h"

namespace {

void PrintUsage(std::ostream& out) {
    out << "usage: velto-machine <command> [arguments]\n"
           "       velto-machine --user NAME <command> [arguments]  (the user of a Windows\n"
           "                     installation with several, for every command)\n"
           "       velto-machine --help | --version\n\ncommands:\n";
    for (const auto& command : velto_machine::AllCommands()) {
        out << "  " << command.name << " " << command.usage << "\n      " << command.summary
            << "\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Taken out wherever it stands: every command that opens a machine heeds it.
    for (auto it = args.begin(); it != args.end();) {
        if (*it == "--user" && it + 1 != args.end()) {
            velto_machine::ChosenUser() = *(it + 1);
            it = args.erase(it, it + 2);
        } else if (it->starts_with("--user=")) {
            velto_machine::ChosenUser() = it->substr(7);
            it = args.erase(it);
        } else {
            ++it;
        }
    }
    if (args.empty()) {
        PrintUsage(std::cerr);
        return velto_machine::kUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(std::cout);
        return velto_machine::kOk;
    }
    if (args[0] == "--version") {
        const dialogs::AppObject& app = dialogs::App();
        std::cout << "velto-machine (" << app.ProductName() << ") " << app.Major() << "."
                  << app.Minor() << "." << app.Revision() << "\n";
        return velto_machine::kOk;
    }
    const auto* command = velto_machine::FindCommand(args[0]);
    if (command == nullptr) {
        std::cerr << "velto-machine: unknown command '" << args[0]
                  << "' (velto-machine --help lists the commands)\n";
        return velto_machine::kUsage;
    }
    // "velto-machine check --help" is a question, never an option of the command.
    for (auto arg = args.begin() + 1; arg != args.end(); ++arg) {
        if (*arg == "--help" || *arg == "-h") {
            std::cout << "usage: velto-machine " << command->name << " " << command->usage << "\n  "
                      << command->summary << "\n";
            return velto_machine::kOk;
        }
    }
    try {
        return command->run({args.begin() + 1, args.end()});
    } catch (const velto_machine::UsageError& e) {
        std::cerr << "velto-machine " << command->name << ": " << e.what() << "\n";
        return velto_machine::kUsage;
    } catch (const machine::MachineError& e) {
        std::cerr << "velto-machine " << command->name << ": " << e.what() << "\n";
        return velto_machine::kUsage;
    } catch (const std::exception& e) {
        std::cerr << "velto-machine " << command->name << ": " << e.what() << "\n";
        return velto_machine::kFailed;
    }
}
