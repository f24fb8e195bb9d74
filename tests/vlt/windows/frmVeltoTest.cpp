// The main options window on offscreen Qt with scripted dialogs: what loading shows and runs,
// the enabling rules, the comparison mask, exclusions, the scan, help, the update check, exit.
#include <QTest>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "controls/file/QzFile.h"
#include "controls/registry/QzRegistry.h"
#include "platform/automation/Variant.h"
#include "platform/dialogs/DirectoryPicker.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/LongPaths.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/support/RegistrySeed.h"
#include "tests/vlt/windows/WindowsTestSupport.h"
#include "vlt/core/BackupNames.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/windows/frmStandBy.h"
#include "vlt/windows/frmVelto.h"

namespace {

using windowstest::WindowsTest;

constexpr const char* kExclusions = "Software\\Korvane\\Velto\\Exclusions";

// A user's click on a check box or option button: on its box, which a click beside a short
// caption would miss.
void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

// A control's own Enabled property: a control inside a disabled frame keeps its own value.
bool OwnEnabled(const QWidget* control) {
    return !control->testAttribute(Qt::WA_ForceDisabled);
}

// While it lives, the desktop's Trash is the one below `home` ($XDG_DATA_HOME).
class TrashHome {
  public:
    explicit TrashHome(const std::filesystem::path& home) {
        if (const char* previous = std::getenv("XDG_DATA_HOME")) {
            previous_ = previous;
        }
        setenv("XDG_DATA_HOME", home.c_str(), 1);
    }
    ~TrashHome() {
        if (previous_) {
            setenv("XDG_DATA_HOME", previous_->c_str(), 1);
        } else {
            unsetenv("XDG_DATA_HOME");
        }
    }
    TrashHome(const TrashHome&) = delete;
    TrashHome& operator=(const TrashHome&) = delete;

  private:
    std::optional<std::string> previous_;
};

class frmVeltoTest : public WindowsTest {
  protected:
    frmVeltoTest() {
        LoadHost();
        // The orderly close unloads every window, as the program's own windows arrange.
        vlt::State().windows.unloadAllForms = [] {
            for (forms::Form* form : forms::LoadedForms()) {
                form->Unload();
            }
        };
    }

    // Loads the window as start-up does (it stays hidden).
    void LoadWindow() {
        window.Load();
        dialogs->Clear();
    }
    // Unloads without ending the program, as after a successful scan.
    void UnloadQuietly() {
        vlt::State().ScanSucceeded = true;
        window.Unload();
        vlt::State().ScanSucceeded = false;
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < window.List1->count(); ++i) {
            lines.push_back(window.List1->item(i)->text().toStdString());
        }
        return lines;
    }
    std::vector<std::string> StoredExclusions() const {
        const automation::Variant names = vlt::QzRegistry1().GetAllValues(kExclusions);
        const auto* list = names.get_if<automation::StringArray>();
        return list != nullptr ? list->Items() : std::vector<std::string>{};
    }
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (const auto& box : dialogs->MsgBoxes()) {
            titles.push_back(box.title);
        }
        return titles;
    }

    // The folder picker answers from `folders` in turn (std::nullopt cancels).
    std::deque<std::optional<std::string>> folders;
    std::vector<dialogs::FolderDialogRequest> pickerRequests;
    dialogs::ScopedDirectoryPicker picker{[this](const dialogs::FolderDialogRequest& request) {
        pickerRequests.push_back(request);
        dialogs::DirectoryPickerResult result;
        if (!folders.empty()) {
            if (folders.front()) {
                result.resultDir = *folders.front();
                result.canceled = false;
            }
            folders.pop_front();
        }
        return result;
    }};
    frmVelto window;
};

TEST(frmVeltoCompBit, FollowsTheFormulaWithNoBitForTheFileVersion) {
    const std::int32_t expected[frmVelto::kCompCount] = {0,  1,  2,   4,   8,   16,
                                                         32, 64, 128, 256, 512, 1024};
    for (int i = 0; i < frmVelto::kCompCount; ++i) {
        EXPECT_EQ(frmVelto::CompBit(i), expected[i]) << i;
    }
}

TEST_F(frmVeltoTest, LoadingShowsEverySetting) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> stored;
        std::vector<bool> types;  // ACM DLL DRV EXE OCX TLB VBX VXD
        bool recommend, smart, all;
    } const cases[] = {
        {"fresh", {}, {false, true, false, false, false, false, false, false}, true, true, false},
        {"only N switches a type off; only Y switches smart on",
         {{"DLL", "n"}, {"ACM", "Y"}, {"VXD", "yes"}, {"TLB", "N"}, {"SmartCheck", "y"}},
         {true, true, false, false, false, false, false, true},
         false,
         false,
         false},
        {"DLL off, all duplicates",
         {{"DLL", "N"}, {"OCX", "Y"}, {"AllDups", "Y"}, {"ShowRecommended", "N"}},
         {false, false, false, false, true, false, false, false},
         false,
         true,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Store(c.stored);
        LoadWindow();
        const QCheckBox* boxes[] = {window.ckACM, window.ckDLL, window.ckDRV, window.ckEXE,
                                    window.ckOCX, window.ckTLB, window.ckVBX, window.ckVXD};
        for (std::size_t i = 0; i < c.types.size(); ++i) {
            EXPECT_EQ(boxes[i]->isChecked(), c.types[i]) << boxes[i]->objectName().toStdString();
        }
        EXPECT_EQ(window.ckRecommend->isChecked(), c.recommend);
        EXPECT_EQ(window.ckQzDefault->isChecked(), c.smart);
        EXPECT_EQ(window.optAllDuplicate[0]->isChecked(), c.all);
        EXPECT_EQ(window.optAllDuplicate[1]->isChecked(), !c.all);
        EXPECT_FALSE(window.isVisible());
        UnloadQuietly();
        // Back to a fresh machine for the next case: every stored value goes.
        vlt::QzRegistry1().DeleteKey(modVLTProperties::kExclusionsKey);
        for (const auto& [name, value] : c.stored) {
            vlt::QzRegistry1().DeleteValue(name);
        }
    }
}

TEST_F(frmVeltoTest, LoadingShowsTheComparisonMaskAndTheBackupFolderGainsItsBackslash) {
    Store({{"CompareFields", "1537"}, {"BackupPath", "C:\\BACK"}});
    LoadWindow();
    for (int i = 0; i < frmVelto::kCompCount; ++i) {
        EXPECT_EQ(window.ckComp[i]->isChecked(), i == 0 || i == 1 || i == 10 || i == 11) << i;
    }
    EXPECT_EQ(modVLTProperties::CompareFields(), 1537);
    EXPECT_EQ(window.txBackupPath->text().toStdString(), "C:\\BACK");
    EXPECT_EQ(modVLTProperties::BackupPath(), "C:\\BACK\\");
    EXPECT_FALSE(window.lbCopyright->text().isEmpty());
}

TEST_F(frmVeltoTest, UncheckingTheFileVersionChecksItAgainAndLeavesTheMaskAlone) {
    Store({{"SmartCheck", "N"}});
    LoadWindow();
    ASSERT_TRUE(window.ckComp[0]->isEnabled());
    const std::string before = Settings();
    Click(window.ckComp[0]);
    EXPECT_TRUE(window.ckComp[0]->isChecked());
    EXPECT_FALSE(window.InCompClick);
    EXPECT_EQ(modVLTProperties::CompareFields(), modVLTProperties::kDefaultCompareFields);
    EXPECT_EQ(Settings(), before);
}

TEST_F(frmVeltoTest, EachComparisonBoxAddsOrRemovesItsBit) {
    Store({{"SmartCheck", "N"}});
    LoadWindow();
    struct Step {
        int box;
        bool check;
        std::int32_t fields;
    } const steps[] = {
        {1, true, 19},
        {5, false, 3},
        {11, true, 1027},
        {2, false, 1025},
        {10, true, 1537},
        // Setting a box to the state it has changes nothing.
        {10, true, 1537},
    };
    for (const Step& step : steps) {
        window.ckComp[step.box]->setChecked(step.check);
        EXPECT_EQ(modVLTProperties::CompareFields(), step.fields) << step.box;
    }
    // A user's click runs the same handler.
    Click(window.ckComp[4]);
    EXPECT_EQ(modVLTProperties::CompareFields(), 1545);
}

TEST_F(frmVeltoTest, SmartCheckingSwitchesBetweenTheRecommendationAndTheComparisonBoxes) {
    LoadWindow();
    for (const bool smart : {false, true}) {
        window.ckQzDefault->setChecked(smart);
        EXPECT_EQ(modVLTProperties::SmartCheck(), smart);
        EXPECT_EQ(OwnEnabled(window.ckRecommend), smart);
        EXPECT_EQ(OwnEnabled(window.Frame2), smart);
        for (const QCheckBox* box : window.ckComp) {
            EXPECT_EQ(OwnEnabled(box), !smart);
        }
    }
}

TEST_F(frmVeltoTest, AllDuplicatesDisablesTheComparisonAndTheOtherButtonRestoresItPerSmartCheck) {
    for (const bool smart : {true, false}) {
        SCOPED_TRACE(smart ? "smart" : "plain");
        Store({{"SmartCheck", smart ? "Y" : "N"}});
        LoadWindow();
        Click(window.optAllDuplicate[0]);
        EXPECT_TRUE(modVLTProperties::AllDups());
        for (const QWidget* control : {static_cast<const QWidget*>(window.frCheckOptions),
                                       static_cast<const QWidget*>(window.ckQzDefault),
                                       static_cast<const QWidget*>(window.Frame2),
                                       static_cast<const QWidget*>(window.ckRecommend)}) {
            EXPECT_FALSE(OwnEnabled(control)) << control->objectName().toStdString();
        }
        for (const QCheckBox* box : window.ckComp) {
            EXPECT_FALSE(box->isEnabled());
        }

        Click(window.optAllDuplicate[1]);
        EXPECT_FALSE(modVLTProperties::AllDups());
        EXPECT_TRUE(OwnEnabled(window.frCheckOptions));
        EXPECT_TRUE(OwnEnabled(window.ckQzDefault));
        EXPECT_EQ(OwnEnabled(window.Frame2), smart);
        EXPECT_EQ(OwnEnabled(window.ckRecommend), smart);
        for (const QCheckBox* box : window.ckComp) {
            EXPECT_EQ(box->isEnabled(), !smart);
        }
        UnloadQuietly();
    }
}

TEST_F(frmVeltoTest, AllDuplicatesStoredOnShowsTheComparisonDisabledAtLoad) {
    Store({{"AllDups", "Y"}, {"SmartCheck", "N"}});
    LoadWindow();
    EXPECT_TRUE(window.optAllDuplicate[0]->isChecked());
    EXPECT_FALSE(OwnEnabled(window.frCheckOptions));
    for (const QCheckBox* box : window.ckComp) {
        EXPECT_FALSE(box->isEnabled());
    }
}

TEST_F(frmVeltoTest, InAutomaticModeAllDuplicatesCannotBeChosen) {
    Store({{"AutoScan", "Y"}});
    // Only the unattended run is automatic; an interactive start with AutoScan left stored
    // by an earlier -S run may choose every duplicate.
    LoadWindow();
    Click(window.optAllDuplicate[0]);
    EXPECT_TRUE(window.optAllDuplicate[0]->isChecked());
    Click(window.optAllDuplicate[1]);
    vlt::State().CommandLine = "-S";
    Click(window.optAllDuplicate[0]);
    EXPECT_TRUE(window.optAllDuplicate[1]->isChecked());
    EXPECT_FALSE(window.optAllDuplicate[0]->isChecked());
    EXPECT_FALSE(modVLTProperties::AllDups());
    EXPECT_TRUE(OwnEnabled(window.frCheckOptions));
    // The window reads automatic mode but never writes it.
    EXPECT_TRUE(modVLTProperties::Auto());
}

TEST_F(frmVeltoTest, TheBackupWarningAppearsAtEveryLoadWhileBackupIsOff) {
    struct Case {
        const char* backup;
        bool warned;
    } const cases[] = {{"N", true}, {"Y", false}, {"N", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.backup);
        Store({{"Backup", c.backup}});
        window.Load();
        const auto boxes = dialogs->MsgBoxes();
        ASSERT_EQ(boxes.size(), c.warned ? 1u : 0u);
        if (c.warned) {
            EXPECT_EQ(boxes[0].title, "Backup Recommended");
            EXPECT_EQ(boxes[0].style, dialogs::vbExclamation);
            EXPECT_TRUE(boxes[0].prompt.ends_with("HIGHLY recommended that you select \"Backup\"."))
                << boxes[0].prompt;
        }
        EXPECT_EQ(window.ckBackup->isChecked(), !c.warned);
        EXPECT_EQ(window.txBackupPath->isEnabled(), !c.warned);
        EXPECT_EQ(window.cmdGetBackup->isEnabled(), !c.warned);
        dialogs->Clear();
        UnloadQuietly();
    }
}

TEST_F(frmVeltoTest, TickingBackupAgainEnablesTheFolderAndUntickingWarns) {
    LoadWindow();
    Click(window.ckBackup);
    EXPECT_FALSE(modVLTProperties::Backup());
    EXPECT_EQ(Titles(), std::vector<std::string>{"Backup Recommended"});
    EXPECT_FALSE(window.txBackupPath->isEnabled());
    Click(window.ckBackup);
    EXPECT_TRUE(modVLTProperties::Backup());
    EXPECT_TRUE(window.txBackupPath->isEnabled());
    EXPECT_TRUE(window.cmdGetBackup->isEnabled());
    EXPECT_EQ(dialogs->MsgBoxes().size(), 1u);
}

TEST_F(frmVeltoTest, TheBackupFolderIsStoredAtEveryChangeAndPickedWithThePicker) {
    LoadWindow();
    QTest::keyClicks(window.txBackupPath, "X");
    const std::string typed = window.txBackupPath->text().toStdString();
    EXPECT_EQ(typed, std::string(coretest::kProgramDir) + "X");
    EXPECT_EQ(modVLTProperties::BackupPath(), typed + "\\");
    folders = {std::string("D:\\SAFE"), std::nullopt};
    QTest::mouseClick(window.cmdGetBackup, Qt::LeftButton);
    ASSERT_EQ(pickerRequests.size(), 1u);
    EXPECT_EQ(pickerRequests[0].title, "Set Backup Directory");
    EXPECT_EQ(window.txBackupPath->text().toStdString(), "D:\\SAFE");
    EXPECT_EQ(modVLTProperties::BackupPath(), "D:\\SAFE\\");
    EXPECT_EQ(pickerRequests[0].initDir, typed);
    // Cancelling the picker keeps the folder.
    QTest::mouseClick(window.cmdGetBackup, Qt::LeftButton);
    EXPECT_EQ(pickerRequests.back().initDir, "D:\\SAFE");
    EXPECT_EQ(window.txBackupPath->text().toStdString(), "D:\\SAFE");
}

TEST_F(frmVeltoTest, ExclusionsAreStoredWithTheirMarkAndTheNoteFollowsTheMarkedLines) {
    LoadWindow();
    folders = {std::string("C:\\TEMP"), std::string("C:\\DATA"), std::nullopt};
    dialogs->AnswerMsgBox(dialogs::vbYes);
    dialogs->AnswerMsgBox(dialogs::vbNo);
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(window.cmdAddExclusion, Qt::LeftButton);
    }
    ASSERT_EQ(pickerRequests.size(), 3u);
    EXPECT_EQ(pickerRequests[0].initDir, "c:");
    EXPECT_EQ(pickerRequests[0].title, "Select Directory to Exclude from Scan");
    EXPECT_EQ(Lines(), (std::vector<std::string>{"C:\\TEMP  ***", "C:\\DATA"}));
    EXPECT_EQ(Titles(),
              (std::vector<std::string>{"Exclude Subdirectories?", "Exclude Subdirectories?"}));
    EXPECT_FALSE(window.lbNote1->isHidden());
    EXPECT_TRUE(StoredExclusions().empty()) << "nothing is stored before a scan or the unload";

    window.SaveExclusions();
    EXPECT_EQ(StoredExclusions(), (std::vector<std::string>{"C:\\TEMP  ***", "C:\\DATA"}));
    const automation::Variant data = vlt::QzRegistry1().GetRegSetting(
        "C:\\TEMP  ***", automation::Variant(std::string("missing")), kExclusions);
    ASSERT_NE(data.get_if<std::string>(), nullptr);
    EXPECT_EQ(*data.get_if<std::string>(), "");

    EXPECT_FALSE(window.cmdRemoveExclusion->isEnabled());
    window.List1->setCurrentRow(1);
    EXPECT_TRUE(window.cmdRemoveExclusion->isEnabled());
    QTest::mouseClick(window.cmdRemoveExclusion, Qt::LeftButton);
    EXPECT_FALSE(window.lbNote1->isHidden()) << "a marked line is left";
    window.List1->setCurrentRow(0);
    QTest::mouseClick(window.cmdRemoveExclusion, Qt::LeftButton);
    EXPECT_TRUE(Lines().empty());
    EXPECT_TRUE(window.lbNote1->isHidden());
    EXPECT_FALSE(window.cmdRemoveExclusion->isEnabled());
}

TEST_F(frmVeltoTest, StoredExclusionsLoadInTheirOrderAndAgainAfterAReload) {
    LoadWindow();
    window.List1->addItem("C:\\B");
    window.List1->addItem("C:\\A  ***");
    UnloadQuietly();
    EXPECT_EQ(StoredExclusions(), (std::vector<std::string>{"C:\\B", "C:\\A  ***"}));
    LoadWindow();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"C:\\B", "C:\\A  ***"}));
    EXPECT_FALSE(window.lbNote1->isHidden());
}

TEST_F(frmVeltoTest, TheSystemFolderCannotBeExcluded) {
    struct Case {
        const char* folder;
        std::vector<int> answers;
        std::vector<std::string> titles;
        std::vector<std::string> lines;
    } const cases[] = {
        {"C:\\WINDOWS\\SYSTEM", {}, {"System folder cannot be excluded"}, {}},
        {"c:\\windows\\system", {}, {"System folder cannot be excluded"}, {}},
        // With its subfolders, a folder above the system folder would leave it out too.
        {"C:\\WINDOWS",
         {dialogs::vbYes},
         {"Exclude Subdirectories?", "System folder cannot be excluded"},
         {}},
        {"C:\\",
         {dialogs::vbYes},
         {"Exclude Subdirectories?", "System folder cannot be excluded"},
         {}},
        {"C:\\WINDOWS", {dialogs::vbNo}, {"Exclude Subdirectories?"}, {"C:\\WINDOWS"}},
        {"C:\\WINDOWS\\SYSTEM32",
         {dialogs::vbYes},
         {"Exclude Subdirectories?"},
         {"C:\\WINDOWS\\SYSTEM32  ***"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        LoadWindow();
        folders = {std::string(c.folder)};
        for (const int answer : c.answers) {
            dialogs->AnswerMsgBox(answer);
        }
        QTest::mouseClick(window.cmdAddExclusion, Qt::LeftButton);
        EXPECT_EQ(Titles(), c.titles);
        EXPECT_EQ(Lines(), c.lines);
        EXPECT_EQ(dialogs->Pending(), 0u);
        if (c.lines.empty()) {
            EXPECT_EQ(dialogs->MsgBoxes().back().prompt.substr(0, 51),
                      "You cannot exclude the system folder from the scan.");
        }
        window.List1->clear();
        UnloadQuietly();
    }
}

TEST_F(frmVeltoTest, AFolderAlreadyListedIsNotAddedTwice) {
    LoadWindow();
    folders = {std::string("C:\\TEMP"), std::string("c:\\temp")};
    dialogs->AnswerMsgBox(dialogs::vbNo);
    dialogs->AnswerMsgBox(dialogs::vbNo);
    QTest::mouseClick(window.cmdAddExclusion, Qt::LeftButton);
    QTest::mouseClick(window.cmdAddExclusion, Qt::LeftButton);
    EXPECT_EQ(Lines(), std::vector<std::string>{"C:\\TEMP"});
    EXPECT_EQ(window.List1->currentRow(), 0);
}

TEST_F(frmVeltoTest, AScanStoresTheChoicesAndHandsOverToTheReviewWindow) {
    machine.File("C:\\A\\LIB.DLL", "one").File("C:\\B\\LIB.DLL", "two");
    LoadWindow();
    window.Show();
    window.List1->addItem("C:\\TEMP");
    Click(window.optAllDuplicate[0]);
    QTest::mouseClick(window.cmdScan, Qt::LeftButton);
    EXPECT_TRUE(vlt::State().ScanSucceeded);
    EXPECT_EQ(review->shows, 1);
    EXPECT_FALSE(review->nodes.empty());
    EXPECT_EQ(StoredExclusions(), std::vector<std::string>{"C:\\TEMP"});
    EXPECT_TRUE(modVLTProperties::AllDups());
    EXPECT_FALSE(window.Loaded()) << "the review window takes over";
    EXPECT_FALSE(vlt::State().Closing);
}

TEST_F(frmVeltoTest, ExitStoresTheExclusionsAndEndsTheProgram) {
    LoadWindow();
    window.Show();
    window.List1->addItem("C:\\TEMP  ***");
    QTest::mouseClick(window.cmdExit, Qt::LeftButton);
    EXPECT_TRUE(vlt::State().Closing);
    EXPECT_EQ(vlt::State().QzRegistry1, nullptr);
    EXPECT_FALSE(window.Loaded());
    EXPECT_NE(testsupport::RegistryText(machine, std::string("HKEY_CURRENT_USER\\") + kExclusions)
                  .find("\"C:\\\\TEMP  ***\"="),
              std::string::npos);
}

TEST_F(frmVeltoTest, ClosingTheWindowEndsTheProgramUnlessAScanSucceeded) {
    for (const bool scanned : {true, false}) {
        SCOPED_TRACE(scanned ? "after a scan" : "without a scan");
        LoadWindow();
        window.Show();
        window.List1->addItem("C:\\KEEP");
        vlt::State().ScanSucceeded = scanned;
        window.close();
        EXPECT_FALSE(window.Loaded());
        EXPECT_EQ(vlt::State().Closing, !scanned);
    }
    EXPECT_NE(testsupport::RegistryText(machine, std::string("HKEY_CURRENT_USER\\") + kExclusions)
                  .find("\"C:\\\\KEEP\"="),
              std::string::npos);
}

TEST_F(frmVeltoTest, HelpOpensTheHelpThatIsThere) {
    const std::string folder = std::string(coretest::kProgramDir) + "\\";
    // Each case adds to the program's folder what the one before had.
    struct Case {
        const char* name;
        const char* adds;
        std::string opened;  // the Windows path handed to the desktop, "" for none
    } const cases[] = {
        {"nothing", nullptr, ""},
        {"HTML pages", "help\\index.htm", folder + "help\\index.htm"},
        {"compiled help first", "vlt.chm", folder + "vlt.chm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.adds != nullptr) {
            machine.File(folder + c.adds, "help");
        }
        dialogs->Clear();
        testsupport::RecordingLauncher launcher;
        window.Help_Click();
        const auto commands = launcher.Commands();
        if (c.opened.empty()) {
            EXPECT_TRUE(commands.empty());
            EXPECT_EQ(Titles(), std::vector<std::string>{"Help not found"});
        } else {
            ASSERT_EQ(commands.size(), 1u);
            EXPECT_EQ(commands[0].back(), machine.HostPath(c.opened).string());
            EXPECT_TRUE(Titles().empty());
        }
    }
}

// Help that nothing can show is said in a box that names the page, once; help that opens
// asks nothing.
TEST_F(frmVeltoTest, HelpThatCannotBeShownIsSaidByName) {
    const std::string pages = std::string(coretest::kProgramDir) + "\\help\\index.htm";
    machine.File(pages, "<html></html>");
    struct Case {
        const char* what;
        int launchError;
        std::optional<int> exitStatus;
        const char* why;  // "" when the help shows
    };
    const Case cases[] = {
        {"the opener is missing", ENOENT, std::nullopt, "cannot be started"},
        {"the opener finds no program", 0, 3, "no program on this desktop shows it"},
        {"the opener shows it", 0, 0, ""},
        {"the opener runs on", 0, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RecordingLauncher launcher;
        launcher.FailWith(c.launchError);
        launcher.EndWith(c.exitStatus);
        dialogs->Clear();
        window.Help_Click();
        if (*c.why == '\0') {
            EXPECT_TRUE(dialogs->MsgBoxes().empty());
            ASSERT_EQ(launcher.Commands().size(), 1u);
            EXPECT_EQ(launcher.Commands()[0].back(), machine.HostPath(pages).string());
            continue;
        }
        ASSERT_EQ(Titles(), std::vector<std::string>{"Help Not Shown"});
        const std::string prompt = dialogs->MsgBoxes()[0].prompt;
        EXPECT_TRUE(prompt.starts_with(pages + " could not be opened: ")) << prompt;
        EXPECT_NE(prompt.find(c.why), std::string::npos) << prompt;
        EXPECT_EQ(dialogs->MsgBoxes()[0].style, dialogs::vbExclamation);
    }
}

TEST_F(frmVeltoTest, RecyclingSendsOnlyTheBackupsToTheBin) {
    // The Recycle Bin is the desktop's Trash below $XDG_DATA_HOME: one of the test's own.
    const std::filesystem::path home = machine.HostPath("C:\\").parent_path().parent_path() / "xdg";
    std::optional<TrashHome> trash(home);
    Store({{"BackupPath", "C:\\BACK\\"}});
    machine.File("C:\\BACK\\C~~WINDOWS~A.DLL.backup", "a")
        .File("C:\\BACK\\C~~WINDOWS~A.DLL.backup.1", "older a")
        .File("C:\\BACK\\notes.txt", "mine");
    LoadWindow();
    dialogs->AnswerMsgBox(dialogs::vbYes);
    QTest::mouseClick(window.cmdRecycle, Qt::LeftButton);
    trash.reset();
    ASSERT_EQ(dialogs->MsgBoxes().size(), 1u) << "the shell asks once";
    EXPECT_NE(dialogs->MsgBoxes()[0].prompt.find("2 items"), std::string::npos)
        << dialogs->MsgBoxes()[0].prompt;
    EXPECT_FALSE(machine.Exists("C:\\BACK\\C~~WINDOWS~A.DLL.backup"));
    EXPECT_FALSE(machine.Exists("C:\\BACK\\C~~WINDOWS~A.DLL.backup.1"));
    EXPECT_TRUE(machine.Exists("C:\\BACK\\notes.txt"));
    EXPECT_TRUE(std::filesystem::exists(home / "Trash" / "files" / "C~~WINDOWS~A.DLL.backup"));
}

// A backup that the next start will put back stays where it is; the others go to the bin.
TEST_F(frmVeltoTest, RecyclingKeepsTheBackupsThatAreToBeRestored) {
    const std::filesystem::path home = machine.HostPath("C:\\").parent_path().parent_path() / "xdg";
    std::optional<TrashHome> trash(home);
    Store({{"BackupPath", "C:\\BACK\\"}});
    machine.File("C:\\BACK\\C~~WINDOWS~A.DLL.backup", "a")
        .File("C:\\BACK\\C~~WINDOWS~B.DLL.backup", "b");
    LoadWindow();
    vlt::QzFile1().MoveOnRestart("C:\\BACK\\C~~WINDOWS~A.DLL.backup", "C:\\WINDOWS\\A.DLL");
    dialogs->AnswerMsgBox(dialogs::vbOK);
    dialogs->AnswerMsgBox(dialogs::vbYes);
    QTest::mouseClick(window.cmdRecycle, Qt::LeftButton);
    trash.reset();
    ASSERT_EQ(dialogs->MsgBoxes().size(), 2u);
    EXPECT_EQ(dialogs->MsgBoxes()[0].title, "Backups Kept");
    EXPECT_EQ(dialogs->MsgBoxes()[0].prompt,
              "These backups are to be restored at the next start of Windows and stay where "
              "they are:\r\nC:\\BACK\\C~~WINDOWS~A.DLL.backup\r\n");
    EXPECT_TRUE(machine.Exists("C:\\BACK\\C~~WINDOWS~A.DLL.backup"));
    EXPECT_FALSE(machine.Exists("C:\\BACK\\C~~WINDOWS~B.DLL.backup"));
    EXPECT_TRUE(std::filesystem::exists(home / "Trash" / "files" / "C~~WINDOWS~B.DLL.backup"));
}

// A shortened backup's record goes to the bin with it, and stays while a backup it names is
// to be restored: a backup without its record can never be put back.
TEST_F(frmVeltoTest, RecyclingTakesAShortenedBackupsRecordAlongUnlessItIsStillNeeded) {
    const std::filesystem::path home = machine.HostPath("C:\\").parent_path().parent_path() / "xdg";
    std::optional<TrashHome> trash(home);
    Store({{"BackupPath", "C:\\BACK\\"}});
    const std::string binned = vlt::BackupFileName(testsupport::LongWindowsPath(259, "A.DLL"));
    const std::string staying = vlt::BackupFileName(testsupport::LongWindowsPath(259, "B.DLL"));
    for (const std::string& name : {binned, staying}) {
        machine.File("C:\\BACK\\" + name, "backup")
            .File("C:\\BACK\\" + vlt::BackupRecordName(name), "path\r\n");
    }
    LoadWindow();
    vlt::QzFile1().MoveOnRestart("C:\\BACK\\" + staying, "C:\\WINDOWS\\B.DLL");
    dialogs->AnswerMsgBox(dialogs::vbOK);
    dialogs->AnswerMsgBox(dialogs::vbYes);
    QTest::mouseClick(window.cmdRecycle, Qt::LeftButton);
    trash.reset();
    EXPECT_FALSE(machine.Exists("C:\\BACK\\" + binned));
    EXPECT_FALSE(machine.Exists("C:\\BACK\\" + vlt::BackupRecordName(binned)));
    EXPECT_TRUE(machine.Exists("C:\\BACK\\" + staying));
    EXPECT_TRUE(machine.Exists("C:\\BACK\\" + vlt::BackupRecordName(staying)));
}

TEST_F(frmVeltoTest, ALicenceThatCannotBeReadIsExplainedAndTheProgramGoesOn) {
    LoadWindow();
    window.mnuLicense->trigger();
    ASSERT_EQ(dialogs->MsgBoxes().size(), 1u);
    EXPECT_TRUE(
        dialogs->MsgBoxes()[0].prompt.starts_with("The licence agreement cannot be shown:\r\n"))
        << dialogs->MsgBoxes()[0].prompt;
    EXPECT_EQ(dialogs->MsgBoxes()[0].style, dialogs::vbExclamation);
    EXPECT_FALSE(vlt::State().Abended);
}

// Counts how often a window was raised above the others.
class RaiseCounter : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ZOrderChange) {
            ++raised;
        }
        return QObject::eventFilter(watched, event);
    }
    int raised = 0;
};

TEST_F(frmVeltoTest, ActivatingTheWindowDuringAScanBringsTheProgressWindowToTheFront) {
    struct Case {
        const char* name;
        bool scanning;
        bool progressShown;
        bool raised;
    } const cases[] = {
        {"scanning", true, true, true},
        {"no scan", false, true, false},
        // Activation must not load a progress window that is not there.
        {"scanning, progress window closed", true, false, false},
    };
    const auto standBy = std::make_shared<frmStandBy>();
    vlt::State().windows.standBy = standBy;
    RaiseCounter counter;
    standBy->installEventFilter(&counter);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoadWindow();
        vlt::State().ScanSucceeded = c.scanning;
        if (c.progressShown) {
            standBy->Show();
        }
        counter.raised = 0;
        window.Show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        EXPECT_EQ(counter.raised > 0, c.raised);
        EXPECT_EQ(standBy->Loaded(), c.progressShown);
        standBy->Unload();
        UnloadQuietly();
    }

    // Without a progress window at all the error is passed over.
    vlt::State().windows.standBy.reset();
    LoadWindow();
    vlt::State().ScanSucceeded = true;
    window.Show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_FALSE(vlt::State().Abended);
    EXPECT_TRUE(dialogs->MsgBoxes().empty());
    UnloadQuietly();
}

class UpdateCheckTest : public frmVeltoTest {
  protected:
    // The program's PAD file, published on the local server as `published`.
    void Publish(const std::string& published) {
        const std::string pad = std::string(coretest::kProgramDir) + "\\pad_file.xml";
        machine.File(pad, PadText("1.0.12"));
        server.Serve("/velto/pad_file.xml", PadText(published), "text/xml");
    }
    // The program's own PAD file with every address on the local server.
    std::string PadText(const std::string& version) const {
        std::ifstream in(std::string(VELTO_SOURCE_DIR) + "/resources/pad_file.xml",
                         std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (const char* host :
             {"https://www.korvane.example", "https://downloads.korvane.example",
              "https://mirror1.korvane.example", "https://mirror2.korvane.example"}) {
            for (auto at = text.find(host); at != std::string::npos; at = text.find(host)) {
                text.replace(at, std::string(host).size(), server.Url(""));
            }
        }
        const std::string tag = "<Program_Version>1.0.12</Program_Version>";
        text.replace(text.find(tag), tag.size(),
                     "<Program_Version>" + version + "</Program_Version>");
        return text;
    }

    testsupport::LocalHttpServer server;
};

TEST_F(UpdateCheckTest, NoNewerVersionSaysSoAndTheProgressWindowComesAndGoes) {
    Publish("1.0.12");
    window.mnuUpdateCheck_Click();
    EXPECT_EQ(progress->title, "Update Check");
    EXPECT_EQ(progress->items, std::vector<std::string>{"Checking for Upgrade"});
    EXPECT_FALSE(progress->loaded);
    EXPECT_EQ(Titles(), std::vector<std::string>{"Update Check"});
    EXPECT_EQ(dialogs->MsgBoxes()[0].prompt, "No update available");
    EXPECT_EQ(vlt::State().UpdateCheck, nullptr);
    EXPECT_FALSE(server.Requests().empty());
}

TEST_F(UpdateCheckTest, AnAcceptedUpdateClosesTheProgramSoTheInstallerCanRun) {
    const std::string folder = std::string(coretest::kProgramDir) + "\\";
    Publish("1.0.13");
    // The published PAD file announces an installer of 1,048,576 bytes.
    const std::string installer(1048576, 'I');
    server.Serve("/velto/download/velto-1.0.12.tar.gz", installer);
    testsupport::RecordingLauncher launcher;
    LoadWindow();
    window.Show();
    window.List1->addItem("C:\\TEMP");
    dialogs->AnswerMsgBox(dialogs::vbYes);
    window.mnuUpdateCheck_Click();

    EXPECT_EQ(Titles(), (std::vector<std::string>{"Update Available", "Velto", "Closing"}));
    EXPECT_EQ(dialogs->MsgBoxes().back().prompt,
              "Velto will now close so that the update can install.");
    EXPECT_EQ(dialogs->MsgBoxes().back().style, dialogs::vbInformation | dialogs::vbOKOnly);
    EXPECT_EQ(machine.Read(folder + "Downloaded velto-1.0.12.tar.gz"), installer);
    const auto commands = launcher.Commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].back(),
              machine.HostPath(folder + "Downloaded velto-1.0.12.tar.gz").string());
    EXPECT_EQ(vlt::State().UpdateCheck, nullptr);
    EXPECT_FALSE(progress->loaded);
    // The window is unloaded, which stores the exclusions and ends the program.
    EXPECT_FALSE(window.Loaded());
    EXPECT_TRUE(vlt::State().Closing);
    EXPECT_FALSE(vlt::State().Abended);
    EXPECT_NE(testsupport::RegistryText(machine, std::string("HKEY_CURRENT_USER\\") + kExclusions)
                  .find("\"C:\\\\TEMP\"="),
              std::string::npos);
}

TEST_F(UpdateCheckTest, AnUnreachableServerIsReportedAndTheProgramGoesOn) {
    std::string pad = PadText("1.0.12");
    const std::string live = server.Url("");
    const std::string dead =
        "http://127.0.0.1:" + std::to_string(testsupport::LocalHttpServer::ClosedPort());
    for (auto at = pad.find(live); at != std::string::npos; at = pad.find(live)) {
        pad.replace(at, live.size(), dead);
    }
    machine.File(std::string(coretest::kProgramDir) + "\\pad_file.xml", pad);
    window.mnuUpdateCheck_Click();
    EXPECT_FALSE(progress->loaded);
    EXPECT_EQ(vlt::State().UpdateCheck, nullptr);
    ASSERT_FALSE(dialogs->MsgBoxes().empty());
    EXPECT_EQ(dialogs->MsgBoxes().back().title, "Update Check");
    EXPECT_FALSE(vlt::State().Closing);
    EXPECT_FALSE(vlt::State().Abended);
    EXPECT_EQ(machine.Read(std::string(coretest::kProgramDir) + "\\pad_file.xml"), pad)
        << "the program's own PAD file is kept";
}

TEST_F(UpdateCheckTest, ADeclinedUpdateIsNoUpdate) {
    Publish("1.0.13");
    dialogs->AnswerMsgBox(dialogs::vbNo);
    window.mnuUpdateCheck_Click();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Update Available", "Update Check"}));
    EXPECT_FALSE(progress->loaded);
    EXPECT_FALSE(vlt::State().Closing);
}

}  // namespace
