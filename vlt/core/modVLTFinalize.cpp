#include "vlt/core/modVLTFinalize.h"

#include "controls/file/QzFile.h"
#include "controls/registry/QzRegistry.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Format.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Process.h"
#include "platform/win32/ntdll/LastError.h"
#include "vlt/core/ActionReport.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/ShowDocument.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWorkActions.h"

namespace modVLTFinalize {
namespace {

using automation::Variant;
Qz_File::QzFile& File() {
    return vlt::QzFile1();
}

Qz_Registry::QzRegistry& Registry() {
    return vlt::QzRegistry1();
}

constexpr const char* kProcedure = "modVLTFinalize.DoActionReport";

ReportFacts Facts() {
    const dialogs::AppObject& app = dialogs::App();
    ReportFacts facts;
    facts.title = app.Title();
    facts.version = std::to_string(app.Major()) + "." + std::to_string(app.Minor()) + "." +
                    std::to_string(app.Revision());
    facts.programFolder = app.Path();
    facts.dateText = automation::GeneralDateText(dialogs::Now());
    facts.fileCount = vlt::State().DecidedListing.value_or(File().FileCount());
    facts.copyright = app.LegalCopyright();
    return facts;
}

// Runs the action list to its end. An entry whose failure the user chose to ignore is passed
// over, so that one bad entry neither keeps the others from running nor the loop from ending.
void ExecuteActionList(vlt::Steps& steps) {
    vlt::VltState& state = vlt::State();
    bool more = true;
    while (more) {
        const std::int32_t at = state.NextAction;
        if (!steps.run("Cleaning up action list", [&] { more = modVLTWork::DoNextAction(); })) {
            if (state.NextAction == at && at < state.ActionCount) {
                ++state.NextAction;
            }
            more = state.NextAction < state.ActionCount;
        }
        dialogs::DoEvents();
    }
    // An entry passed over at the end leaves its batch to be committed here.
    modVLTWork::EndBatch();
}

// The save dialog of the interactive run; the path the report was saved to, or "" when it stays
// in the temporary file.
std::string AskWhereToSave(vlt::Steps& steps, const std::string& temp) {
    std::string chosen;
    bool canceled = true;
    steps.run("Returned from Rpt file name common dialog", [&] {
        vlt::SaveDialog& dialog = vlt::CommonDialog();
        dialog.SetInitDir(vlt::Sys1().MyDocuments());
        dialog.SetDefaultExt("htm");
        dialog.SetFilter("HTML File|*.htm;*.html");
        dialog.SetFileName("ActionReport.htm");
        dialog.SetHideReadOnly(true);
        chosen = dialog.ShowSave();
        canceled = dialog.Canceled();
    });
    if (canceled || chosen.empty()) {
        dialogs::MsgBox("Save canceled", dialogs::vbInformation | dialogs::vbOKOnly);
        return {};
    }
    if (automation::EqualsIgnoreCase(chosen, temp)) {
        return {};
    }
    const bool copied = steps.run("writing report file", [&] {
        if (!win32::CopyFileA(temp, chosen, false)) {
            win32::RaiseLastError(kProcedure);
        }
    });
    return copied ? chosen : std::string();
}

}  // namespace

void DoActionReport() {
    vlt::TraceScope trace(kProcedure);
    vlt::Steps steps(kProcedure);
    vlt::VltState& state = vlt::State();

    ReportFacts facts;
    std::string summary;
    std::string temp;
    bool written = false;
    // Until the report that names them is written, what the run scheduled for the restart is
    // taken back if the program ends here (an Abort answered, DoError, Windows ending): the
    // next start must not carry out changes nobody was told of.
    try {
        ExecuteActionList(steps);
        // From here on the queued changes are carried out (scheduled for the restart): leaving
        // the review window no longer abandons them.
        state.ChangesApplied = true;

        steps.run("Setting count", [&] { facts = Facts(); });
        vlt::Trace("Number Actions=" + std::to_string(state.LogCount));
        if (state.LogCount == 0) {
            steps.run("No Action area",
                      [] { dialogs::MsgBox("No Action taken", dialogs::vbOKOnly); });
            trace.Exit();
            QzBase::CloseProgram();
            return;
        }

        ReportLists lists;
        steps.run("Beginning Assignment Loop", [&] {
            lists = ReportLists{};
            for (std::int32_t k = 0; k < state.LogCount; ++k) {
                const vlt::LogEntry& entry = state.ActionLog[static_cast<std::size_t>(k)];
                lists.Add(entry[0], entry[1], entry[2]);
            }
        });
        const std::string text = ReportDocument(facts, lists);
        summary = ReportSummary(facts.fileCount, lists);

        // The report goes to a fresh temporary file, replaced whole so that a crash can never
        // leave half a report behind.
        steps.run("Saving Temp Report File: ", [&] {
            temp = vlt::Sys1().TempFileName("VLT");
            if (temp.empty()) {
                automation::Raise(automation::PathFileAccessError, kProcedure,
                                  "No temporary file can be created in " + vlt::Sys1().TempDir());
            }
        });
        written = !temp.empty() && steps.run("Saving Temp Report File: " + temp, [&] {
            if (!win32::WriteFileAtomicallyA(temp, text)) {
                win32::RaiseLastError(kProcedure);
            }
        });
    } catch (...) {
        modVLTWork::WithdrawRestartChanges();
        throw;
    }
    if (written) {
        // The report names them now: an end from here on leaves them, told of.
        state.RestartChanges.clear();
        state.CountChanges.clear();
    }

    const bool unattended = modVLTProperties::GoScan();
    // Without a written report there is nothing to save or show.
    if (written) {
        std::string report = temp;
        const int save = unattended
                             ? dialogs::vbYes
                             : dialogs::MsgBox("Summary Action Report: \r\n\r\n" + summary +
                                                   "Do you wish to save the Detail Action Report?",
                                               dialogs::vbYesNo, "Summary Action Report");
        if (save == dialogs::vbYes && !unattended) {
            if (const std::string saved = AskWhereToSave(steps, temp); !saved.empty()) {
                report = saved;
            }
        }
        state.ReportFile = report;
        if (dialogs::MsgBox("Do you wish to view the report?", dialogs::vbYesNo,
                            "Report Created.") == dialogs::vbYes) {
            steps.run("Displaying Report File", [&] {
                // The pause gives the browser time to come up; when nothing shows the report,
                // the user has been told so and there is nothing to wait for.
                if (vlt::ShowDocument(ViewCommandLine(vlt::OpenCommand(".htm"), report), report,
                                      "Report Not Shown")) {
                    QzBase::Pause(15);
                }
            });
        }
    }

    steps.run("Saving Last Scan Date", [&] {
        Registry().SaveRegSetting(
            "LastScanDateTime",
            Variant(automation::Format(Variant(dialogs::Now()), "yyyy-mm-dd-hh:nn:ss")));
    });

    if (state.RestartNeeded) {
        bool restart = unattended;
        if (!unattended) {
            steps.run("Asking to reboot", [&] { restart = modVLTWork::RebootRequested(); });
        }
        if (restart) {
            steps.run("Rebooting", [] { vlt::Sys1().Reboot(); });
        }
    }
}

}  // namespace modVLTFinalize
