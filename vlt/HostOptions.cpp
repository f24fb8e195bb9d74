#include "vlt/HostOptions.h"

namespace vltmain {

HostOptions ParseHostOptions(const std::vector<std::string>& arguments) {
    HostOptions options;
    std::vector<std::string> rest;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || !argument.starts_with("--")) {
            rest.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--desktop") {
            options.desktop = true;
        } else if (argument.starts_with("--machine=")) {
            options.machine = argument.substr(std::string("--machine=").size());
        } else if (argument == "--machine") {
            if (i + 1 == arguments.size()) {
                options.error = "option '--machine' needs the machine folder";
                return options;
            }
            options.machine = arguments[++i];
        } else if (argument.starts_with("--user=")) {
            options.user = argument.substr(std::string("--user=").size());
        } else if (argument == "--user") {
            if (i + 1 == arguments.size()) {
                options.error = "option '--user' needs the name of a user of the installation";
                return options;
            }
            options.user = arguments[++i];
        } else {
            options.error = "unrecognized option '" + argument + "'";
            return options;
        }
    }
    for (const std::string& argument : rest) {
        options.commandLine += (options.commandLine.empty() ? "" : " ") + argument;
    }
    return options;
}

}  // namespace vltmain
