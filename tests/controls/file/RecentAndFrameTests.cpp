// The recent-projects list in the registry, and the control's frame: persisted names,
// About box, design size, creation by ProgID.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/PropertyBag.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/win32/shell32/SpecialFolders.h"
#include "tests/controls/file/FileTestSupport.h"
#include "tests/support/RegistrySeed.h"

namespace {

using filetest::FileTest;
using Qz_File::QzFile;
using Lines = std::vector<std::string>;

constexpr const char* kKey = "HKEY_CURRENT_USER\\Software\\Korvane\\QzFile\\Recent";

class RecentTest : public FileTest {
  protected:
    void SetUp() override {
        FileTest::SetUp();
        testsupport::SeedRegistry(machine);
    }

    // The list as a new instance (a later session) loads it.
    static Lines Stored() {
        QzFile later;
        Lines files;
        for (std::int32_t i = 0; i < later.RecentCount(); ++i) {
            files.push_back(later.RecentProjectFile(i));
        }
        return files;
    }
    static Lines Loaded(QzFile& file) {
        Lines files;
        for (std::int32_t i = 0; i < file.RecentCount(); ++i) {
            files.push_back(file.RecentProjectFile(i));
        }
        return files;
    }
    bool HasValue(const std::string& name) const {
        return testsupport::RegistryText(machine, kKey).find("\"" + name + "\"=") !=
               std::string::npos;
    }
};

TEST_F(RecentTest, NewestFirstAtMostMaxRecentsAndNoRepeats) {
    EXPECT_EQ(file.RecentCount(), 0);
    file.SetRecentProjectFile("C:\\P\\A.DAT");
    EXPECT_EQ(file.RecentCount(), 1);
    EXPECT_EQ(Stored(), Lines{"C:\\P\\A.DAT"});

    file.SetRecentProjectFile("C:\\P\\B.DAT");
    EXPECT_EQ(Stored(), (Lines{"C:\\P\\B.DAT", "C:\\P\\A.DAT"}));
    EXPECT_EQ(file.RecentProject(0), "B.DAT");
    EXPECT_EQ(file.RecentProject(1), "A.DAT");
    EXPECT_EQ(file.RecentProject(2), "");
    EXPECT_EQ(file.RecentProjectFile(-1), "");

    file.SetRecentProjectFile("C:\\P\\A.DAT");
    EXPECT_EQ(Loaded(file), (Lines{"C:\\P\\B.DAT", "C:\\P\\A.DAT"})) << "a known file stays put";

    for (const char* f : {"C:\\P\\C.DAT", "C:\\P\\D.DAT", "C:\\P\\E.DAT"}) {
        file.SetRecentProjectFile(f);
    }
    const Lines four{"C:\\P\\E.DAT", "C:\\P\\D.DAT", "C:\\P\\C.DAT", "C:\\P\\B.DAT"};
    EXPECT_EQ(Loaded(file), four);
    EXPECT_EQ(Stored(), four);
    EXPECT_FALSE(HasValue("4"));

    file.SetRecentProjectFile("C:\\P\\F.DAT", false, 2);
    EXPECT_EQ(Loaded(file), (Lines{"C:\\P\\F.DAT", "C:\\P\\E.DAT"}));
    EXPECT_EQ(Stored(), (Lines{"C:\\P\\F.DAT", "C:\\P\\E.DAT"}));
    EXPECT_FALSE(HasValue("2")) << "a smaller limit shortens the stored list";

    try {
        file.SetRecentProjectFile("C:\\P\\G.DAT", false, 0);
        ADD_FAILURE() << "a limit below 1 is refused";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Number(), automation::InvalidProcedureCall);
    }
}

TEST_F(RecentTest, RemovingClosesTheGapAndDropsTheLastValue) {
    for (const char* f : {"C:\\P\\C.DAT", "C:\\P\\B.DAT", "C:\\P\\A.DAT"}) {
        file.SetRecentProjectFile(f);
    }
    file.RemoveRecentProject(1);
    EXPECT_EQ(Loaded(file), (Lines{"C:\\P\\A.DAT", "C:\\P\\C.DAT"}));
    EXPECT_EQ(Stored(), (Lines{"C:\\P\\A.DAT", "C:\\P\\C.DAT"}));
    EXPECT_FALSE(HasValue("2"));

    for (const std::int32_t outside : {2, 7, -1}) {
        file.RemoveRecentProject(outside);
        EXPECT_EQ(Stored(), (Lines{"C:\\P\\A.DAT", "C:\\P\\C.DAT"})) << outside;
    }
    file.RemoveRecentProject(1);
    file.RemoveRecentProject(0);
    EXPECT_EQ(file.RecentCount(), 0);
    EXPECT_EQ(Stored(), Lines{});
}

TEST_F(RecentTest, TheStoredListIsReadBeforeItIsChanged) {
    testsupport::SeedRegistry(
        machine, std::string("REGEDIT4\r\n\r\n[") + kKey + "]\r\n\"0\"=\"C:\\\\P\\\\OLD.DAT\"\r\n");
    QzFile fresh;
    fresh.SetRecentProjectFile("C:\\P\\NEW.DAT");
    EXPECT_EQ(Stored(), (Lines{"C:\\P\\NEW.DAT", "C:\\P\\OLD.DAT"}));

    QzFile other;
    other.RemoveRecentProject(0);
    EXPECT_EQ(Loaded(other), Lines{"C:\\P\\OLD.DAT"});
}

TEST_F(RecentTest, OnlyConsecutiveNumberedTextsMakeTheList) {
    const struct {
        const char* what;
        const char* values;
        Lines files;
    } cases[] = {
        {"a gap ends the list",
         "\"0\"=\"C:\\\\A\"\r\n\"1\"=\"C:\\\\B\"\r\n\"3\"=\"C:\\\\D\"\r\n",
         {"C:\\A", "C:\\B"}},
        {"foreign names are not entries",
         "\"Last\"=\"C:\\\\X\"\r\n\"0\"=\"C:\\\\A\"\r\n",
         {"C:\\A"}},
        {"an empty text ends the list", "\"0\"=\"\"\r\n\"1\"=\"C:\\\\B\"\r\n", {}},
        {"a number is not a path", "\"0\"=dword:00000007\r\n", {}},
        {"entries stored in any order",
         "\"1\"=\"C:\\\\B\"\r\n\"0\"=\"C:\\\\A\"\r\n",
         {"C:\\A", "C:\\B"}},
    };
    for (const auto& c : cases) {
        testsupport::SeedRegistry(machine, std::string("REGEDIT4\r\n\r\n[-") + kKey + "]\r\n\r\n[" +
                                               kKey + "]\r\n" + c.values);
        EXPECT_EQ(Stored(), c.files) << c.what;
    }
}

TEST_F(RecentTest, TheHostsNamesChooseTheKeyAndTheShellListCanBeFed) {
    Lines changed;
    file.PropertyChanged.Connect([&](const std::string& name) { changed.push_back(name); });
    EXPECT_EQ(file.CompanyName(), "Korvane");
    EXPECT_EQ(file.ProductName(), "QzFile");
    file.SetCompanyName("Acme");
    file.SetProductName("Tool");
    EXPECT_EQ(changed, (Lines{"CompanyName", "ProductName"}));

    machine.File("C:\\P\\A.DAT");
    file.SetRecentProjectFile("C:\\P\\A.DAT", true);
    EXPECT_NE(testsupport::RegistryText(machine, "HKEY_CURRENT_USER\\Software\\Acme\\Tool\\Recent")
                  .find("C:\\\\P\\\\A.DAT"),
              std::string::npos);
    EXPECT_EQ(Stored(), Lines{}) << "not under the control's own names";
    const auto recent =
        win32::SHGetFolderPathA(0, win32::CSIDL_RECENT, 0, win32::SHGFP_TYPE_CURRENT);
    ASSERT_TRUE(recent);
    EXPECT_TRUE(machine.Exists(*recent + "\\A.DAT.lnk"));

    file.SetCompanyName("");
    EXPECT_EQ(file.CompanyName(), "Korvane") << "an empty name reads as the control's own";
}

TEST(QzFileFrame, NamesPersistWithTheControlsOwnAsDefaults) {
    automation::PropertyBag bag;
    QzFile file;
    file.WriteProperties(bag);
    EXPECT_TRUE(bag.Properties().empty()) << "defaults are not stored";

    file.SetCompanyName("Acme");
    file.SetProductName("Tool");
    file.WriteProperties(bag);
    QzFile restored;
    restored.ReadProperties(bag);
    EXPECT_EQ(restored.CompanyName(), "Acme");
    EXPECT_EQ(restored.ProductName(), "Tool");

    QzFile fromEmpty;
    fromEmpty.ReadProperties(automation::PropertyBag());
    EXPECT_EQ(fromEmpty.CompanyName(), "Korvane");
    EXPECT_EQ(fromEmpty.ProductName(), "QzFile");
}

TEST(QzFileFrame, AboutBoxSizeAndProgID) {
    auto boxes = std::make_shared<dialogs::ScriptedDialogs>();
    const dialogs::ScopedBackend backend(boxes);
    QzFile file;
    file.AboutDisplay();
    const auto shown = boxes->MsgBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "About QzFile");
    EXPECT_EQ(shown[0].style, dialogs::vbOKOnly | dialogs::vbInformation);
    EXPECT_EQ(shown[0].prompt.substr(0, shown[0].prompt.find("\r\n\r\n")),
              "QzFile\r\nby Korvane\r\nCopyright (C) 2026 Korvane");

    file.SetSize(100, 5000);
    EXPECT_EQ(file.Width(), QzFile::kDesignSize);
    EXPECT_EQ(file.Height(), QzFile::kDesignSize);

    EXPECT_TRUE(automation::CreateObjectAs<QzFile>("Qz_File.QzFile"));
}

}  // namespace
