#include "platform/restart/Boot.h"

#include <cerrno>
#include <cstdint>

#include "platform/machine/Machine.h"
#include "platform/restart/BootProgress.h"
#include "platform/restart/RestartMoves.h"
#include "platform/restart/Wininit.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

using List = BootProgress::List;

class Run {
  public:
    Run(const BootPrinter& print, BootKeep keep, BootProgress* progress)
        : print_(print), keep_(keep), progress_(progress) {}

    void Say(std::string line) {
        said_ = true;
        if (print_) {
            print_(line);
        }
        if (keep_ == BootKeep::Everything) {
            report_.lines.push_back(std::move(line));
        }
    }

    // Carries out the next operation of `list`, recording it before the one after it is
    // tried. `record` is the list's progress so far and moves on past the operation.
    void Carry(List list, BootOperation operation, BootProgress::Record& record) {
        BootProgress::Record next{
            record.done + 1, BootProgress::Chain(record.hash, operation.source, operation.target),
            false};
        if (record.started && HappenedAlready(operation)) {
            operation.earlier = true;
            operation.error = ERROR_SUCCESS;
        } else {
            // Begun only once its source is known to be there: a start cut short right
            // after can then tell from the files whether it happened.
            if (GetFileAttributesA(operation.source) != INVALID_FILE_ATTRIBUTES) {
                Save(list, BootProgress::Record{record.done, record.hash, true});
            }
            operation.error = Perform(operation);
        }
        Save(list, next);
        record = next;
        ++report_.carriedOut;
        if (!operation.succeeded()) {
            ++report_.failures;
            report_.failed = true;
        }
        Say(operation.Describe());
        if (keep_ == BootKeep::Everything) {
            report_.operations.push_back(std::move(operation));
        }
    }

    void Save(List list, const BootProgress::Record& record) {
        if (progress_ == nullptr || progress_->error() != 0) {
            return;
        }
        if (const int err = progress_->Put(list, record); err != 0) {
            Say(progress_->file().string() + " cannot be written (" +
                DescribeWin32Error(Win32ErrorFromErrno(err)) +
                "): a start cut short from now on begins again at the first line");
        }
    }

    void Fail(std::string line) {
        report_.failed = true;
        Say(std::move(line));
    }

    bool Quiet() const { return !said_; }
    BootReport Finish() { return std::move(report_); }

  private:
    // The operation a start cut short had begun: its source was there when it began, so a
    // source now gone (and a target now there) means it was carried out.
    static bool HappenedAlready(const BootOperation& operation) {
        if (GetFileAttributesA(operation.source) != INVALID_FILE_ATTRIBUTES) {
            return false;
        }
        return !operation.target ||
               GetFileAttributesA(*operation.target) != INVALID_FILE_ATTRIBUTES;
    }

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
    const BootKeep keep_;
    BootProgress* progress_;
    BootReport report_;
    bool said_ = false;
};

// The progress recorded for a list that still starts with the operations it counts; none
// (and the record dropped) for one that changed since.
template <class Operations>
BootProgress::Record Resumed(Run& run, BootProgress* progress, List list, const std::string& what,
                             Operations&& operations) {
    const BootProgress::Record recorded =
        progress != nullptr ? progress->Get(list) : BootProgress::Record{};
    if (recorded.empty()) {
        return {};
    }
    std::uint64_t hash = BootProgress::kStartHash;
    std::uint64_t seen = 0;
    operations([&](const std::string& source, const std::optional<std::string>& target) {
        if (seen < recorded.done) {
            hash = BootProgress::Chain(hash, source, target);
            ++seen;
        }
    });
    if (seen == recorded.done && hash == recorded.hash) {
        if (recorded.done > 0) {
            run.Say(what + ": the first " + std::to_string(recorded.done) +
                    " operations were carried out by a start that was cut short");
        }
        return recorded;
    }
    run.Say(what +
            " is not the one a start that was cut short worked on; it is carried out "
            "from the top");
    run.Save(list, {});
    return {};
}

void RunWininit(Run& run, BootProgress* progress) {
    const auto windows = GetWindowsDirectoryA();
    if (!windows) {
        run.Fail("wininit.ini: the Windows folder is not known");
        return;
    }
    const std::string folder = windows->ends_with('\\') ? *windows : *windows + '\\';
    const std::string wininit = folder + "wininit.ini";
    const auto host = HostPathOf(wininit);
    host::FileStat st;
    if (!host || host::Stat(*host, st) != 0) {
        // Renamed away by a start that was cut short before it could say so.
        run.Save(List::Wininit, {});
        return;
    }
    if (!st.isRegular) {
        run.Fail("wininit.ini is not a file (a folder, FIFO, socket or device); left alone");
        return;
    }
    std::string text;
    if (const int err = host::ReadWholeFile(*host, text); err != 0) {
        run.Fail("wininit.ini: cannot be read (" + DescribeWin32Error(Win32ErrorFromErrno(err)) +
                 ")");
        return;
    }
    BootProgress::Record record =
        Resumed(run, progress, List::Wininit, "wininit.ini", [&](const auto& each) {
            WininitReader reader(text);
            for (WininitReader::Line line; reader.Next(line);) {
                if (line.rename) {
                    each(line.rename->source, line.rename->target);
                }
            }
        });
    const std::uint64_t skip = record.done;
    std::uint64_t index = 0;
    WininitReader reader(text);
    for (WininitReader::Line line; reader.Next(line);) {
        if (!line.rename) {
            if (index >= skip) {
                run.Say("wininit.ini line " + std::to_string(line.line) +
                        ": not a rename line, left alone");
            }
            continue;
        }
        if (index++ < skip) {
            continue;
        }
        run.Carry(List::Wininit,
                  BootOperation{BootOperation::From::Wininit, line.line, line.rename->source,
                                line.rename->target, true},
                  record);
    }
    text.clear();
    text.shrink_to_fit();
    if (MoveFileExA(wininit, folder + "wininit.bak", MOVEFILE_REPLACE_EXISTING)) {
        run.Save(List::Wininit, {});
        run.Say("wininit.ini renamed to wininit.bak");
    } else {
        run.Fail("wininit.ini could not be renamed to wininit.bak (" +
                 DescribeWin32Error(GetLastError()) +
                 "); the next start renames it without carrying it out again");
    }
}

void RunPendingList(Run& run, BootProgress* progress) {
    const auto list = ReadPendingRenames();
    if (!list) {
        run.Fail(std::string(kPendingFileRenameOperations) + ": cannot be read (" +
                 DescribeWin32Error(GetLastError()) + ")");
        return;
    }
    if (list->empty()) {
        run.Save(List::Pending, {});
        return;
    }
    BootProgress::Record record =
        Resumed(run, progress, List::Pending, std::string(kPendingFileRenameOperations),
                [&](const auto& each) {
                    for (const PendingRename& entry : *list) {
                        each(entry.source, entry.target);
                    }
                });
    for (std::size_t i = static_cast<std::size_t>(record.done); i < list->size(); ++i) {
        const PendingRename& entry = (*list)[i];
        run.Carry(List::Pending,
                  BootOperation{BootOperation::From::PendingList, i + 1, entry.source, entry.target,
                                entry.replaceExisting},
                  record);
    }
    if (RemovePendingRenames(*list)) {
        run.Save(List::Pending, {});
        run.Say(std::string(kPendingFileRenameOperations) + " cleared");
    } else {
        run.Fail(std::string(kPendingFileRenameOperations) + " could not be cleared (" +
                 DescribeWin32Error(GetLastError()) +
                 "); the next start takes it off without carrying it out again");
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

bool StartReadsWininit() {
    const auto current = machine::CurrentMachine();
    return !current || current->kind().startReadsWininit();
}

std::string BootOperation::What() const {
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
    return line;
}

std::string BootOperation::Describe() const {
    const std::string line = What();
    if (earlier) {
        return line + ": done by the start that was cut short";
    }
    return line + (succeeded() ? ": done" : ": failed (" + DescribeWin32Error(error) + ")");
}

BootReport BootMachine(const BootPrinter& print, BootKeep keep) {
    const auto current = machine::CurrentMachine();
    if (!current) {
        Run run(print, keep, nullptr);
        run.Fail("no machine to start");
        return run.Finish();
    }
    BootProgress progress(current->folder() / "boot.progress");
    Run run(print, keep, &progress);
    if (progress.error() != 0) {
        run.Say(progress.file().string() + " cannot be used (" +
                DescribeWin32Error(Win32ErrorFromErrno(progress.error())) +
                "): a start cut short would begin again at the first line");
    }
    if (current->kind().startReadsWininit()) {
        RunWininit(run, &progress);
    }
    RunPendingList(run, &progress);
    if (run.Quiet()) {
        run.Say("nothing to carry out");
    }
    return run.Finish();
}

}  // namespace win32
