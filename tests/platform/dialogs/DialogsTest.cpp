#include "platform/dialogs/Dialogs.h"

#include <gtest/gtest.h>

#include "platform/automation/Errors.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/ScriptedDialogs.h"

namespace dialogs {
namespace {

struct LayoutCase {
    int style;
    std::vector<int> buttons;
    int defaultButton;
    std::optional<int> escape;
    int leastDestructive;
    MsgBoxIcon icon;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << "style " << c.style;
}

class DecodeStyle : public testing::TestWithParam<LayoutCase> {};

TEST_P(DecodeStyle, GivesButtonsDefaultEscapeAndIcon) {
    const LayoutCase& c = GetParam();
    const MsgBoxLayout layout = DecodeMsgBoxStyle(c.style);
    EXPECT_EQ(layout.buttons, c.buttons);
    EXPECT_EQ(layout.defaultButton, c.defaultButton);
    EXPECT_EQ(layout.escapeButton, c.escape);
    EXPECT_EQ(layout.leastDestructive, c.leastDestructive);
    EXPECT_EQ(layout.icon, c.icon);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, DecodeStyle,
    testing::Values(
        LayoutCase{vbOKOnly, {vbOK}, vbOK, vbOK, vbOK, MsgBoxIcon::None},
        LayoutCase{vbOKCancel, {vbOK, vbCancel}, vbOK, vbCancel, vbCancel, MsgBoxIcon::None},
        // The error dialog's style: Abort/Retry/Ignore with the critical-stop icon.
        LayoutCase{
            18, {vbAbort, vbRetry, vbIgnore}, vbAbort, std::nullopt, vbAbort, MsgBoxIcon::Critical},
        LayoutCase{vbYesNoCancel, {vbYes, vbNo, vbCancel}, vbYes, vbCancel, vbNo, MsgBoxIcon::None},
        LayoutCase{
            vbYesNo | vbQuestion, {vbYes, vbNo}, vbYes, std::nullopt, vbNo, MsgBoxIcon::Question},
        LayoutCase{vbRetryCancel | vbExclamation,
                   {vbRetry, vbCancel},
                   vbRetry,
                   vbCancel,
                   vbCancel,
                   MsgBoxIcon::Exclamation},
        LayoutCase{
            vbYesNo | vbDefaultButton2, {vbYes, vbNo}, vbNo, std::nullopt, vbNo, MsgBoxIcon::None},
        LayoutCase{vbYesNoCancel | vbDefaultButton3 | vbInformation,
                   {vbYes, vbNo, vbCancel},
                   vbCancel,
                   vbCancel,
                   vbNo,
                   MsgBoxIcon::Information},
        // A default button past the last one falls back to the first.
        LayoutCase{vbOKOnly | vbDefaultButton3, {vbOK}, vbOK, vbOK, vbOK, MsgBoxIcon::None},
        LayoutCase{vbOKCancel | vbDefaultButton4,
                   {vbOK, vbCancel},
                   vbOK,
                   vbCancel,
                   vbCancel,
                   MsgBoxIcon::None},
        // Modality and presentation flags change nothing that the answer depends on.
        LayoutCase{vbOKOnly | vbInformation | vbSystemModal | vbMsgBoxSetForeground,
                   {vbOK},
                   vbOK,
                   vbOK,
                   vbOK,
                   MsgBoxIcon::Information}));

TEST(DecodeStyle, UnknownButtonGroupRaisesInvalidCall) {
    for (int style : {6, 7, 15, 6 | vbCritical}) {
        try {
            DecodeMsgBoxStyle(style);
            ADD_FAILURE() << "style " << style << " was accepted";
        } catch (const automation::Error& e) {
            EXPECT_EQ(e.Number(), automation::InvalidProcedureCall) << style;
        }
    }
}

class ScriptedTest : public testing::Test {
  protected:
    std::shared_ptr<ScriptedDialogs> script = std::make_shared<ScriptedDialogs>();
    ScopedBackend use{script};
};

TEST_F(ScriptedTest, RecordsExactTextStyleAndTitle) {
    script->AnswerMsgBox(vbRetry);
    const std::string prompt = "First line\r\n\r\nError 53:\r\nFile not found";
    EXPECT_EQ(MsgBox(prompt, 18, "Application Error!"), vbRetry);
    const auto boxes = script->MsgBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    const auto& box = boxes[0];
    EXPECT_EQ(box.prompt, prompt);
    EXPECT_EQ(box.style, 18);
    EXPECT_EQ(box.title, "Application Error!");
    EXPECT_EQ(box.result, vbRetry);
    EXPECT_TRUE(box.scripted);
    EXPECT_EQ(script->Pending(), 0u);
}

TEST_F(ScriptedTest, MissingTitleIsTheAppTitleButAnEmptyOneStaysEmpty) {
    MsgBox("No Action taken");
    MsgBox("Blank", vbOKOnly, "");
    App().SetTitle("Renamed");
    MsgBox("After rename");
    App().SetTitle("Velto");
    const auto boxes = script->MsgBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].title, "Velto");
    EXPECT_EQ(boxes[1].title, "");
    EXPECT_EQ(boxes[2].title, "Renamed");
}

TEST_F(ScriptedTest, KeepsOrderOfEveryDialogShown) {
    script->AnswerMsgBox(vbNo);
    script->AnswerInputBox("New Folder 2");
    EXPECT_EQ(MsgBox("Do you wish to notify the Vendor?", vbYesNo, "Alert Vendor to problem?"),
              vbNo);
    EXPECT_EQ(InputBox("Enter Folder Name", "Create New Folder", "New Folder"), "New Folder 2");
    MsgBox("Closing", vbInformation, "Application Ending");
    const auto& history = script->History();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].kind, ScriptedDialogs::Kind::MsgBox);
    EXPECT_EQ(history[1].kind, ScriptedDialogs::Kind::InputBox);
    EXPECT_EQ(history[1].defaultText, "New Folder");
    EXPECT_EQ(history[1].title, "Create New Folder");
    EXPECT_EQ(history[2].prompt, "Closing");
    EXPECT_EQ(script->Unanswered(), 1u);
}

TEST_F(ScriptedTest, UnscriptedBoxesTakeTheLeastDestructiveButton) {
    const struct {
        int style;
        int expected;
    } cases[] = {{vbOKOnly, vbOK},
                 {vbOKCancel, vbCancel},
                 {vbAbortRetryIgnore, vbAbort},
                 {vbYesNoCancel, vbNo},
                 {vbYesNo, vbNo},
                 {vbRetryCancel, vbCancel},
                 {vbYesNo | vbDefaultButton1, vbNo}};
    for (const auto& c : cases) {
        EXPECT_EQ(MsgBox("?", c.style), c.expected) << c.style;
    }
    EXPECT_EQ(script->Unanswered(), std::size(cases));
}

TEST_F(ScriptedTest, AnswerThatIsNotAButtonOfTheBoxIsAScriptError) {
    script->AnswerMsgBox(vbYes);
    EXPECT_THROW(MsgBox("Only OK here", vbOKOnly), ScriptError);
    script->Clear();
    script->AnswerMsgBox(vbIgnore);
    EXPECT_THROW(MsgBox("Yes or no?", vbYesNo), ScriptError);
}

TEST_F(ScriptedTest, AnswerForAnotherKindOfDialogIsAScriptError) {
    script->AnswerInputBox("text");
    EXPECT_THROW(MsgBox("A box where an input box was expected"), ScriptError);
    EXPECT_EQ(script->Pending(), 1u);
}

TEST_F(ScriptedTest, CancelledInputBoxGivesEmptyText) {
    script->AnswerInputBox(std::nullopt);
    script->AnswerInputBox("");
    EXPECT_EQ(InputBox("Name?"), "");
    EXPECT_EQ(InputBox("Name?"), "");
    EXPECT_FALSE(script->History()[0].text.has_value());
    EXPECT_EQ(script->History()[1].text, "");
    EXPECT_EQ(script->History()[0].title, "Velto");
}

TEST_F(ScriptedTest, FileDialogsRecordTheRequestAndAnswerWithPathAndTitle) {
    FileDialogRequest request;
    request.initDir = "C:\\My Documents";
    request.fileName = "ActionReport.htm";
    request.defaultExt = "htm";
    request.filter = "HTML File|*.htm;*.html";
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    script->AnswerFileDialog("C:\\Reports\\Run 1.htm");
    script->AnswerFileDialog(std::nullopt);
    const auto saved = GetSaveFileName(request);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->fileName, "C:\\Reports\\Run 1.htm");
    EXPECT_EQ(saved->fileTitle, "Run 1.htm");
    EXPECT_FALSE(GetOpenFileName(request));
    const auto& history = script->History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].kind, ScriptedDialogs::Kind::Save);
    EXPECT_EQ(history[0].file.initDir, "C:\\My Documents");
    EXPECT_EQ(history[0].file.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
    EXPECT_EQ(history[1].kind, ScriptedDialogs::Kind::Open);
}

TEST_F(ScriptedTest, FolderDialogTakesOnlyFolderAnswers) {
    script->AnswerFolderDialog("D:\\Backups");
    EXPECT_EQ(BrowseForFolder({"Set Backup Directory", "C:\\"}), "D:\\Backups");
    script->AnswerFileDialog("C:\\x.htm");
    EXPECT_THROW(BrowseForFolder({"Set Backup Directory", "C:\\"}), ScriptError);
}

TEST(Backend, ScopedBackendPutsThePreviousOneBack) {
    const auto before = CurrentBackend();
    auto outer = std::make_shared<ScriptedDialogs>();
    {
        ScopedBackend useOuter(outer);
        {
            ScopedBackend useInner(std::make_shared<ScriptedDialogs>());
            EXPECT_NE(CurrentBackend(), outer);
        }
        EXPECT_EQ(CurrentBackend(), outer);
    }
    EXPECT_EQ(CurrentBackend(), before);
}

TEST(FileNames, FileTitleOf) {
    const std::pair<const char*, const char*> cases[] = {{"C:\\A\\B.DLL", "B.DLL"},
                                                         {"B.DLL", "B.DLL"},
                                                         {"C:\\A\\", ""},
                                                         {"C:/x/y.txt", "y.txt"},
                                                         {"", ""}};
    for (const auto& [path, title] : cases) {
        EXPECT_EQ(FileTitleOf(path), title) << path;
    }
}

TEST(FileNames, ApplyDefaultExt) {
    const struct {
        const char* name;
        const char* ext;
        const char* expected;
    } cases[] = {
        {"C:\\R\\Report", "htm", "C:\\R\\Report.htm"},
        {"C:\\R\\Report.html", "htm", "C:\\R\\Report.html"},
        {"Report", ".htm", "Report.htm"},
        {"Report", "", "Report"},
        // A dot in a folder name does not count as the file's extension.
        {"C:\\My.Docs\\Report", "htm", "C:\\My.Docs\\Report.htm"},
        {"C:\\R\\", "htm", "C:\\R\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ApplyDefaultExt(c.name, c.ext), c.expected) << c.name;
    }
}

TEST(FileNames, ParseFilter) {
    const auto filters = ParseFilter("HTML File|*.htm;*.html|All files (*.*)| *.* ");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].description, "HTML File");
    EXPECT_EQ(filters[0].patterns, (std::vector<std::string>{"*.htm", "*.html"}));
    EXPECT_EQ(filters[1].description, "All files (*.*)");
    EXPECT_EQ(filters[1].patterns, (std::vector<std::string>{"*.*"}));
    // A description without patterns, an empty pattern list and an empty filter give nothing.
    EXPECT_TRUE(ParseFilter("").empty());
    EXPECT_TRUE(ParseFilter("Text").empty());
    EXPECT_EQ(ParseFilter("Text|*.txt|Dangling").size(), 1u);
    EXPECT_TRUE(ParseFilter("Nothing|;;").empty());
}

}  // namespace
}  // namespace dialogs
