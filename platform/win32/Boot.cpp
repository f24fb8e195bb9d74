#include "platform/win32/Boot.h"

#include <cerrno>
#include <cstdint>

#include "platform/machine/Machine.h"
#include "platform/win32/Directories.h"
#include "platform/win32/FileAttributes.h"
#include "platform/win32/Files.h"
#include "platform/win32/HostFiles.h"
#include "platform/win32/LastError.h"
#include "platform/win32/Paths.h"
#include "platform/win32/RestartMoves.h"
#include "platform/win32/Wininit.h"

namespace win32 {
namespace {

class Run {
  public:
    explicit Run(const BootPrinter& print) : print_(print) {}

    void Say(std::string line) {
        if (print_) {
            print_(line);
        }
        report_.lines.push_back(std::move(line));
    }

    void Carry(BootOperation operation) {
        operation.error = Perform(operation);
        if (!operation.succeeded()) {
            report_.failed = true;
        }
        Say(operation.Describe());
        report_.operations.push_back(std::move(operation));
    }

    void Fail(std::string line) {
        report_.failed = true;
        Say(std::move(line));
    }

    bool Quiet() const { return report_.lines.empty(); }
    BootReport Finish() { return std::move(report_); }

  private:
    static DWORD Perform(const BootOperation& operation) {
        bool ok = false;
        if (operation.target) {
            DWORD flags = MOVEFILE_COPY_ALLOWED;
            if (operation.replaceExisting) {
                flags |= MOVEFILE_REPLACE_EXISTING;
            }
            ok = MoveFileExA(operation.source, *operation.target, flags);
        } else {
            const std::int32_t attributes = GetFileAttributesA(operation.source);
            if (attributes != INVALID_FILE_ATTRIBUTES) {
                ok = (static_cast<DWORD>(attributes) & FILE_ATTRIBUTE_DIRECTORY) != 0
                         ? RemoveDirectoryA(operation.source)
                         : DeleteFileA(operation.source);
            }
        }
        return ok ? ERROR_SUCCESS : GetLastError();
    }

    const BootPrinter& print_;
    BootReport report_;
};

void RunWininit(Run& run) {
    const auto windows = GetWindowsDirectoryA();
    if (!windows) {
        run.Fail("wininit.ini: the Windows folder is not known");
        return;
    }
    const std::string folder = windows->ends_with('\\') ? *windows : *windows + '\\';
    const std::string wininit = folder + "wininit.ini";
    if (GetFileAttributesA(wininit) == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    const auto host = HostPathOf(wininit);
    std::string text;
    if (const int err = host ? host::ReadWholeFile(*host, text) : ENOENT; err != 0) {
        run.Fail("wininit.ini: cannot be read (" +
                 DescribeWin32Error(host ? Win32ErrorFromErrno(err) : GetLastError()) + ")");
        return;
    }
    const WininitRenames parsed = ParseWininitRenames(text);
    auto ignored = parsed.ignoredLines.begin();
    for (const WininitRename& rename : parsed.renames) {
        for (; ignored != parsed.ignoredLines.end() && *ignored < rename.line; ++ignored) {
            run.Say("wininit.ini line " + std::to_string(*ignored) +
                    ": not a rename line, left alone");
        }
        run.Carry(BootOperation{BootOperation::From::Wininit, rename.line, rename.source,
                                rename.target, true});
    }
    for (; ignored != parsed.ignoredLines.end(); ++ignored) {
        run.Say("wininit.ini line " + std::to_string(*ignored) + ": not a rename line, left alone");
    }
    if (MoveFileExA(wininit, folder + "wininit.bak", MOVEFILE_REPLACE_EXISTING)) {
        run.Say("wininit.ini renamed to wininit.bak");
    } else {
        run.Fail("wininit.ini could not be renamed to wininit.bak (" +
                 DescribeWin32Error(GetLastError()) + "); it will be carried out again");
    }
}

void RunPendingList(Run& run) {
    const auto list = ReadPendingRenames();
    if (!list) {
        run.Fail(std::string(kPendingFileRenameOperations) + ": cannot be read (" +
                 DescribeWin32Error(GetLastError()) + ")");
        return;
    }
    if (list->empty()) {
        return;
    }
    for (std::size_t i = 0; i < list->size(); ++i) {
        const PendingRename& entry = (*list)[i];
        run.Carry(BootOperation{BootOperation::From::PendingList, i + 1, entry.source, entry.target,
                                entry.replaceExisting});
    }
    if (RemovePendingRenames(*list)) {
        run.Say(std::string(kPendingFileRenameOperations) + " cleared");
    } else {
        run.Fail(std::string(kPendingFileRenameOperations) + " could not be cleared (" +
                 DescribeWin32Error(GetLastError()) + ")");
    }
}

}  // namespace

std::string DescribeWin32Error(DWORD code) {
    const char* text = nullptr;
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
            text = "file not found";
            break;
        case ERROR_PATH_NOT_FOUND:
            text = "path not found";
            break;
        case ERROR_ACCESS_DENIED:
            text = "access denied";
            break;
        case ERROR_NOT_READY:
            text = "drive not ready";
            break;
        case ERROR_SHARING_VIOLATION:
            text = "file in use";
            break;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            text = "target exists";
            break;
        case ERROR_INVALID_PARAMETER:
            text = "invalid parameter";
            break;
        case ERROR_DISK_FULL:
            text = "disk full";
            break;
        case ERROR_INVALID_NAME:
            text = "invalid name";
            break;
        case ERROR_DIR_NOT_EMPTY:
            text = "folder not empty";
            break;
        case ERROR_NOT_SUPPORTED:
            text = "not supported";
            break;
        default:
            break;
    }
    const std::string number = "error " + std::to_string(code);
    return text != nullptr ? number + ", " + text : number;
}

std::string BootOperation::Describe() const {
    std::string line = from == From::Wininit ? "wininit.ini line " + std::to_string(position)
                                             : "pending operation " + std::to_string(position);
    if (target) {
        line += ": move " + source + " to " + *target;
        if (from == From::PendingList && replaceExisting) {
            line += " (replacing it)";
        }
    } else {
        line += ": delete " + source;
    }
    return line + (succeeded() ? ": done" : ": failed (" + DescribeWin32Error(error) + ")");
}

BootReport BootMachine(const BootPrinter& print) {
    Run run(print);
    if (!machine::CurrentMachine()) {
        run.Fail("no machine to start");
        return run.Finish();
    }
    RunWininit(run);
    RunPendingList(run);
    if (run.Quiet()) {
        run.Say("nothing to carry out");
    }
    return run.Finish();
}

}  // namespace win32
