// QzFile's side of the folder picker: what it hands the installed picker and how the answer
// comes back through the by-reference arguments. The window itself is tested with its library.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "controls/file/QzFile.h"
#include "platform/dialogs/DirectoryPicker.h"

namespace {

using dialogs::DirectoryPickerResult;
using dialogs::FolderDialogRequest;

TEST(QzFileShowDirListing, WithoutAPickerItIsACancel) {
    dialogs::ScopedDirectoryPicker none(nullptr);
    Qz_File::QzFile file;
    bool canceled = false;
    bool found = true;
    EXPECT_EQ(file.ShowDirListing("C:\\", "Pick", &canceled, "X.DLL", &found), "");
    EXPECT_TRUE(canceled);
    EXPECT_FALSE(found);
}

TEST(QzFileShowDirListing, PassesTheRequestAndWritesOnlyTheAnswersAskedFor) {
    const struct {
        const char* what;
        std::optional<std::string> title;
        std::string requiredFile;
        DirectoryPickerResult answer;
        std::string expectedTitle;
        bool foundAfter;  // starts true: a missing required file leaves it alone
    } cases[] = {
        {"OK without a required file",
         "Set Backup Directory",
         "",
         {"C:\\Backups", false, false},
         "Set Backup Directory",
         true},
        {"no title", std::nullopt, "", {"C:\\", false, false}, "", true},
        {"required file found", "Pick", "VB*.DLL", {"C:\\WINDOWS", false, true}, "Pick", true},
        {"required file missing", "Pick", "VB*.DLL", {"", false, false}, "Pick", false},
        {"cancelled", "Pick", "VB*.DLL", {"", true, false}, "Pick", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FolderDialogRequest seen;
        dialogs::ScopedDirectoryPicker picker([&](const FolderDialogRequest& request) {
            seen = request;
            return c.answer;
        });
        Qz_File::QzFile file;
        bool canceled = !c.answer.canceled;
        bool found = true;
        EXPECT_EQ(file.ShowDirListing("c:\\windows", c.title, &canceled, c.requiredFile, &found),
                  c.answer.resultDir);
        EXPECT_EQ(seen.initDir, "c:\\windows");
        EXPECT_EQ(seen.title, c.expectedTitle);
        EXPECT_EQ(seen.requiredFile, c.requiredFile);
        EXPECT_EQ(canceled, c.answer.canceled);
        EXPECT_EQ(found, c.foundAfter);
        // The by-reference arguments are optional.
        EXPECT_EQ(file.ShowDirListing("c:\\windows"), c.answer.resultDir);
    }
}

}  // namespace
