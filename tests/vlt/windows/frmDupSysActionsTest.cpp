// The review window's commands: the context menu, choosing the copy, the backup question,
// deleting, copying, accepting, comparing, undo, the exclusions, the backup controls and
// leaving the window (OK, Cancel, Rescan).
#include <functional>
#include <string>
#include <vector>

#include "controls/registry/QzRegistry.h"
#include "platform/automation/Conversion.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/DirectoryPicker.h"
#include "platform/forms/TreeView.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/vlt/windows/frmDupSysTestSupport.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/windows/CommonDialog.h"

namespace {

using dupsystest::DupSysTest;
using vlt::ActionEntry;
using Entries = std::vector<ActionEntry>;
using Strings = std::vector<std::string>;

constexpr const char* kCompNote = "COMP.DLL *  COMPANY NAME DOES NOT MATCH";

class DupSysCommands : public DupSysTest {
  protected:
    DupSysCommands() {
        StandardMachine();
        Match();
    }
    void Answer(std::initializer_list<int> answers) {
        for (const int answer : answers) {
            dialogs->AnswerMsgBox(answer);
        }
    }
    int Image(const std::string& key) const { return Node(key).Image(); }
    std::string LastPrompt() const { return dialogs->MsgBoxes().back().prompt; }
};

// Runs `pump` at every DoEvents while it lives (the report lets events through as it works
// and while it waits).
class ScopedDoEvents {
  public:
    explicit ScopedDoEvents(std::function<void()> pump)
        : previous_(dialogs::SetDoEventsHook(std::move(pump))) {}
    ~ScopedDoEvents() { dialogs::SetDoEventsHook(std::move(previous_)); }

  private:
    std::function<void()> previous_;
};

constexpr int Yes = dialogs::vbYes;
constexpr int No = dialogs::vbNo;

TEST_F(DupSysCommands, RightClickRecordsTheCopyOfARowAndTheGroupOfANote) {
    window->FirstExpandPending = false;
    Node("NEW.DLL").SetExpanded(true);
    Node("C:\\APP\\NEW.DLL").SetExpanded(true);
    Node("COMP.DLL").SetExpanded(true);

    Press("C:\\APP\\NEW.DLL*Company Name", forms::vbRightButton);
    EXPECT_EQ(window->ClickedKey, "C:\\APP\\NEW.DLL");
    EXPECT_TRUE(window->mnuActions->isVisible());
    for (QAction* item : {window->mnuFileProperties->menuAction(), window->mnuDeleteFile,
                          window->mnuCopy, window->mnuExcludePath, window->mnuActionDum1,
                          window->mnuCompare, window->mnuFileExclude}) {
        EXPECT_TRUE(item->isVisible()) << item->objectName().toStdString();
    }
    EXPECT_FALSE(window->mnuUndo->isVisible());
    EXPECT_TRUE(window->mnuProp[0]->text().startsWith("File Size: "));
    EXPECT_EQ(window->mnuProp[6]->text().toStdString(), "Company Name: Korvane");
    EXPECT_EQ(window->mnuProp[8]->text().toStdString(), "Internal Name: ");
    window->mnuActions->hide();

    Press(kCompNote, forms::vbRightButton);
    EXPECT_EQ(window->ClickedKey, "COMP.DLL");
    for (QAction* item : {window->mnuFileProperties->menuAction(), window->mnuDeleteFile,
                          window->mnuCopy, window->mnuExcludePath, window->mnuActionDum1}) {
        EXPECT_FALSE(item->isVisible()) << item->objectName().toStdString();
    }
    EXPECT_TRUE(window->mnuCompare->isVisible());
    window->mnuActions->hide();

    // The left button records without a menu; empty space records nothing.
    Press("C:\\OLD\\NEW.DLL", forms::vbLeftButton);
    EXPECT_EQ(window->ClickedKey, "C:\\OLD\\NEW.DLL");
    EXPECT_FALSE(window->mnuActions->isVisible());
    window->TreeView1_MouseDown(forms::vbRightButton, 0, 300, 50000);
    EXPECT_EQ(window->ClickedKey, "C:\\OLD\\NEW.DLL");
    EXPECT_FALSE(window->mnuActions->isVisible());
}

TEST_F(DupSysCommands, TheMenuOffersUndoOnAnAcceptedGroupAndNoDeleteOrCopyOnTheKeptCopy) {
    window->FirstExpandPending = false;
    for (const char* key : {"COMP.DLL", "NEW.DLL", "C:\\APP\\NEW.DLL", "REC.DLL"}) {
        Node(key).SetExpanded(true);
    }
    // NEW.DLL accepted: the group and its kept copy show picture 3, the other copy is flagged.
    Click("C:\\OLD\\NEW.DLL");
    window->cmdFollowRecommendation_Click();
    ASSERT_EQ(Image("NEW.DLL"), frmDupSys::kKept);

    struct Case {
        const char* selected;  // the node clicked last, whose buttons the menu mirrors
        const char* pressed;   // the node right-clicked
        bool accept, undo, deleteAndCopy;
    } const cases[] = {
        {"NEW.DLL", "NEW.DLL", false, true, false},
        {"REC.DLL", "C:\\APP\\NEW.DLL", true, true, false},
        {"COMP.DLL", "C:\\APP\\NEW.DLL*Company Name", false, true, false},
        {"C:\\APP\\REC.DLL", "C:\\OLD\\NEW.DLL", true, true, true},
        {"NEW.DLL", "C:\\APP\\REC.DLL", false, false, true},
        {"REC.DLL", kCompNote, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.selected) + " / " + c.pressed);
        Click(c.selected);
        window->TreeView1->scrollToItem(Node(c.pressed).Item());
        Press(c.pressed, forms::vbRightButton);
        ASSERT_TRUE(window->mnuActions->isVisible());
        EXPECT_EQ(window->cmdFollowRecommendation->isEnabled(), c.accept);
        // Accept stays hidden, and Qt reports a hidden entry as disabled: shown, it has the
        // state the menu gave it.
        EXPECT_FALSE(window->mnuAccept->isVisible());
        window->mnuAccept->setVisible(true);
        EXPECT_EQ(window->mnuAccept->isEnabled(), c.accept);
        window->mnuAccept->setVisible(false);
        EXPECT_EQ(window->mnuUndo->isVisible(), c.undo);
        for (QAction* item : {window->mnuDeleteFile, window->mnuCopy, window->mnuActionDum1}) {
            EXPECT_EQ(item->isVisible(), c.deleteAndCopy) << item->objectName().toStdString();
        }
        EXPECT_TRUE(window->mnuCompare->isVisible());
        EXPECT_TRUE(window->mnuFileExclude->isVisible());
        window->mnuActions->hide();
    }

    // Undo from the menu of the kept copy takes the whole acceptance back.
    window->ClickedKey = "C:\\APP\\NEW.DLL";
    window->mnuUndo_Click();
    EXPECT_TRUE(Actions().empty());
    EXPECT_EQ(Image("NEW.DLL"), frmDupSys::kHasRecommendation);
}

TEST_F(DupSysCommands, OnlyACopyCanBeChosen) {
    window->AddProperties(Node("NEW.DLL"));
    // A value holding a backslash must not pass for a path.
    window->AddChild("C:\\APP\\NEW.DLL", "Comments", "see C:\\DOCS\\README.TXT");
    for (const std::string key :
         {"NEW.DLL", kCompNote, "C:\\APP\\NEW.DLL*Company Name", "C:\\APP\\NEW.DLL*Comments"}) {
        Click(key);
        dialogs->Clear();
        window->cmdRemove_Click();
        ASSERT_EQ(Titles(), Strings{"File Selected For remove"}) << key;
        EXPECT_EQ(LastPrompt(),
                  "Please select one of the full paths to remove. (You should not remove the "
                  "file from all paths.)");
    }
    EXPECT_TRUE(Actions().empty());
    EXPECT_EQ(window->FileSelect("copy", "C:\\APP\\NEW.DLL"), "C:\\APP\\NEW.DLL");
}

TEST_F(DupSysCommands, WithoutBackupRemoveAsksOnceAndMoveTwice) {
    Store({{"Backup", "N"}});
    struct Case {
        const char* key;
        void (frmDupSys::*command)();
        std::vector<int> answers;
        Strings titles;
    } const cases[] = {
        {"C:\\OLD\\NEW.DLL",
         &frmDupSys::cmdRemove_Click,
         {Yes, Yes},
         {"Backup not selected", "Confirm Delete"}},
        {"C:\\APP\\REC.DLL",
         &frmDupSys::cmdWinSys_Click,
         {Yes, Yes, Yes},
         {"Backup not selected", "File Exists", "Backup not selected"}},
        {"C:\\OLD\\QUES.DLL",
         &frmDupSys::cmdWinSys_Click,
         {Yes, Yes},
         {"Backup not selected", "Backup not selected"}},
    };
    for (const Case& c : cases) {
        dialogs->Clear();
        for (const int answer : c.answers) {
            dialogs->AnswerMsgBox(answer);
        }
        Click(c.key);
        (window.get()->*c.command)();
        EXPECT_EQ(Titles(), c.titles) << c.key;
    }
    EXPECT_FALSE(modVLTProperties::Backup());

    // No turns backups on, and the box with them: no more questions.
    dialogs->Clear();
    Answer({No});
    Click("C:\\APP\\COMP.DLL");
    window->cmdWinSys_Click();
    EXPECT_EQ(Titles(), Strings{"Backup not selected"});
    EXPECT_TRUE(modVLTProperties::Backup());
    EXPECT_TRUE(window->ckBackup->isChecked());
    EXPECT_TRUE(window->txBackupPath->isEnabled());
}

TEST_F(DupSysCommands, DeleteFlagsTheCopyOrSaysItWasCanceled) {
    Answer({No});
    window->KillIt("C:\\OLD\\NEW.DLL");
    EXPECT_EQ(Status(), "Delete of C:\\OLD\\NEW.DLL canceled.");
    EXPECT_TRUE(Actions().empty());
    EXPECT_EQ(Image("C:\\OLD\\NEW.DLL"), frmDupSys::kOtherCopy);

    Answer({Yes});
    window->KillIt("C:\\OLD\\NEW.DLL");
    EXPECT_EQ(Status(), "C:\\OLD\\NEW.DLL flagged for delete.");
    EXPECT_EQ(Actions(), (Entries{{"4", "", ""}, {"2", "C:\\OLD\\NEW.DLL", ""}}));
    EXPECT_EQ(Image("C:\\OLD\\NEW.DLL"), frmDupSys::kFlagged);
    ASSERT_EQ(window->ActionIDXCount(), 1);
    EXPECT_EQ(window->ActionIDXs()[0].FileName, "NEW.DLL");
    EXPECT_EQ(window->ActionIDXs()[0].First, 0);
    EXPECT_EQ(window->ActionIDXs()[0].Last, 1);
}

TEST_F(DupSysCommands, CopyingFromTheSystemFolderIsRefusedInAnyCase) {
    for (const std::string path :
         {"C:\\WINDOWS\\SYSTEM\\REC.DLL", "c:\\windows\\system\\REC.DLL"}) {
        dialogs->Clear();
        window->GoCopy(path);
        EXPECT_EQ(Titles(), Strings{"Copy to C:\\WINDOWS\\SYSTEM"}) << path;
        EXPECT_EQ(LastPrompt(), "Cannot copy file onto self.");
    }
    EXPECT_TRUE(Actions().empty());
}

TEST_F(DupSysCommands, CopyingOverTheSystemCopyAsksFirst) {
    Answer({No});
    window->GoCopy("C:\\APP\\REC.DLL");
    EXPECT_EQ(LastPrompt(),
              "C:\\WINDOWS\\SYSTEM\\REC.DLL exists!  Do you want to overlay it anyhow?");
    EXPECT_EQ(Status(), "Copying of C:\\APP\\REC.DLL to C:\\WINDOWS\\SYSTEM canceled.");
    EXPECT_TRUE(Actions().empty());

    Answer({Yes});
    window->GoCopy("C:\\APP\\REC.DLL");
    EXPECT_EQ(Status(), "C:\\APP\\REC.DLL flagged for copied to C:\\WINDOWS\\SYSTEM");
    // The chosen copy moves into the system folder (the other folders' copies are deleted).
    const Entries queued = Actions();
    ASSERT_GE(queued.size(), 3u);
    EXPECT_EQ(Entries(queued.begin(), queued.begin() + 3),
              (Entries{{"4", "", ""},
                       {"1", "C:\\APP\\REC.DLL", "C:\\WINDOWS\\SYSTEM\\REC.DLL"},
                       {"2", "C:\\APP\\REC.DLL", ""}}));
    ASSERT_EQ(window->ActionIDXCount(), 1);
    EXPECT_EQ(window->ActionIDXs()[0].First, 0);
    EXPECT_EQ(window->ActionIDXs()[0].Last, static_cast<std::int32_t>(queued.size()) - 1);
    EXPECT_EQ(Image("C:\\APP\\REC.DLL"), frmDupSys::kKept);
    EXPECT_EQ(Image("C:\\WINDOWS\\SYSTEM\\REC.DLL"), frmDupSys::kFlagged);

    window->GoCopy("C:\\OLD\\NEW.DLL");
    EXPECT_EQ(Status(), "C:\\OLD\\NEW.DLL flagged for copied to all paths where the file exists.");
    EXPECT_EQ(Actions().back(), (ActionEntry{"1", "C:\\OLD\\NEW.DLL", "C:\\APP\\NEW.DLL"}));
}

TEST_F(DupSysCommands, AcceptIsRefusedWithoutARecommendation) {
    for (const char* key : {"C:\\APP\\COMP.DLL", "QUES.DLL", kCompNote}) {
        dialogs->Clear();
        Click(key);
        window->cmdFollowRecommendation_Click();
        EXPECT_EQ(Titles(), Strings{"Unable to comply"}) << key;
    }
    EXPECT_TRUE(Actions().empty());
    EXPECT_EQ(window->ActionIDXCount(), 0);
    EXPECT_EQ(Image("COMP.DLL"), frmDupSys::kNoRecommendation);
}

TEST_F(DupSysCommands, AcceptKeepsTheRecommendedCopyOnce) {
    Click("C:\\OLD\\NEW.DLL");
    window->cmdFollowRecommendation_Click();
    EXPECT_EQ(Actions(), (Entries{{"4", "", ""}, {"1", "C:\\APP\\NEW.DLL", "C:\\OLD\\NEW.DLL"}}));
    EXPECT_EQ(Image("NEW.DLL"), frmDupSys::kKept);
    EXPECT_EQ(Image("C:\\APP\\NEW.DLL"), frmDupSys::kKept);
    EXPECT_EQ(Image("C:\\OLD\\NEW.DLL"), frmDupSys::kFlagged);
    // The selected copy is flagged now: undo is offered at once.
    EXPECT_TRUE(window->cmdUndo->isEnabled());

    // Nothing is left to keep: a second accept queues nothing.
    window->ClickedKey = "NEW.DLL";
    window->mnuAccept_Click();
    EXPECT_EQ(Actions().size(), 2u);
    EXPECT_EQ(window->ActionIDXCount(), 1);
}

TEST_F(DupSysCommands, UndoTakesOutExactlyWhatEachCommandAdded) {
    const Entries before = Actions();
    Answer({Yes, Yes});
    window->KillIt("C:\\OLD\\NEW.DLL");  // NEW.DLL, entries 0-1
    window->KillIt("C:\\APP\\REC.DLL");  // REC.DLL, entries 2-3
    window->GoCopy("C:\\OLD\\NEW.DLL");  // NEW.DLL, entries 4-5
    const Entries all = Actions();
    ASSERT_EQ(all.size(), 6u);

    // The oldest command of the group goes first; the later ones keep their own entries.
    window->UndoWork(Node("C:\\APP\\NEW.DLL"));
    EXPECT_EQ(Actions(), (Entries{all[2], all[3], all[4], all[5]}));
    ASSERT_EQ(window->ActionIDXCount(), 2);
    EXPECT_EQ(window->ActionIDXs()[0].First, 0);
    EXPECT_EQ(window->ActionIDXs()[1].First, 2);
    EXPECT_EQ(window->ActionIDXs()[1].Last, 3);
    // The copy still queued shows its pictures.
    EXPECT_EQ(Image("C:\\OLD\\NEW.DLL"), frmDupSys::kKept);
    EXPECT_EQ(Image("C:\\APP\\NEW.DLL"), frmDupSys::kFlagged);

    window->UndoWork(Node("NEW.DLL"));
    EXPECT_EQ(Actions(), (Entries{all[2], all[3]}));
    EXPECT_EQ(Image("NEW.DLL"), frmDupSys::kHasRecommendation);
    EXPECT_EQ(Image("C:\\APP\\NEW.DLL"), frmDupSys::kRecommended);
    EXPECT_EQ(Image("C:\\OLD\\NEW.DLL"), frmDupSys::kOtherCopy);

    // A group without a record is only painted again.
    window->UndoWork(Node("NEW.DLL"));
    EXPECT_EQ(Actions(), (Entries{all[2], all[3]}));

    window->UndoWork(Node("C:\\APP\\REC.DLL"));
    EXPECT_EQ(Actions(), before);
    EXPECT_EQ(window->ActionIDXCount(), 0);
    EXPECT_EQ(Image("C:\\APP\\REC.DLL"), frmDupSys::kOtherCopy);
}

TEST_F(DupSysCommands, UndoPaintsNotesAndUnmarkedGroupsAsBuilt) {
    Answer({Yes});
    window->KillIt("C:\\APP\\COMP.DLL");
    window->UndoWork(Node(kCompNote));
    EXPECT_EQ(Image("C:\\APP\\COMP.DLL"), frmDupSys::kNoRecommendationCopy);
    EXPECT_EQ(Image(kCompNote), frmDupSys::kNoRecommendation);
    EXPECT_EQ(Image("COMP.DLL"), frmDupSys::kNoRecommendation);
    EXPECT_TRUE(Actions().empty());
}

TEST_F(DupSysCommands, CompareRemovesAGroupOfEqualCopies) {
    machine.File("C:\\A\\SAME.DLL", "same").File("C:\\B\\SAME.DLL", "same");
    window->AddGroup("SAME.DLL", 6);
    window->AddCopy("SAME.DLL", "C:\\A\\SAME.DLL", 4);
    window->AddCopy("SAME.DLL", "C:\\B\\SAME.DLL", 4);
    window->ClickedKey = "C:\\B\\SAME.DLL";
    window->mnuCompare_Click();
    EXPECT_EQ(Titles(), Strings{"File Comparison."});
    EXPECT_EQ(LastPrompt(),
              "All files with the name:\r\nSAME.DLL\r\nthat were scanned on your system are the "
              "same");
    EXPECT_FALSE(window->TreeView1->Exists("SAME.DLL"));
    EXPECT_FALSE(window->TreeView1->Exists("C:\\A\\SAME.DLL"));

    // Different copies stay; the note of the group is no file to compare.
    dialogs->Clear();
    Click("QUES.DLL");
    window->cmdFileCompare_Click();
    EXPECT_EQ(Titles(), Strings{"File Comparison"});
    EXPECT_EQ(LastPrompt(),
              "Files are not the same\r\n\r\nCompared: \r\nC:\\APP\\QUES.DLL\r\nto\r\n"
              "C:\\OLD\\QUES.DLL");
    EXPECT_TRUE(window->TreeView1->Exists("QUES.DLL"));
}

TEST_F(DupSysCommands, CompareFromTheNoteRemovesAGroupWhoseCopiesBecameEqual) {
    // The company names differed at the scan; since then the other copy was replaced by the
    // same file. The note is no copy: the comparison must look at the two files only.
    machine.File("C:\\OTHER\\COMP.DLL", dupsystest::Dll("Korvane", "1.0"));
    ASSERT_EQ(ChildKeys("COMP.DLL"),
              (Strings{"C:\\APP\\COMP.DLL", "C:\\OTHER\\COMP.DLL", kCompNote}));
    window->FirstExpandPending = false;
    Node("COMP.DLL").SetExpanded(true);
    Press(kCompNote, forms::vbRightButton);
    window->mnuActions->hide();
    ASSERT_EQ(window->ClickedKey, "COMP.DLL");
    window->mnuCompare_Click();
    EXPECT_EQ(Titles(), Strings{"File Comparison."});
    EXPECT_EQ(LastPrompt(),
              "All files with the name:\r\nCOMP.DLL\r\nthat were scanned on your system are the "
              "same");
    for (const char* key : {"COMP.DLL", "C:\\APP\\COMP.DLL", kCompNote}) {
        EXPECT_FALSE(window->TreeView1->Exists(key)) << key;
    }
    EXPECT_TRUE(window->TreeView1->Exists("NEW.DLL"));
    EXPECT_TRUE(Actions().empty());
}

TEST_F(DupSysCommands, ExcludePathStoresTheFolderAndRemovesOnlyThatCopy) {
    window->ClickedKey = "C:\\OLD\\NEW.DLL";
    window->mnuExcludePath_Click();
    const automation::Variant stored = vlt::QzRegistry1().GetRegSetting(
        automation::Variant("C:\\OLD\\"), automation::Variant("missing"),
        "Software\\Korvane\\Velto\\Exclusions");
    EXPECT_EQ(stored.TypeName(), "String");
    EXPECT_EQ(automation::CStr(stored), "");
    EXPECT_FALSE(window->TreeView1->Exists("C:\\OLD\\NEW.DLL"));
    EXPECT_TRUE(window->TreeView1->Exists("C:\\APP\\NEW.DLL"));
    EXPECT_TRUE(window->TreeView1->Exists("C:\\OLD\\QUES.DLL"));
    EXPECT_TRUE(Actions().empty());

    window->ClickedKey = "C:\\WINDOWS\\SYSTEM\\REC.DLL";
    window->mnuExcludePath_Click();
    EXPECT_EQ(Titles(), Strings{"System folder cannot be excluded"});
    EXPECT_TRUE(window->TreeView1->Exists("C:\\WINDOWS\\SYSTEM\\REC.DLL"));
}

TEST_F(DupSysCommands, ExcludeFileTakesTheClickedNodeOut) {
    window->ClickedKey = "C:\\APP\\QUES.DLL";
    window->mnuFileExclude_Click();
    EXPECT_FALSE(window->TreeView1->Exists("C:\\APP\\QUES.DLL"));
    EXPECT_TRUE(window->TreeView1->Exists("QUES.DLL"));
    window->ClickedKey = "QUES.DLL";
    window->mnuFileExclude_Click();
    EXPECT_FALSE(window->TreeView1->Exists("QUES.DLL"));
    EXPECT_TRUE(Actions().empty());
}

// A node that leaves the tree takes the commands that involve it along: nothing the tree no
// longer shows is carried out at OK, and the commands of other copies stay as they were.
TEST_F(DupSysCommands, ACopyTakenOutOfTheTreeTakesItsQueuedChangesAlong) {
    machine.File("C:\\A\\SAME.DLL", "same").File("C:\\B\\SAME.DLL", "same");
    struct Case {
        const char* what;
        std::function<void()> queue;  // with REC.DLL's deletion queued first
        std::function<void()> takeOut;
        const char* status;
    };
    const auto exclude = [this](const char* key) {
        return [this, key] {
            window->ClickedKey = key;
            window->mnuFileExclude_Click();
        };
    };
    const Case cases[] = {
        {"delete, then exclude the file", [this] { window->KillIt("C:\\OLD\\NEW.DLL"); },
         exclude("C:\\OLD\\NEW.DLL"),
         "C:\\OLD\\NEW.DLL is taken out of consideration. 1 queued change to it was withdrawn."},
        {"copy over it, then exclude the copy that would be overwritten",
         [this] { window->GoCopy("C:\\OLD\\NEW.DLL"); }, exclude("C:\\APP\\NEW.DLL"),
         "C:\\APP\\NEW.DLL is taken out of consideration. 1 queued change to it was withdrawn."},
        {"delete, then exclude the group from its note",
         [this] { window->KillIt("C:\\APP\\COMP.DLL"); }, exclude("COMP.DLL"),
         "COMP.DLL is taken out of consideration. 1 queued change to it was withdrawn."},
        {"delete, then exclude the copy's folder", [this] { window->KillIt("C:\\OLD\\QUES.DLL"); },
         [this] {
             window->ClickedKey = "C:\\OLD\\QUES.DLL";
             window->mnuExcludePath_Click();
         },
         "C:\\OLD\\QUES.DLL is taken out of consideration. 1 queued change to it was withdrawn."},
        {"delete, then a comparison finds the copies equal",
         [this] { window->KillIt("C:\\A\\SAME.DLL"); },
         [this] {
             window->ClickedKey = "C:\\A\\SAME.DLL";
             window->mnuCompare_Click();
         },
         "The group SAME.DLL (all its copies are the same) is taken out of consideration. 1 "
         "queued change to it was withdrawn."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Every case starts from a freshly built window.
        window->ClosingForRescan = true;
        window->Unload();
        Match();
        window->AddGroup("SAME.DLL", frmDupSys::kNoRecommendation);
        window->AddCopy("SAME.DLL", "C:\\A\\SAME.DLL", frmDupSys::kNoRecommendationCopy);
        window->AddCopy("SAME.DLL", "C:\\B\\SAME.DLL", frmDupSys::kNoRecommendationCopy);
        Answer({Yes, Yes});
        window->KillIt("C:\\APP\\REC.DLL");
        const Entries kept = Actions();
        c.queue();
        ASSERT_GT(Actions().size(), kept.size());
        dialogs->Clear();
        c.takeOut();
        EXPECT_EQ(Actions(), kept);
        ASSERT_EQ(window->ActionIDXCount(), 1);
        EXPECT_EQ(window->ActionIDXs()[0].FileName, "REC.DLL");
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(Image("C:\\APP\\REC.DLL"), frmDupSys::kFlagged);
        // The group's other copies show what is queued for them now: nothing.
        if (window->TreeView1->Exists("C:\\APP\\NEW.DLL")) {
            EXPECT_EQ(Image("C:\\APP\\NEW.DLL"), frmDupSys::kRecommended);
        }
        if (window->TreeView1->Exists("C:\\OLD\\NEW.DLL")) {
            EXPECT_EQ(Image("C:\\OLD\\NEW.DLL"), frmDupSys::kOtherCopy);
        }
        window->UndoWork(Node("REC.DLL"));
        dialogs->Clear();
    }
}

// After an undo the status line says what is queued for the group now.
TEST_F(DupSysCommands, TheStatusLineAfterUndoDescribesWhatIsLeft) {
    Answer({Yes});
    window->KillIt("C:\\OLD\\NEW.DLL");
    window->GoCopy("C:\\OLD\\NEW.DLL");
    ASSERT_EQ(Status(), "C:\\OLD\\NEW.DLL flagged for copied to all paths where the file exists.");
    for (const char* status :
         {"Oldest change to NEW.DLL undone; 1 change is still queued for NEW.DLL.",
          "Change to NEW.DLL undone; no changes are queued for NEW.DLL.",
          "Nothing to undo for NEW.DLL."}) {
        Click("C:\\OLD\\NEW.DLL");
        window->cmdUndo_Click();
        EXPECT_EQ(Status(), status);
    }
    EXPECT_TRUE(Actions().empty());
}

TEST_F(DupSysCommands, BackupControlsStoreTheirSettings) {
    window->ckBackup->setChecked(false);
    EXPECT_EQ(Titles(), Strings{"Backup Recommended"});
    EXPECT_FALSE(modVLTProperties::Backup());
    EXPECT_FALSE(window->txBackupPath->isEnabled());
    window->ckBackup->setChecked(true);
    EXPECT_TRUE(modVLTProperties::Backup());
    EXPECT_TRUE(window->cmdGetBackup->isEnabled());

    std::string startedAt;
    dialogs::DirectoryPickerResult answer{"C:\\SAVED", false, false};
    dialogs::ScopedDirectoryPicker picker([&](const dialogs::FolderDialogRequest& request) {
        startedAt = request.initDir;
        return answer;
    });
    const std::string before = window->txBackupPath->text().toStdString();
    window->cmdGetBackup_Click();
    EXPECT_EQ(startedAt, before);
    EXPECT_EQ(window->txBackupPath->text().toStdString(), "C:\\SAVED");
    EXPECT_EQ(modVLTProperties::BackupPath(), "C:\\SAVED\\");
    answer = {"", true, false};
    window->cmdGetBackup_Click();
    EXPECT_EQ(window->txBackupPath->text().toStdString(), "C:\\SAVED");
}

TEST_F(DupSysCommands, OkCarriesOutTheListAndReports) {
    vlt::State().windows.commonDialog = std::make_shared<CommonDialog>();
    Answer({Yes});
    window->KillIt("C:\\OLD\\NEW.DLL");
    dialogs->Clear();
    Answer({No, No, No});
    window->cmdExit_Click();
    EXPECT_EQ(Titles(), (Strings{"Summary Action Report", "Report Created.", "Restart Required"}));
    EXPECT_TRUE(vlt::State().ChangesApplied);
    EXPECT_TRUE(vlt::State().Closing);
    EXPECT_FALSE(window->Loaded());
    EXPECT_TRUE(vlt::State().RestartNeeded);
    EXPECT_NE(machine.Read("C:\\WINDOWS\\wininit.ini").find("NUL=C:\\OLD\\NEW.DLL"),
              std::string::npos);
}

// While the report runs (it waits a while for the report to be looked at), the window takes
// no command: a second OK, Rescan, Cancel or the close box neither report nor ask twice.
TEST_F(DupSysCommands, WhileTheReportRunsTheWindowTakesNoCommand) {
    vlt::State().windows.commonDialog = std::make_shared<CommonDialog>();
    testsupport::RecordingLauncher launcher;
    window->Show();
    Answer({Yes});
    window->KillIt("C:\\OLD\\NEW.DLL");
    dialogs->Clear();
    Answer({No, Yes, No});  // no save, view the report, no restart now
    int attempts = 0;
    bool closedToCommands = true;
    {
        ScopedDoEvents pump([&] {
            if (!window->Reporting) {
                return;
            }
            ++attempts;
            closedToCommands = closedToCommands && !window->cmdExit->isEnabledTo(window.get()) &&
                               !window->MenuBar->isEnabled();
            window->cmdExit->click();
            window->cmdExit_Click();
            window->cmdRescan_Click();
            window->cmdCancel_Click();
            window->close();
        });
        window->cmdExit_Click();
    }
    EXPECT_GT(attempts, 0);
    EXPECT_TRUE(closedToCommands);
    EXPECT_EQ(Titles(), (Strings{"Summary Action Report", "Report Created.", "Restart Required"}));
    EXPECT_EQ(launcher.Launched().size(), 1u);
    EXPECT_EQ(dialogs->Unanswered(), 0u);
    EXPECT_TRUE(vlt::State().ChangesApplied);
    EXPECT_FALSE(window->Loaded());
    EXPECT_EQ(mainWindow->shows, 0);
}

// Changes carried out by Rescan's "apply first" are not abandoned by closing the new review;
// changes queued after them are asked about.
TEST_F(DupSysCommands, ClosingAfterTheChangesWereCarriedOutDoesNotSpeakOfAborting) {
    vlt::State().windows.commonDialog = std::make_shared<CommonDialog>();
    Answer({Yes, Yes, No, No, No});
    window->KillIt("C:\\OLD\\NEW.DLL");
    window->cmdRescan_Click();
    Match();
    window->Show();
    dialogs->Clear();
    Answer({Yes, No});
    window->KillIt("C:\\APP\\REC.DLL");
    window->close();
    EXPECT_EQ(Titles(), (Strings{"Confirm Delete", "Verify Abort"}));
    EXPECT_TRUE(window->Loaded());
    window->UndoWork(Node("REC.DLL"));
    dialogs->Clear();
    window->close();
    EXPECT_TRUE(Titles().empty());
    EXPECT_FALSE(window->Loaded());
}

TEST_F(DupSysCommands, OkWithNothingQueuedSaysSoAndEnds) {
    EXPECT_THROW(window->cmdExit_Click(), vlt::ProgramEnded);
    ASSERT_EQ(dialogs->MsgBoxes().size(), 1u);
    EXPECT_EQ(LastPrompt(), "No Action taken");
    EXPECT_FALSE(window->Loaded());
}

TEST_F(DupSysCommands, CancelAndTheCloseBoxAskBeforeAbandoningChanges) {
    window->Show();
    Answer({No});
    window->cmdCancel_Click();
    EXPECT_EQ(Titles(), Strings{"Verify Abort"});
    EXPECT_TRUE(window->Loaded());
    Answer({No});
    window->close();
    EXPECT_TRUE(window->Loaded());

    Answer({Yes});
    window->close();
    EXPECT_FALSE(window->Loaded());
    EXPECT_TRUE(vlt::State().Closing);
}

TEST_F(DupSysCommands, RescanDropsDeclinedChangesAndShowsTheMainWindow) {
    Answer({Yes, No});
    window->KillIt("C:\\OLD\\NEW.DLL");
    window->cmdRescan_Click();
    EXPECT_TRUE(Actions().empty());
    EXPECT_EQ(mainWindow->shows, 1);
    EXPECT_FALSE(window->Loaded());
    EXPECT_FALSE(vlt::State().ScanSucceeded);
    EXPECT_EQ(Titles(), (Strings{"Confirm Delete", "Rescan"}));

    // The next scan loads the window afresh.
    Match();
    EXPECT_TRUE(window->Loaded());
    EXPECT_FALSE(window->ClosingForRescan);
    EXPECT_EQ(window->ActionIDXCount(), 0);
    EXPECT_EQ(Tree().size(), 14u);
}

TEST_F(DupSysCommands, RescanAppliesQueuedChangesWhenAsked) {
    vlt::State().windows.commonDialog = std::make_shared<CommonDialog>();
    // Nothing queued: nothing to apply, and the program goes on to the new scan.
    Answer({Yes});
    window->cmdRescan_Click();
    EXPECT_EQ(Titles(), Strings{"Rescan"});
    EXPECT_FALSE(vlt::State().Closing);

    Match();
    dialogs->Clear();
    Answer({Yes, Yes, No, No, No});
    window->KillIt("C:\\OLD\\NEW.DLL");
    window->cmdRescan_Click();
    EXPECT_EQ(Titles(), (Strings{"Confirm Delete", "Rescan", "Summary Action Report",
                                 "Report Created.", "Restart Required"}));
    EXPECT_EQ(vlt::State().NextAction, vlt::State().ActionCount);
    EXPECT_EQ(mainWindow->shows, 2);
}

TEST_F(DupSysCommands, RestoreShowsTheRestoreWindowModally) {
    std::string shown;
    bool modal = false;
    forms::ScopedModalDriver driver([&](forms::Form& form) {
        shown = form.objectName().toStdString();
        modal = form.ShownModal();
    });
    window->cmdRestore_Click();
    EXPECT_EQ(shown, "frmRestoreBackups");
    EXPECT_TRUE(modal);
}

TEST_F(DupSysCommands, ALicenceThatCannotBeShownKeepsTheQueuedChanges) {
    Answer({Yes});
    window->KillIt("C:\\OLD\\NEW.DLL");
    const Entries queued = Actions();
    dialogs->Clear();
    window->mnuLicense->trigger();
    ASSERT_EQ(dialogs->MsgBoxes().size(), 1u);
    EXPECT_TRUE(
        dialogs->MsgBoxes()[0].prompt.starts_with("The licence agreement cannot be shown:\r\n"))
        << dialogs->MsgBoxes()[0].prompt;
    EXPECT_FALSE(vlt::State().Abended);
    EXPECT_EQ(Actions(), queued);
}

// Wine's own library beside programs' copies: the window never deletes it, copies it, or
// copies over it, and says why; a program's copy may still be deleted.
class PlatformFiles : public DupSysTest {
  protected:
    PlatformFiles() {
        machine.File(kWine, dupsystest::Dll("Microsoft Corporation", "10.0", 0, "Wine builtin DLL"))
            .File("C:\\APP\\WINE.DLL", dupsystest::Dll("Korvane", "1.0"))
            .File("C:\\OLD\\WINE.DLL", dupsystest::Dll("Korvane", "0.5"));
        Match();
    }
    static constexpr const char* kWine = "C:\\WINDOWS\\SYSTEM\\WINE.DLL";
};

TEST_F(PlatformFiles, AreNeitherDeletedCopiedNorCopiedOver) {
    EXPECT_EQ(Node(kWine).Image(), frmDupSys::kPlatformCopy);
    EXPECT_TRUE(window->TreeView1->Exists("WINE.DLL *  LEFT TO WINE"));
    const std::string why =
        "C:\\WINDOWS\\SYSTEM\\WINE.DLL is Wine's own library (builtin), whatever its version "
        "says.\r\nIt is left to Wine: Velto does not ";
    struct Case {
        const char* what;
        std::function<void()> command;
        std::string refused;
    } const cases[] = {
        {"delete it", [&] { window->KillIt(kWine); }, "delete it."},
        {"copy it", [&] { window->GoCopy(kWine); }, "copy it over other copies."},
        {"copy a program's copy over it", [&] { window->GoCopy("C:\\APP\\WINE.DLL"); },
         "copy over it."},
    };
    for (const Case& c : cases) {
        dialogs->Clear();
        c.command();
        ASSERT_FALSE(dialogs->MsgBoxes().empty()) << c.what;
        EXPECT_EQ(dialogs->MsgBoxes().back().title, "Left to Wine") << c.what;
        EXPECT_EQ(dialogs->MsgBoxes().back().prompt, why + c.refused) << c.what;
    }
    EXPECT_TRUE(Actions().empty());
    // Its property rows say whose it is.
    window->AddProperties(Node("WINE.DLL"));
    EXPECT_EQ(Node(std::string(kWine) + "*Left to Wine").Text(),
              "Left to Wine: Wine's own library (builtin)");

    dialogs->AnswerMsgBox(Yes);
    window->KillIt("C:\\OLD\\WINE.DLL");
    EXPECT_EQ(Actions().back(), (ActionEntry{"2", "C:\\OLD\\WINE.DLL", ""}));
}

}  // namespace
