#include "platform/dialogs/DirectoryPicker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dialogs {
namespace {

TEST(DirectoryPicker, WithoutAPickerEveryRequestIsACancel) {
    ScopedDirectoryPicker none(nullptr);
    EXPECT_FALSE(HasDirectoryPicker());
    const DirectoryPickerResult result = ShowDirectoryPicker({"Set Backup Directory", "C:\\"});
    EXPECT_EQ(result.resultDir, "");
    EXPECT_TRUE(result.canceled);
    EXPECT_FALSE(result.requiredFileFound);
}

TEST(DirectoryPicker, TheInstalledPickerGetsTheRequestAndScopesNest) {
    std::vector<std::string> seen;
    {
        ScopedDirectoryPicker outer([&](const FolderDialogRequest& request) {
            seen.push_back("outer " + request.initDir);
            return DirectoryPickerResult{"C:\\WINDOWS", false, true};
        });
        {
            ScopedDirectoryPicker inner([&](const FolderDialogRequest& request) {
                seen.push_back(request.title + "|" + request.initDir + "|" + request.requiredFile);
                return DirectoryPickerResult{"", false, false};
            });
            const auto result = ShowDirectoryPicker({"Pick", "D:\\", "VB*.DLL"});
            EXPECT_EQ(result.resultDir, "");
            EXPECT_FALSE(result.canceled);
        }
        const auto result = ShowDirectoryPicker({"Pick", "C:\\"});
        EXPECT_EQ(result.resultDir, "C:\\WINDOWS");
        EXPECT_TRUE(result.requiredFileFound);
    }
    EXPECT_FALSE(HasDirectoryPicker());
    EXPECT_EQ(seen, (std::vector<std::string>{"Pick|D:\\|VB*.DLL", "outer C:\\"}));
}

TEST(DirectoryPicker, APickerThatReplacesItselfWhileShownFinishesItsRequest) {
    ScopedDirectoryPicker scope([](const FolderDialogRequest&) {
        SetDirectoryPicker(nullptr);
        return DirectoryPickerResult{"C:\\", false, false};
    });
    EXPECT_EQ(ShowDirectoryPicker({"Pick", "C:\\"}).resultDir, "C:\\");
    EXPECT_TRUE(ShowDirectoryPicker({"Pick", "C:\\"}).canceled);
}

}  // namespace
}  // namespace dialogs
