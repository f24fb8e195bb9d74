#include "platform/dialogs/ConsoleDialogs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dialogs {
namespace {

int Ask(ConsoleDialogs& console, const std::string& prompt, int style,
        const std::string& title = "Velto") {
    return console.ShowMsgBox({prompt, style, title}, DecodeMsgBoxStyle(style));
}

TEST(ConsoleWithoutTerminal, AnswersTheLeastDestructiveButton) {
    const struct {
        int style;
        int expected;
        const char* word;
    } cases[] = {
        {vbOKOnly | vbInformation, vbOK, "OK"},
        {vbOKCancel, vbCancel, "Cancel"},
        {vbAbortRetryIgnore | vbCritical, vbAbort, "Abort"},
        {vbYesNoCancel, vbNo, "No"},
        // The default button does not matter when nobody can press it.
        {vbYesNo | vbDefaultButton1 | vbQuestion, vbNo, "No"},
        {vbRetryCancel, vbCancel, "Cancel"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        ConsoleDialogs console(nullptr, out);
        EXPECT_EQ(Ask(console, "Restart now?", c.style, "Restart Required"), c.expected) << c.style;
        EXPECT_NE(out.str().find("Restart Required"), std::string::npos) << out.str();
        EXPECT_NE(out.str().find("Restart now?"), std::string::npos) << out.str();
        EXPECT_NE(out.str().find(std::string("answered ") + c.word + " (no terminal)"),
                  std::string::npos)
            << out.str();
    }
}

TEST(ConsoleWithoutTerminal, PrintsEveryLineOfAMultiLinePrompt) {
    std::ostringstream out;
    ConsoleDialogs console(nullptr, out);
    Ask(console, "Error: 53\r\nFile not found\rOccurred at function x\nend", vbCritical,
        "Application Error");
    const std::string text = out.str();
    EXPECT_NE(text.find("Application Error (error)"), std::string::npos) << text;
    EXPECT_NE(text.find("| Error: 53\n| File not found\n| Occurred at function x\n| end\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(ConsoleWithoutTerminal, OtherDialogsAreCancelled) {
    std::ostringstream out;
    ConsoleDialogs console(nullptr, out);
    EXPECT_FALSE(console.ShowInputBox({"Enter Folder Name", "Create New Folder", "New Folder"}));
    FileDialogRequest request;
    request.fileName = "ActionReport.htm";
    EXPECT_FALSE(console.ShowSave(request));
    EXPECT_FALSE(console.ShowOpen(request));
    EXPECT_FALSE(console.BrowseForFolder({"Set Backup Directory", "C:\\"}));
}

TEST(ConsoleWithTerminal, ReadsButtonsByWordOrFirstLetter) {
    const struct {
        const char* typed;
        int style;
        int expected;
    } cases[] = {
        {"r\n", vbAbortRetryIgnore, vbRetry},
        {"Ignore\n", vbAbortRetryIgnore, vbIgnore},
        {"  YES \r\n", vbYesNo, vbYes},
        {"n\n", vbYesNoCancel, vbNo},
        {"c\n", vbYesNoCancel, vbCancel},
        // Enter alone presses the default button.
        {"\n", vbYesNo | vbDefaultButton2, vbNo},
        {"\n", vbOKCancel, vbOK},
        // Something that is not a button is asked again.
        {"maybe\nx\ny\n", vbYesNo, vbYes},
        // The end of input takes the least destructive button.
        {"", vbYesNo, vbNo},
        {"maybe\n", vbAbortRetryIgnore, vbAbort},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.typed);
        std::ostringstream out;
        ConsoleDialogs console(&in, out);
        EXPECT_EQ(Ask(console, "Question", c.style), c.expected) << '"' << c.typed << '"';
    }
}

TEST(ConsoleWithTerminal, InputBoxTakesTypedTextOrTheDefault) {
    std::ostringstream out;
    std::istringstream in("Backups 2\n\n");
    ConsoleDialogs console(&in, out);
    const InputBoxRequest request{"Enter Folder Name", "Create New Folder", "New Folder"};
    EXPECT_EQ(console.ShowInputBox(request), "Backups 2");
    EXPECT_EQ(console.ShowInputBox(request), "New Folder");
    EXPECT_FALSE(console.ShowInputBox(request));
}

TEST(ConsoleWithTerminal, FileNamesAreTakenInTheStartFolderWithTheDefaultExtension) {
    FileDialogRequest request;
    request.initDir = "C:\\My Documents";
    request.fileName = "ActionReport.htm";
    request.defaultExt = "htm";
    const struct {
        const char* typed;
        const char* expected;
    } cases[] = {
        {"\n", "C:\\My Documents\\ActionReport.htm"},
        {"Run1\n", "C:\\My Documents\\Run1.htm"},
        {"D:\\Out\\r.html\n", "D:\\Out\\r.html"},
        {"\\Reports\\r\n", "\\Reports\\r.htm"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.typed);
        std::ostringstream out;
        ConsoleDialogs console(&in, out);
        const auto result = console.ShowSave(request);
        ASSERT_TRUE(result) << c.typed;
        EXPECT_EQ(result->fileName, c.expected);
        EXPECT_EQ(result->fileTitle, FileTitleOf(c.expected));
    }
}

TEST(ConsoleWithTerminal, FileDialogWithoutAProposedNameAsksUntilOneIsTyped) {
    FileDialogRequest request;
    request.initDir = "C:\\";
    std::istringstream in("\n\nreport.txt\n");
    std::ostringstream out;
    ConsoleDialogs console(&in, out);
    const auto result = console.ShowOpen(request);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->fileName, "C:\\report.txt");
}

TEST(ConsoleWithTerminal, FolderDialogDefaultsToTheStartFolder) {
    std::istringstream in("\nBackups\n");
    std::ostringstream out;
    ConsoleDialogs console(&in, out);
    EXPECT_EQ(console.BrowseForFolder({"Set Backup Directory", "C:\\Velto"}), "C:\\Velto");
    EXPECT_EQ(console.BrowseForFolder({"Set Backup Directory", "C:\\Velto"}), "C:\\Velto\\Backups");
    EXPECT_FALSE(console.BrowseForFolder({"Set Backup Directory", "C:\\Velto"}));
}

}  // namespace
}  // namespace dialogs
