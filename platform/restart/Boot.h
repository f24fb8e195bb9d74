#pragma once
// The start of the emulated machine: what Windows does with the moves and deletions it was
// asked to carry out "at the next restart", before any program runs. In order:
//   1. the [Rename] lines of wininit.ini in the Windows folder (9x family), top to bottom;
//      then wininit.ini is renamed to wininit.bak, replacing an older one;
//   2. the pending list (NT family): PendingFileRenameOperations, then
//      PendingFileRenameOperations2, in list order, as the Session Manager reads them; then the
//      entries are taken off the list (each value goes once it is empty).
// Both are carried out whatever the machine's platform, as a machine that changed family
// would, except on a machine whose own start reads no wininit.ini (a Windows installation on
// a disk, MachineKind::startReadsWininit). A failing operation (its source gone, its folder
// missing, a read-only target) is reported and the others still run; the file and the list are
// cleared either way, because running the operations that succeeded a second time at the next start
// could do harm. Each operation is recorded as carried out before the next is tried
// (BootProgress.h), so a start cut short goes on, at the next one, with the first operation it had
// not finished.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

struct BootOperation {
    enum class From { Wininit, PendingList };
    From from = From::Wininit;
    // The wininit.ini line number, or the entry's place in the pending list (from 1).
    std::size_t position = 0;
    std::string source;
    // Absent: delete the source.
    std::optional<std::string> target;
    bool replaceExisting = false;
    // ERROR_SUCCESS once carried out.
    DWORD error = ERROR_SUCCESS;
    // Carried out by a start that was cut short before it could record it.
    bool earlier = false;

    bool succeeded() const { return error == ERROR_SUCCESS; }
    // "wininit.ini line 3: move C:\TEMP\VLT1.TMP to C:\WINDOWS\SYSTEM\A.DLL: done"
    std::string Describe() const;
    // The same without the outcome, for an operation still waiting.
    std::string What() const;
};

struct BootReport {
    // Left empty by a start that keeps only the summary.
    std::vector<BootOperation> operations;
    // Every line reported, in order (the operations' lines among them); left empty by a start
    // that keeps only the summary.
    std::vector<std::string> lines;
    // Operations carried out, and how many of them failed.
    std::size_t carriedOut = 0;
    std::size_t failures = 0;
    // An operation failed, or wininit.ini or the pending list could not be read or cleared.
    bool failed = false;
};

using BootPrinter = std::function<void(const std::string& line)>;

// What the report keeps: every operation and line, or (for a caller that prints each line as
// it comes and may meet lists of millions of lines) the counts alone.
enum class BootKeep { Everything, Summary };

// Starts the current machine, handing each line to `print` as it happens.
BootReport BootMachine(const BootPrinter& print = {}, BootKeep keep = BootKeep::Everything);

// A short text for a Win32 error code, for reports ("file not found").
std::string DescribeWin32Error(DWORD code);

// Whether the current machine's start carries out wininit.ini.
bool StartReadsWininit();

}  // namespace win32
