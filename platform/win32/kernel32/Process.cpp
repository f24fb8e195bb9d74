#include "platform/win32/kernel32/Process.h"

#include <cctype>

#include "platform/automation/Errors.h"
#include "platform/machine/Machine.h"
#include "platform/machine/Text.h"
#include "platform/win32/kernel32/Paths.h"

namespace win32 {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A path on one of the machine's drives becomes its host path; anything else stays.
std::string HostArgument(const std::string& argument) {
    if (argument.size() < 2 || argument[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(argument[0])) ||
        (argument.size() > 2 && argument[2] != '\\' && argument[2] != '/')) {
        return argument;
    }
    const auto current = machine::CurrentMachine();
    if (!current || current->paths().Drive(argument[0]) == nullptr) {
        return argument;
    }
    const auto host = HostPathOf(argument);
    return host ? host->string() : argument;
}

// "C:\WINDOWS\EXPLORER.EXE" -> "explorer".
std::string ProgramName(std::string_view program) {
    const std::size_t slash = program.find_last_of("\\/");
    std::string name = machine::text::FoldCase(
        slash == std::string_view::npos ? program : program.substr(slash + 1));
    if (name.ends_with(".EXE")) {
        name.resize(name.size() - 4);
    }
    return name;
}

// The folder an explorer command line shows: "/e,C:\X", "/root,C:\X", "/select,C:\X\F" (its
// folder) or a plain path; the root of the current drive when there is none.
std::string ExplorerFolder(const std::vector<std::string>& argv) {
    std::string folder;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        std::string_view arg = argv[i];
        bool select = false;
        if (arg.starts_with('/')) {
            const std::size_t comma = arg.find(',');
            const std::string option = machine::text::FoldCase(arg.substr(0, comma));
            select = option == "/SELECT";
            arg = comma == std::string_view::npos ? std::string_view{} : arg.substr(comma + 1);
        }
        // Several options may share one argument: "/e,/select,C:\X\F".
        while (arg.starts_with('/')) {
            const std::size_t comma = arg.find(',');
            select = select || machine::text::FoldCase(arg.substr(0, comma)) == "/SELECT";
            arg = comma == std::string_view::npos ? std::string_view{} : arg.substr(comma + 1);
        }
        if (arg.empty()) {
            continue;
        }
        folder = arg;
        if (select) {
            const std::size_t slash = folder.find_last_of("\\/");
            folder = slash == std::string::npos ? std::string{} : folder.substr(0, slash + 1);
        }
    }
    if (folder.empty()) {
        const auto current = machine::CurrentMachine();
        folder = current ? std::string{current->currentDirectory().drive, ':', '\\'} : "C:\\";
    }
    return folder;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> argv;
    std::size_t pos = 0;
    while (pos < line.size() && IsBlank(line[pos])) {
        ++pos;
    }
    if (pos >= line.size()) {
        return argv;
    }
    std::string program;
    if (line[pos] == '"') {
        const std::size_t close = line.find('"', pos + 1);
        program = line.substr(pos + 1, close == std::string_view::npos ? close : close - pos - 1);
        pos = close == std::string_view::npos ? line.size() : close + 1;
    }
    while (pos < line.size() && !IsBlank(line[pos])) {
        program += line[pos++];
    }
    argv.push_back(std::move(program));

    while (true) {
        while (pos < line.size() && IsBlank(line[pos])) {
            ++pos;
        }
        if (pos >= line.size()) {
            return argv;
        }
        std::string arg;
        bool quoted = false;
        while (pos < line.size() && (quoted || !IsBlank(line[pos]))) {
            std::size_t backslashes = 0;
            while (pos < line.size() && line[pos] == '\\') {
                ++backslashes;
                ++pos;
            }
            if (pos < line.size() && line[pos] == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    arg += '"';
                } else if (quoted && pos + 1 < line.size() && line[pos + 1] == '"') {
                    // "" inside quotes is a literal quote.
                    arg += '"';
                    ++pos;
                } else {
                    quoted = !quoted;
                }
                ++pos;
            } else {
                arg.append(backslashes, '\\');
                if (pos < line.size() && (quoted || !IsBlank(line[pos]))) {
                    arg += line[pos++];
                }
            }
        }
        argv.push_back(std::move(arg));
    }
}

std::optional<LaunchRequest> HostCommand(std::string_view commandLine) {
    const std::vector<std::string> argv = SplitCommandLine(commandLine);
    if (argv.empty() || argv[0].empty()) {
        return std::nullopt;
    }
    const std::string name = ProgramName(argv[0]);
    LaunchRequest request;
    if (name == "EXPLORER") {
        request.argv = {"xdg-open", HostArgument(ExplorerFolder(argv))};
        return request;
    }
    if (name == "HH" && argv.size() > 1) {
        // "vlt.chm::/topic.htm" names a page inside the help file; the file is what opens.
        const std::string file = argv[1].substr(0, argv[1].find("::"));
        request.argv = {"xdg-open", HostArgument(file)};
        return request;
    }
    for (const std::string& arg : argv) {
        request.argv.push_back(HostArgument(arg));
    }
    return request;
}

double Shell(std::string_view pathName, int windowStyle) {
    if (windowStyle < vbHide || windowStyle > vbMinimizedNoFocus) {
        automation::Raise(automation::InvalidProcedureCall, "Shell");
    }
    const auto request = HostCommand(pathName);
    if (!request) {
        automation::Raise(automation::InvalidProcedureCall, "Shell");
    }
    long processId = 0;
    if (CurrentLauncher()->Launch(*request, processId) != 0) {
        automation::Raise(automation::FileNotFound, "Shell");
    }
    return static_cast<double>(processId);
}

}  // namespace win32
