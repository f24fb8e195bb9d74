// The review window's tree: what the matcher builds for each kind of group, the lazy property
// rows, the first expansion, Expand All, what a click enables, the load and the resize table.
#include <QImage>
#include <QTest>
#include <set>
#include <string>
#include <vector>

#include "platform/forms/Twips.h"
#include "tests/vlt/windows/frmDupSysTestSupport.h"
#include "vlt/core/modVLTProperties.h"

namespace {

using dupsystest::BareDll;
using dupsystest::DupSysTest;
using dupsystest::Shown;
using Strings = std::vector<std::string>;

constexpr const char* kCompNote = "COMP.DLL *  COMPANY NAME DOES NOT MATCH";
constexpr const char* kQuesNote = "QUES.DLL *  VERSION INFORMATION MISSING";

TEST_F(DupSysTest, TheMatcherBuildsEveryKindOfGroup) {
    StandardMachine();
    Match();
    const std::vector<Shown> expected = {
        {"", "COMP.DLL", "COMP.DLL", 6},
        {"COMP.DLL", "C:\\APP\\COMP.DLL", "C:\\APP\\COMP.DLL", 4},
        {"COMP.DLL", "C:\\OTHER\\COMP.DLL", "C:\\OTHER\\COMP.DLL", 4},
        {"COMP.DLL", kCompNote, "COMPANY NAME DOES NOT MATCH", 6},
        {"", "NEW.DLL", "NEW.DLL", 7},
        {"NEW.DLL", "C:\\APP\\NEW.DLL", "C:\\APP\\NEW.DLL", 1},
        {"NEW.DLL", "C:\\OLD\\NEW.DLL", "C:\\OLD\\NEW.DLL", 2},
        {"", "QUES.DLL", "QUES.DLL", 6},
        {"QUES.DLL", "C:\\APP\\QUES.DLL", "C:\\APP\\QUES.DLL", 4},
        {"QUES.DLL", "C:\\OLD\\QUES.DLL", "C:\\OLD\\QUES.DLL", 4},
        {"QUES.DLL", kQuesNote, "VERSION INFORMATION MISSING", 6},
        {"", "REC.DLL", "REC.DLL", 7},
        {"REC.DLL", "C:\\APP\\REC.DLL", "C:\\APP\\REC.DLL", 2},
        {"REC.DLL", "C:\\WINDOWS\\SYSTEM\\REC.DLL", "C:\\WINDOWS\\SYSTEM\\REC.DLL", 1},
    };
    EXPECT_EQ(Tree(), expected);
    EXPECT_TRUE(window->Loaded());
    EXPECT_FALSE(window->cmdFollowRecommendation->isHidden());
}

TEST_F(DupSysTest, WithoutRecommendationsNoPictureNoNoteAndNoAcceptButton) {
    StandardMachine();
    Store({{"ShowRecommended", "N"}});
    Match();
    Strings keys;
    for (const Shown& node : Tree()) {
        EXPECT_EQ(node.image, 0) << node;
        keys.push_back(node.key);
    }
    EXPECT_EQ(keys, (Strings{"COMP.DLL", "C:\\APP\\COMP.DLL", "C:\\OTHER\\COMP.DLL", "NEW.DLL",
                             "C:\\APP\\NEW.DLL", "C:\\OLD\\NEW.DLL", "QUES.DLL",
                             "C:\\APP\\QUES.DLL", "C:\\OLD\\QUES.DLL", "REC.DLL",
                             "C:\\APP\\REC.DLL", "C:\\WINDOWS\\SYSTEM\\REC.DLL"}));
    EXPECT_TRUE(window->cmdFollowRecommendation->isHidden());
}

TEST_F(DupSysTest, LoadingSetsUpTheWindow) {
    Store({{"Backup", "N"}, {"BackupPath", "D:\\SAVED\\"}});
    window->Show();
    EXPECT_EQ(window->windowTitle().toStdString(), "Duplicated System Files - Velto");
    EXPECT_TRUE(window->FirstExpandPending);
    EXPECT_EQ(Status(), "Right-Click for additional menu items");
    EXPECT_FALSE(window->Label8->text().isEmpty());
    EXPECT_FALSE(window->ckBackup->isChecked());
    EXPECT_EQ(window->txBackupPath->text().toStdString(), "D:\\SAVED\\");
    EXPECT_FALSE(window->txBackupPath->isEnabled());
    EXPECT_FALSE(window->cmdGetBackup->isEnabled());
    EXPECT_EQ(window->cmdWinSys->toolTip().toStdString(),
              "Copy Selected File to C:\\WINDOWS\\SYSTEM");
    for (QPushButton* button :
         {window->cmdUndo, window->cmdRemove, window->cmdWinSys, window->cmdFollowRecommendation}) {
        EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
    }
    for (QAction* item :
         {window->mnuFileProperties->menuAction(), window->mnuDeleteFile, window->mnuCopy,
          window->mnuExcludePath, window->mnuActionDum1, window->mnuAccept}) {
        EXPECT_FALSE(item->isVisible()) << item->objectName().toStdString();
    }
    // No backup warning at load: the box only shows the stored setting.
    EXPECT_TRUE(dialogs->MsgBoxes().empty());
}

TEST_F(DupSysTest, TheFirstExpansionClosesAgainButLoadsTheRows) {
    StandardMachine();
    Match();
    window->Show();
    forms::Node group = Node("NEW.DLL");
    group.SetExpanded(true);
    EXPECT_FALSE(group.Expanded());
    EXPECT_FALSE(window->FirstExpandPending);
    const Strings rows = ChildKeys("C:\\APP\\NEW.DLL");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), "C:\\APP\\NEW.DLL*Size");
    EXPECT_FALSE(ChildKeys("C:\\OLD\\NEW.DLL").empty());

    group.SetExpanded(true);
    EXPECT_TRUE(group.Expanded());
    forms::Node other = Node("REC.DLL");
    other.SetExpanded(true);
    EXPECT_TRUE(other.Expanded());
    EXPECT_EQ(ChildKeys("C:\\APP\\REC.DLL").front(), "C:\\APP\\REC.DLL*Size");
}

TEST_F(DupSysTest, RowsShowTheSizeThenTheNonEmptyPropertiesInLabelOrder) {
    StandardMachine();
    Match();
    window->AddProperties(Node("REC.DLL"));
    Strings texts;
    for (forms::Node row = Node("C:\\WINDOWS\\SYSTEM\\REC.DLL").Child(); row; row = row.Next()) {
        texts.push_back(row.Text().substr(0, row.Text().find(':')));
    }
    // No internal name, copyright, product name or original file name in this file.
    EXPECT_EQ(texts, (Strings{"File Size", "Created", "Modified", "Accessed", "Product Version",
                              "File Version", "Company Name", "File Description"}));
    EXPECT_EQ(Node("C:\\WINDOWS\\SYSTEM\\REC.DLL*Company Name").Text(), "Company Name: Korvane");
    // Loading again adds nothing.
    const std::size_t count = Tree().size();
    window->AddProperties(Node("REC.DLL"));
    window->AddProperties(Node("C:\\APP\\REC.DLL"));
    EXPECT_EQ(Tree().size(), count);
}

TEST_F(DupSysTest, SizeRowsFormatWithGroupsAndZeroAsNothing) {
    struct Case {
        std::uint64_t size;
        const char* text;
    } const cases[] = {
        {0, "File Size:  bytes"},
        {1024, "File Size: 1,024 bytes"},
        {1234567, "File Size: 1,234,567 bytes"},
    };
    for (const Case& c : cases) {
        const std::string content = c.size == 0 ? std::string() : BareDll(c.size).substr(0, c.size);
        machine.File("C:\\A\\Z.DLL", content).File("C:\\B\\Z.DLL", content);
        window->AddGroup("Z.DLL", 6);
        window->AddCopy("Z.DLL", "C:\\A\\Z.DLL", 4);
        window->AddCopy("Z.DLL", "C:\\B\\Z.DLL", 4);
        window->AddProperties(Node("Z.DLL"));
        EXPECT_EQ(Node("C:\\A\\Z.DLL*Size").Text(), c.text);
        window->TreeView1->Remove("Z.DLL");
    }
}

TEST_F(DupSysTest, ExpandAllOpensGroupsWithoutLoadingRows) {
    StandardMachine();
    Match();
    window->Show();
    window->cmdExpandAll_Click();
    for (const char* group : {"COMP.DLL", "NEW.DLL", "QUES.DLL", "REC.DLL"}) {
        EXPECT_TRUE(Node(group).Expanded()) << group;
        for (const std::string& copy : ChildKeys(group)) {
            EXPECT_TRUE(ChildKeys(copy).empty()) << copy;
        }
    }
    EXPECT_TRUE(window->FirstExpandPending);

    // A click on a copy that has no rows loads its group's rows.
    Click("C:\\OLD\\NEW.DLL");
    EXPECT_FALSE(ChildKeys("C:\\OLD\\NEW.DLL").empty());
    EXPECT_FALSE(ChildKeys("C:\\APP\\NEW.DLL").empty());
    // Collapsing and expanding loads the others.
    forms::Node rec = Node("REC.DLL");
    rec.SetExpanded(false);
    rec.SetExpanded(true);
    EXPECT_FALSE(ChildKeys("C:\\APP\\REC.DLL").empty());

    window->cmdCollapseAll_Click();
    for (const Shown& node : Tree()) {
        EXPECT_FALSE(Node(node.key).Expanded()) << node;
    }
}

TEST_F(DupSysTest, AClickEnablesTheCommandsTheNodeAllows) {
    StandardMachine();
    Match();
    window->AddProperties(Node("NEW.DLL"));
    Node("C:\\OLD\\NEW.DLL").SetImage(frmDupSys::kFlagged);
    struct Case {
        const char* key;
        bool undo, remove, move, accept;
    } const cases[] = {
        {"NEW.DLL", false, false, false, true},
        {"C:\\APP\\NEW.DLL", false, true, true, true},
        {"C:\\APP\\NEW.DLL*Company Name", false, true, true, true},
        // Undo is offered, and the later rule for copies enables the commands again.
        {"C:\\OLD\\NEW.DLL", true, true, true, true},
        {"COMP.DLL", false, false, false, false},
        {"C:\\APP\\COMP.DLL", false, true, true, false},
        {kCompNote, false, true, true, false},
    };
    for (const Case& c : cases) {
        Click(c.key);
        EXPECT_EQ(window->cmdUndo->isEnabled(), c.undo) << c.key;
        EXPECT_EQ(window->cmdRemove->isEnabled(), c.remove) << c.key;
        EXPECT_EQ(window->cmdWinSys->isEnabled(), c.move) << c.key;
        EXPECT_EQ(window->cmdFollowRecommendation->isEnabled(), c.accept) << c.key;
    }
    // The first click names the group in ClickedKey; later clicks leave it.
    EXPECT_EQ(window->ClickedKey, "NEW.DLL");
}

TEST_F(DupSysTest, TheButtonsFollowASelectionMadeWithTheKeys) {
    StandardMachine();
    Match();
    window->Show();
    Click("NEW.DLL");
    EXPECT_FALSE(window->cmdRemove->isEnabled());
    window->TreeView1->setFocus();
    Node("NEW.DLL").SetExpanded(true);
    Node("NEW.DLL").SetExpanded(true);
    QTest::keyClick(window->TreeView1, Qt::Key_Down);
    EXPECT_EQ(window->TreeView1->SelectedItem().Key(), "C:\\APP\\NEW.DLL");
    EXPECT_TRUE(window->cmdRemove->isEnabled());
    EXPECT_TRUE(window->cmdWinSys->isEnabled());
}

TEST_F(DupSysTest, MoveToolTipSaysWhereTheCopyGoes) {
    StandardMachine();
    Match();
    Click("C:\\APP\\REC.DLL");
    EXPECT_EQ(window->cmdWinSys->toolTip().toStdString(),
              "Copy C:\\APP\\REC.DLL to C:\\WINDOWS\\SYSTEM and delete from all other folders.");
    Click("C:\\OLD\\NEW.DLL");
    EXPECT_EQ(window->cmdWinSys->toolTip().toStdString(),
              "Copy C:\\OLD\\NEW.DLL to all folders where NEW.DLL exists.");
}

TEST_F(DupSysTest, RecommendationTestsAreSubstringTests) {
    machine.File("C:\\A\\LIB.DLL", "a").File("C:\\B\\LIB.DLL", "b");
    vlt::State().RecommendedList = "|C:\\A\\XLIB.DLL||?|";
    window->AddGroup("LIB.DLL", 6);
    window->AddCopy("LIB.DLL", "C:\\A\\LIB.DLL", 4);
    window->AddCopy("LIB.DLL", "C:\\B\\LIB.DLL", 4);
    Click("LIB.DLL");
    EXPECT_TRUE(window->cmdFollowRecommendation->isEnabled());
}

TEST_F(DupSysTest, ResizingFollowsTheTableInTwips) {
    window->Show();
    struct Case {
        double W, H;
    } const cases[] = {{11400, 8400}, {15000, 10500}, {7500, 7275}};
    for (const Case& c : cases) {
        window->resize(forms::TwipsToPixels(c.W - frmDupSys::kFrameWidth),
                       window->MenuBar->sizeHint().height() +
                           forms::TwipsToPixels(c.H - frmDupSys::kFrameHeight));
        const double W = c.W;
        const double H = c.H;
        EXPECT_EQ(forms::Height(*window->TreeView1), H - 1875) << W;
        EXPECT_EQ(forms::Width(*window->TreeView1), W - 1350) << W;
        EXPECT_EQ(forms::Top(*window->ckBackup), H - 1545) << W;
        EXPECT_EQ(forms::Top(*window->txBackupPath), H - 1560) << W;
        EXPECT_EQ(forms::Width(*window->txBackupPath), W - 1725) << W;
        EXPECT_EQ(forms::Top(*window->cmdGetBackup), H - 1575) << W;
        EXPECT_EQ(forms::Left(*window->cmdGetBackup), W - 480) << W;
        EXPECT_EQ(forms::Top(*window->Label8), H - 1155) << W;
        EXPECT_EQ(forms::Top(*window->cmdCancel), H - 1215) << W;
        EXPECT_EQ(forms::Left(*window->cmdCancel), W - 1200) << W;
        EXPECT_EQ(forms::Left(*window->cmdFileCompare), W - 1560) << W;
        EXPECT_EQ(forms::Left(*window->cmdExpandAll), W - 750) << W;
        EXPECT_EQ(forms::Left(*window->cmdCollapseAll), W - 450) << W;
        // Nothing reaches past the client area or into the status line, and no control covers
        // another.
        const QRect client = window->Client->rect();
        const int statusTop = window->StatusBar1->geometry().top();
        std::vector<QWidget*> shown;
        for (QWidget* control :
             window->Client->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (control != window->StatusBar1 && !control->isHidden()) {
                shown.push_back(control);
            }
        }
        for (QWidget* control : shown) {
            const std::string name = control->objectName().toStdString();
            EXPECT_TRUE(client.contains(control->geometry())) << name << " at " << W;
            EXPECT_LE(control->geometry().bottom(), statusTop) << name << " at " << W;
            for (QWidget* other : shown) {
                EXPECT_TRUE(other == control || !control->geometry().intersects(other->geometry()))
                    << name << " and " << other->objectName().toStdString() << " at " << W;
            }
        }
    }
    // Too low a window is raised to the least height.
    window->resize(window->width(), 200);
    EXPECT_EQ(forms::PixelsToTwips(window->Client->height()) + frmDupSys::kFrameHeight,
              frmDupSys::kMinHeight);
}

TEST_F(DupSysTest, TheSevenPicturesDiffer) {
    std::set<std::string> seen;
    for (int index = 1; index <= frmDupSys::kPictureCount; ++index) {
        const QImage image = frmDupSys::NodePicture(index).toImage();
        EXPECT_EQ(image.size(), QSize(16, 16));
        seen.insert(std::string(reinterpret_cast<const char*>(image.constBits()),
                                static_cast<std::size_t>(image.sizeInBytes())));
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(frmDupSys::kPictureCount));
}

}  // namespace
