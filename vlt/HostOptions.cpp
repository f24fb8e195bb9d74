#include "vlt/HostOptions.h"

#include <optional>
#include <string_view>

namespace vltmain {
namespace {

struct Valued {
    std::string_view name;
    std::string_view what;  // what the value is, for a message
    std::optional<std::string>* (*value)(HostOptions&);
};

// The host options that take a value ("--machine DIR" or "--machine=DIR").
std::optional<Valued> ValuedOption(std::string_view argument) {
    static constexpr Valued kValued[] = {
        {"--machine", "the machine folder", [](HostOptions& o) { return &o.machine; }},
        {"--user", "the name of a user of the installation",
         [](HostOptions& o) { return &o.user; }},
    };
    for (const Valued& option : kValued) {
        if (argument == option.name ||
            (argument.starts_with(option.name) && argument.size() > option.name.size() &&
             argument[option.name.size()] == '=')) {
            return option;
        }
    }
    return std::nullopt;
}

}  // namespace

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
        } else if (const auto valued = ValuedOption(argument)) {
            if (argument.find('=') != std::string::npos) {
                *valued->value(options) = argument.substr(argument.find('=') + 1);
            } else if (i + 1 == arguments.size()) {
                options.error = "option '" + argument + "' needs " + std::string(valued->what);
                return options;
            } else {
                *valued->value(options) = arguments[++i];
            }
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
