#include "vlt/core/modVLTFinalize.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/Date.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/win32/user32/ExitWindows.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/support/RegistrySeed.h"
#include "tests/vlt/core/CoreTestSupport.h"
#include "vlt/core/ActionReport.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWorkActions.h"

namespace {

using coretest::CoreTest;
using vlt::State;
using Strings = std::vector<std::string>;

// The CommonDialog form: records what the report set and answers with a chosen path, or as a
// cancel when `answer` holds none.
class FakeSave : public vlt::SaveDialog {
  public:
    void SetInitDir(const std::string& folder) override { initDir = folder; }
    void SetFileName(const std::string& name) override { fileName = name; }
    void SetDefaultExt(const std::string& extension) override { defaultExt = extension; }
    void SetFilter(const std::string& text) override { filter = text; }
    void SetHideReadOnly(bool hide) override { hideReadOnly = hide; }
    std::string ShowSave() override {
        ++shows;
        const std::optional<std::string> chosen = answer ? answer() : std::nullopt;
        canceled = !chosen;
        return chosen.value_or("");
    }
    bool Canceled() const override { return canceled; }

    std::function<std::optional<std::string>()> answer;
    std::string initDir, fileName, defaultExt, filter;
    bool hideReadOnly = false;
    bool canceled = false;
    int shows = 0;
};

class ActionReportRun : public CoreTest {
  protected:
    ActionReportRun() {
        vlt::State().windows.commonDialog = save;
        win32::ClearExitRequest();
        testsupport::SeedRegistry(
            machine,
            "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"htmlfile\"\r\n\r\n"
            "[HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command]\r\n"
            "@=\"xdg-open \\\"%1\\\"\"\r\n");
        machine.File("C:\\A\\X.DLL", "a").File("C:\\B\\X.DLL", "b");
    }
    ~ActionReportRun() override { win32::ClearExitRequest(); }

    // Loads the control host, then sets the clock to 5 March 2003 14:07:09.
    void Load(const std::string& commandLine = {}) {
        LoadHost(commandLine);
        clock->SetLocalNow(automation::Date(automation::DateSerial(2003, 3, 5).serial +
                                            automation::TimeSerial(14, 7, 9).serial));
    }

    // Runs the report; true when it ended the program.
    static bool Run() {
        try {
            modVLTFinalize::DoActionReport();
            return false;
        } catch (const vlt::ProgramEnded&) {
            return true;
        }
    }
    Strings Titles() const {
        Strings titles;
        for (const auto& box : dialogs->MsgBoxes()) {
            titles.push_back(box.title);
        }
        return titles;
    }
    // The reports written to the temporary folder, as Windows paths.
    Strings TempReports() const {
        Strings paths;
        for (const auto& entry :
             std::filesystem::directory_iterator(machine.HostPath("C:\\WINDOWS\\TEMP"))) {
            paths.push_back("C:\\WINDOWS\\TEMP\\" + entry.path().filename().string());
        }
        return paths;
    }
    // What the report should hold for the log as it stands.
    static std::string ExpectedDocument() {
        modVLTFinalize::ReportLists lists;
        for (int k = 0; k < State().LogCount; ++k) {
            const auto& entry = State().ActionLog[static_cast<std::size_t>(k)];
            lists.Add(entry[0], entry[1], entry[2]);
        }
        const dialogs::AppObject& app = dialogs::App();
        modVLTFinalize::ReportFacts facts;
        facts.title = app.Title();
        facts.version = std::to_string(app.Major()) + "." + std::to_string(app.Minor()) + "." +
                        std::to_string(app.Revision());
        facts.programFolder = app.Path();
        facts.dateText = "3/5/2003 2:07:09 PM";
        facts.fileCount = 0;
        facts.copyright = app.LegalCopyright();
        return modVLTFinalize::ReportDocument(facts, lists);
    }
    static void TwoBackupsAndOneRemoval() {
        modVLTWork::UpdateActionLog("C:\\Tom & Jerry\\A.DLL", 3,
                                    "C:\\BACK\\C~~Tom & Jerry~A.DLL.backup");
        modVLTWork::UpdateActionLog("C:\\B\\X.DLL", 3, "C:\\BACK\\C~~B~X.DLL.backup");
        modVLTWork::UpdateActionLog("C:\\B\\X.DLL", 7, "");
    }

    std::shared_ptr<FakeSave> save = std::make_shared<FakeSave>();
    testsupport::RecordingLauncher launcher;
};

TEST_F(ActionReportRun, AnEmptyLogOnlySaysNoActionTakenAndCloses) {
    Load();
    EXPECT_TRUE(Run());
    ASSERT_EQ(dialogs->MsgBoxes().size(), 1u);
    EXPECT_EQ(dialogs->MsgBoxes()[0].prompt, "No Action taken");
    EXPECT_EQ(dialogs->MsgBoxes()[0].style, dialogs::vbOKOnly);
    EXPECT_TRUE(State().ChangesApplied);
    EXPECT_TRUE(State().Closing);
    EXPECT_EQ(Settings().find("LastScanDateTime"), std::string::npos);
    EXPECT_TRUE(TempReports().empty());
}

TEST_F(ActionReportRun, TheSummaryCountsEachKindAndTheReportStaysInTheTemporaryFile) {
    Load();
    TwoBackupsAndOneRemoval();
    dialogs->AnswerMsgBox(dialogs::vbNo);
    dialogs->AnswerMsgBox(dialogs::vbNo);
    EXPECT_FALSE(Run());
    EXPECT_EQ(Titles(), (Strings{"Summary Action Report", "Report Created."}));
    const auto boxes = dialogs->MsgBoxes();
    EXPECT_EQ(boxes[0].prompt,
              "Summary Action Report: \r\n\r\nTotal System Files scanned: 0\r\nFiles backed up: "
              "2\r\nFiles to remove on restart: 1\r\nDo you wish to save the Detail Action "
              "Report?");
    EXPECT_EQ(boxes[0].style, dialogs::vbYesNo);
    EXPECT_EQ(boxes[1].prompt, "Do you wish to view the report?");
    EXPECT_EQ(boxes[1].style, dialogs::vbYesNo);

    const Strings reports = TempReports();
    ASSERT_EQ(reports.size(), 1u);
    const std::string text = machine.Read(reports[0]);
    EXPECT_EQ(text, ExpectedDocument());
    EXPECT_NE(text.find(">C:\\Tom &amp; Jerry\\A.DLL<"), std::string::npos);
    EXPECT_EQ(save->shows, 0);
    EXPECT_TRUE(launcher.Commands().empty());
    EXPECT_NE(Settings().find("\"LastScanDateTime\"=\"2003-03-05-14:07:09\""), std::string::npos)
        << Settings();
    EXPECT_FALSE(win32::PendingExitRequest());
    EXPECT_FALSE(State().Closing);
}

TEST_F(ActionReportRun, TheUnattendedRunSavesWithoutAskingAndRestartsWithoutAsking) {
    Load("-S");
    modVLTProperties::BackupPath("C:\\BACK");
    modVLTWork::DeleteFile("C:\\A\\X.DLL");
    EXPECT_FALSE(Run());
    // The view question is still asked; with nobody to answer it the report is not shown.
    EXPECT_EQ(Titles(), (Strings{"Report Created."}));
    EXPECT_TRUE(launcher.Commands().empty());
    EXPECT_EQ(machine.Read("C:\\BACK\\C~~A~X.DLL.backup"), "a");
    const auto request = win32::PendingExitRequest();
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->restart);
    EXPECT_NE(Settings().find("LastScanDateTime"), std::string::npos);
    bool reportFound = false;
    for (const auto& path : TempReports()) {
        reportFound = reportFound || machine.Read(path) == ExpectedDocument();
    }
    EXPECT_TRUE(reportFound);
}

TEST_F(ActionReportRun, TheRestartIsAskedForInTheInteractiveRun) {
    for (const int answer : {dialogs::vbNo, dialogs::vbYes}) {
        SCOPED_TRACE(answer);
        Load();
        dialogs->Clear();
        win32::ClearExitRequest();
        modVLTWork::UpdateActionLog("C:\\B\\X.DLL", 7, "");
        State().RestartNeeded = true;
        dialogs->AnswerMsgBox(dialogs::vbNo);
        dialogs->AnswerMsgBox(dialogs::vbNo);
        dialogs->AnswerMsgBox(answer);
        Run();
        EXPECT_EQ(Titles(),
                  (Strings{"Summary Action Report", "Report Created.", "Restart Required"}));
        EXPECT_EQ(win32::PendingExitRequest().has_value(), answer == dialogs::vbYes);
    }
}

TEST_F(ActionReportRun, SavingCopiesTheReportToTheChosenFileWhichIsThenShown) {
    Load();
    TwoBackupsAndOneRemoval();
    save->answer = [] { return std::optional<std::string>("C:\\My Documents\\Run.htm"); };
    machine.Folder("C:\\My Documents");
    dialogs->AnswerMsgBox(dialogs::vbYes);
    dialogs->AnswerMsgBox(dialogs::vbYes);
    Run();
    EXPECT_EQ(save->shows, 1);
    EXPECT_EQ(save->initDir, "C:\\My Documents");
    EXPECT_EQ(save->defaultExt, "htm");
    EXPECT_EQ(save->filter, "HTML File|*.htm;*.html");
    EXPECT_EQ(save->fileName, "ActionReport.htm");
    EXPECT_TRUE(save->hideReadOnly);
    EXPECT_EQ(machine.Read("C:\\My Documents\\Run.htm"), ExpectedDocument());
    ASSERT_EQ(launcher.Commands().size(), 1u);
    EXPECT_EQ(launcher.Commands()[0],
              (Strings{"xdg-open", machine.HostPath("C:\\My Documents\\Run.htm").string()}));
    EXPECT_EQ(Titles(), (Strings{"Summary Action Report", "Report Created."}));
}

// A report that nothing can show is said by name, and the program does not then wait for a
// browser that never comes; one that opens is given its pause.
TEST_F(ActionReportRun, AReportThatCannotBeShownIsSaidAndNotWaitedFor) {
    struct Case {
        const char* what;
        int launchError;
        std::optional<int> exitStatus;
        bool shown;
    };
    const Case cases[] = {
        {"no opener", ENOENT, std::nullopt, false},
        {"the opener finds no program", 0, 3, false},
        {"the opener shows it", 0, 0, true},
    };
    Load();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TwoBackupsAndOneRemoval();
        launcher.FailWith(c.launchError);
        launcher.EndWith(c.exitStatus);
        dialogs->Clear();
        dialogs->AnswerMsgBox(dialogs::vbNo);   // no save: the report stays in the temporary file
        dialogs->AnswerMsgBox(dialogs::vbYes);  // view it
        const double before = clock->Monotonic();
        Run();
        if (c.shown) {
            EXPECT_EQ(Titles(), (Strings{"Summary Action Report", "Report Created."}));
            EXPECT_GE(clock->Monotonic() - before, 15);
        } else {
            ASSERT_EQ(Titles(),
                      (Strings{"Summary Action Report", "Report Created.", "Report Not Shown"}));
            const std::string prompt = dialogs->MsgBoxes()[2].prompt;
            EXPECT_NE(prompt.find(" could not be opened: "), std::string::npos) << prompt;
            EXPECT_TRUE(prompt.starts_with("C:\\WINDOWS\\TEMP\\VLT")) << prompt;
            EXPECT_EQ(clock->Monotonic(), before);
        }
    }
}

TEST_F(ActionReportRun, ACancelledOrSameNameSaveKeepsTheTemporaryReport) {
    struct Case {
        const char* name;
        bool cancel;
        Strings titles;
    };
    const std::vector<Case> cases = {
        {"cancelled", true, {"Summary Action Report", "Velto", "Report Created."}},
        {"the temporary file's own name", false, {"Summary Action Report", "Report Created."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Load();
        dialogs->Clear();
        std::filesystem::remove_all(machine.HostPath("C:\\WINDOWS\\TEMP"));
        machine.Folder("C:\\WINDOWS\\TEMP");
        TwoBackupsAndOneRemoval();
        save->answer = [&]() -> std::optional<std::string> {
            if (c.cancel) {
                return std::nullopt;
            }
            const Strings reports = TempReports();
            return reports.empty() ? std::string() : automation::LCase(reports[0]);
        };
        dialogs->AnswerMsgBox(dialogs::vbYes);
        if (c.cancel) {
            dialogs->AnswerMsgBox(dialogs::vbOK);
        }
        dialogs->AnswerMsgBox(dialogs::vbYes);
        const std::size_t launchedBefore = launcher.Commands().size();
        Run();
        EXPECT_EQ(Titles(), c.titles);
        if (c.cancel) {
            EXPECT_EQ(dialogs->MsgBoxes()[1].prompt, "Save canceled");
            EXPECT_EQ(dialogs->MsgBoxes()[1].style, dialogs::vbInformation);
        }
        const Strings reports = TempReports();
        ASSERT_EQ(reports.size(), 1u);
        ASSERT_EQ(launcher.Commands().size(), launchedBefore + 1);
        EXPECT_EQ(launcher.Commands().back()[1], machine.HostPath(reports[0]).string());
        State().LogCount = 0;
    }
}

TEST_F(ActionReportRun, AnIgnoredFailureOfOneEntryDoesNotStopTheOthers) {
    Load();
    modVLTProperties::Backup(false);
    modVLTWork::DeleteFile("C:\\A\\X.DLL");
    modVLTWork::DeleteFile("C:\\B\\X.DLL");
    progress->onItem = [](const std::string& item) {
        if (item == "Deleting C:\\A\\X.DLL") {
            automation::Raise(automation::DeviceIOError, "test");
        }
    };
    dialogs->AnswerMsgBox(dialogs::vbIgnore);
    dialogs->AnswerMsgBox(dialogs::vbNo);
    dialogs->AnswerMsgBox(dialogs::vbNo);
    dialogs->AnswerMsgBox(dialogs::vbNo);
    Run();
    EXPECT_EQ(Titles(), (Strings{"Application Error!", "Summary Action Report", "Report Created.",
                                 "Restart Required"}));
    EXPECT_EQ(State().NextAction, 2);
    ASSERT_EQ(State().LogCount, 1);
    EXPECT_EQ(State().ActionLog[0], (vlt::LogEntry{"C:\\B\\X.DLL", "7", ""}));
}

TEST_F(ActionReportRun, AReportThatCannotBeWrittenIsNeitherOfferedNorShown) {
    Load();
    modVLTWork::UpdateActionLog("C:\\B\\X.DLL", 7, "");
    std::filesystem::remove_all(machine.HostPath("C:\\WINDOWS\\TEMP"));
    dialogs->AnswerMsgBox(dialogs::vbIgnore);
    Run();
    EXPECT_EQ(Titles(), (Strings{"Application Error!"}));
    EXPECT_NE(Settings().find("LastScanDateTime"), std::string::npos);
}

TEST_F(ActionReportRun, AnAbortInTheMiddleOfTheListTakesBackWhatTheRunScheduled) {
    // The program used to end with the first entries' restart lines and counts in place, and
    // the next start carried them out without any report.
    const std::string counts =
        "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    testsupport::SeedRegistry(
        machine, "REGEDIT4\r\n\r\n[" + counts + "]\r\n\"C:\\\\A\\\\X.DLL\"=dword:00000002\r\n");
    const std::string foreign = "[Rename]\r\nNUL=C:\\OTHER.DLL\r\n";
    machine.File("C:\\WINDOWS\\wininit.ini", foreign).File("C:\\WINDOWS\\SYSTEM\\X.DLL", "s");
    Load();
    modVLTProperties::Backup(false);
    modVLTWork::DeleteFile("C:\\A\\X.DLL");
    modVLTWork::AddNow("1", "C:\\B\\X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL");
    modVLTWork::DeleteFile("C:\\B\\X.DLL");
    progress->onItem = [](const std::string& item) {
        if (item == "Deleting C:\\B\\X.DLL") {
            automation::Raise(automation::DeviceIOError, "test");
        }
    };
    dialogs->AnswerMsgBox(dialogs::vbAbort);
    EXPECT_THROW(Run(), vlt::ProgramAborted);
    EXPECT_EQ(State().NextAction, 2) << "two entries were scheduled before the Abort";
    EXPECT_EQ(machine.Read("C:\\WINDOWS\\wininit.ini"), foreign) << "another program's line stays";
    EXPECT_TRUE(TempReports().empty()) << "the copy's temporary file is gone";
    const std::string left = testsupport::RegistryText(machine, counts);
    EXPECT_NE(left.find("\"C:\\\\A\\\\X.DLL\"=dword:00000002"), std::string::npos) << left;
    EXPECT_EQ(left.find("SYSTEM"), std::string::npos) << left;
    EXPECT_FALSE(State().RestartNeeded);
    EXPECT_EQ(Titles().back(), "Changes taken back");
    EXPECT_EQ(dialogs->MsgBoxes().back().prompt,
              "The run ended before its report was written, so the changes it had scheduled for "
              "the next start of Windows (2) were taken back. 1 change scheduled before this "
              "run still waits for the restart.");
}

}  // namespace
