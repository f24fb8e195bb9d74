// The Recycle Bin as the desktop's Trash: the freedesktop.org layout, confirmations through the
// dialogs service, and emptying only what the machine put there.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/automation/Text.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/win32/shell32/Trash.h"
#include "tests/support/FileText.h"
#include "tests/support/LongPaths.h"
#include "tests/support/MachineBuilder.h"

namespace {

using testsupport::Slurp;

using namespace std::string_literals;

// A machine, a Trash of its own ($XDG_DATA_HOME pointed elsewhere) and scripted dialogs.
class TrashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* before = std::getenv("XDG_DATA_HOME");
        savedXdg_ = before != nullptr ? std::optional<std::string>(before) : std::nullopt;
        UseDataHome(machine_.folder() / "xdg");
        dialogs_ = std::make_shared<dialogs::ScriptedDialogs>();
        scoped_ = std::make_unique<dialogs::ScopedBackend>(dialogs_);
    }
    void TearDown() override {
        scoped_.reset();
        if (savedXdg_) {
            ::setenv("XDG_DATA_HOME", savedXdg_->c_str(), 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
    }

    void UseDataHome(const std::filesystem::path& folder) {
        ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
        trash_ = folder / "Trash";
    }

    int Delete(const std::string& from, win32::WORD flags, bool* aborted = nullptr) {
        win32::SHFILEOPSTRUCTA op;
        op.wFunc = win32::FO_DELETE;
        op.pFrom = from;
        op.fFlags = flags;
        const int result = win32::SHFileOperationA(op);
        if (aborted != nullptr) {
            *aborted = op.fAnyOperationsAborted;
        }
        return result;
    }

    std::vector<std::string> TrashedNames() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(trash_ / "files", ec)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    testsupport::MachineBuilder machine_;
    std::shared_ptr<dialogs::ScriptedDialogs> dialogs_;
    std::unique_ptr<dialogs::ScopedBackend> scoped_;
    std::filesystem::path trash_;
    std::optional<std::string> savedXdg_;
};

TEST_F(TrashTest, RecycledFileFollowsTheTrashLayout) {
    machine_.File("C:\\BACKUP\\My File \xE2\x82\xAC.backup", "kept");
    const auto original = machine_.HostPath("C:\\BACKUP\\My File \xE2\x82\xAC.backup");
    dialogs_->AnswerMsgBox(dialogs::vbYes);

    EXPECT_EQ(Delete("C:\\BACKUP\\My File \xE2\x82\xAC.backup\0\0"s, win32::FOF_ALLOWUNDO), 0);

    const auto boxes = dialogs_->MsgBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Confirm File Delete");
    EXPECT_EQ(boxes[0].prompt,
              "Are you sure you want to send 'My File \xE2\x82\xAC.backup' to the Recycle Bin?");
    EXPECT_EQ(boxes[0].style, dialogs::vbYesNo | dialogs::vbQuestion);

    EXPECT_FALSE(std::filesystem::exists(original));
    const std::string name = "My File \xE2\x82\xAC.backup";
    EXPECT_EQ(Slurp(trash_ / "files" / name), "kept");
    const std::string info = Slurp(trash_ / "info" / (name + ".trashinfo"));
    std::string escaped;
    for (const char c : original.string()) {
        if (c == ' ') {
            escaped += "%20";
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            escaped += hex;
        } else {
            escaped += c;
        }
    }
    EXPECT_TRUE(std::regex_match(
        info,
        std::regex("\\[Trash "
                   "Info\\]\nPath=(.*)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n")))
        << info;
    EXPECT_NE(info.find("Path=" + escaped + "\n"), std::string::npos) << info;
}

TEST_F(TrashTest, ASecondItemOfTheSameNameGetsItsOwnName) {
    machine_.File("C:\\A\\X.DLL", "1").File("C:\\B\\X.DLL", "2").File("C:\\C\\X.DLL", "3");
    for (const char* path : {"C:\\A\\X.DLL", "C:\\B\\X.DLL", "C:\\C\\X.DLL"}) {
        EXPECT_EQ(Delete(path, win32::FOF_ALLOWUNDO | win32::FOF_NOCONFIRMATION), 0);
    }
    EXPECT_EQ(TrashedNames(), (std::vector<std::string>{"X.2.DLL", "X.3.DLL", "X.DLL"}));
    EXPECT_EQ(Slurp(trash_ / "files" / "X.2.DLL"), "2");
    EXPECT_TRUE(std::filesystem::exists(trash_ / "info" / "X.3.DLL.trashinfo"));
    EXPECT_TRUE(dialogs_->MsgBoxes().empty());
}

// A name too long to take ".trashinfo" for its info file is cut, at a character, before its
// extension; the info file names the whole path, and a second item still gets its own name.
TEST_F(TrashTest, ANameTooLongForItsInfoFileIsCutBeforeItsExtension) {
    const std::string name = testsupport::MixedText(150) + ".backup";
    ASSERT_GT(name.size() + 10, 255u);
    machine_.File("C:\\A\\" + name, "1").File("C:\\B\\" + name, "2");
    for (const char* folder : {"C:\\A\\", "C:\\B\\"}) {
        EXPECT_EQ(Delete(folder + name, win32::FOF_ALLOWUNDO | win32::FOF_NOCONFIRMATION), 0);
    }
    const std::vector<std::string> names = TrashedNames();
    ASSERT_EQ(names.size(), 2u);
    for (const std::string& trashed : names) {
        EXPECT_LE(trashed.size() + 10, 255u);
        EXPECT_TRUE(automation::IsValidUtf8(trashed)) << trashed;
        EXPECT_TRUE(trashed.ends_with(".backup")) << trashed;
        EXPECT_TRUE(name.starts_with(trashed.substr(0, 100))) << trashed;
        EXPECT_NE(Slurp(trash_ / "info" / (trashed + ".trashinfo")).find("Path="),
                  std::string::npos);
    }
    EXPECT_FALSE(machine_.Exists("C:\\A\\" + name));
    EXPECT_FALSE(machine_.Exists("C:\\B\\" + name));
}

TEST_F(TrashTest, PatternsTakeEveryMatchOnce) {
    machine_.File("C:\\BACKUP\\C~~A.DLL.backup", "a")
        .File("C:\\BACKUP\\C~~B.OCX.backup", "b")
        .File("C:\\BACKUP\\.hidden", "h")
        .File("C:\\BACKUP\\SUB\\inner.txt", "i")
        .File("C:\\KEEP.TXT", "k");
    dialogs_->AnswerMsgBox(dialogs::vbYes);
    EXPECT_EQ(Delete("C:\\BACKUP\\*.*\0\0"s, win32::FOF_ALLOWUNDO | win32::FOF_FILESONLY), 0);
    const auto boxes = dialogs_->MsgBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Confirm Multiple File Delete");
    EXPECT_EQ(boxes[0].prompt, "Are you sure you want to send these 3 items to the Recycle Bin?");
    EXPECT_EQ(TrashedNames(),
              (std::vector<std::string>{".hidden", "C~~A.DLL.backup", "C~~B.OCX.backup"}));
    EXPECT_TRUE(machine_.Exists("C:\\BACKUP\\SUB\\inner.txt"));

    // Without FOF_FILESONLY the folder goes too, with its contents.
    EXPECT_EQ(Delete("C:\\BACKUP\\*.*", win32::FOF_ALLOWUNDO | win32::FOF_NOCONFIRMATION), 0);
    EXPECT_FALSE(machine_.Exists("C:\\BACKUP\\SUB"));
    EXPECT_EQ(Slurp(trash_ / "files" / "SUB" / "inner.txt"), "i");
    EXPECT_TRUE(machine_.Exists("C:\\KEEP.TXT"));

    // Nothing left to match: nothing to do, nothing shown.
    EXPECT_EQ(Delete("C:\\BACKUP\\*.*", win32::FOF_ALLOWUNDO), 0);
    EXPECT_EQ(dialogs_->MsgBoxes().size(), 1u);
}

TEST_F(TrashTest, NoMeansNothingHappens) {
    machine_.File("C:\\A.DLL", "a").File("C:\\B.DLL", "b");
    dialogs_->AnswerMsgBox(dialogs::vbNo);
    bool aborted = false;
    EXPECT_EQ(Delete("C:\\A.DLL\0C:\\B.DLL\0\0"s, win32::FOF_ALLOWUNDO, &aborted),
              static_cast<int>(win32::ERROR_CANCELLED));
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(machine_.Exists("C:\\A.DLL"));
    EXPECT_TRUE(machine_.Exists("C:\\B.DLL"));
    EXPECT_TRUE(TrashedNames().empty());
    EXPECT_EQ(dialogs_->MsgBoxes().at(0).prompt,
              "Are you sure you want to send these 2 items to the Recycle Bin?");
}

TEST_F(TrashTest, WithoutUndoItIsDeletedForGood) {
    machine_.File("C:\\OLD\\SUB\\F.TXT", "f");
    dialogs_->AnswerMsgBox(dialogs::vbYes);
    EXPECT_EQ(Delete("C:\\OLD", 0), 0);
    EXPECT_EQ(dialogs_->MsgBoxes().at(0).title, "Confirm Folder Delete");
    EXPECT_EQ(dialogs_->MsgBoxes().at(0).prompt,
              "Are you sure you want to remove the folder 'OLD' and all its contents?");
    EXPECT_FALSE(machine_.Exists("C:\\OLD"));
    EXPECT_TRUE(TrashedNames().empty());
}

struct RefusalCase {
    const char* name;
    std::string from;
    win32::UINT function;
    win32::WORD flags;
    int result;
    std::size_t boxes;
};

TEST_F(TrashTest, Refusals) {
    const RefusalCase cases[] = {
        {"missing file, error shown", "C:\\GONE.DLL", win32::FO_DELETE, win32::FOF_ALLOWUNDO, 2, 1},
        {"missing file, quietly", "C:\\GONE.DLL", win32::FO_DELETE,
         win32::FOF_ALLOWUNDO | win32::FOF_NOERRORUI, 2, 0},
        {"a drive's root", "C:\\", win32::FO_DELETE, win32::FOF_NOERRORUI, 5, 0},
        {"missing drive", "Q:\\X", win32::FO_DELETE, win32::FOF_NOERRORUI, 3, 0},
        {"copying is not the shell's job here", "C:\\WINDOWS", win32::FO_COPY, 0, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs_->Clear();
        win32::SHFILEOPSTRUCTA op;
        op.wFunc = c.function;
        op.pFrom = c.from;
        op.fFlags = c.flags;
        EXPECT_EQ(win32::SHFileOperationA(op), c.result);
        EXPECT_EQ(dialogs_->MsgBoxes().size(), c.boxes);
    }
    EXPECT_EQ(dialogs_->MsgBoxes().size(), 0u);
    EXPECT_TRUE(machine_.Exists("C:\\WINDOWS"));
}

TEST_F(TrashTest, AcrossFileSystemsTheItemIsCopiedWhole) {
    std::error_code ec;
    const std::filesystem::path shm = "/dev/shm";
    struct stat a {};
    struct stat b {};
    if (::stat(shm.c_str(), &a) != 0 || ::stat(machine_.folder().c_str(), &b) != 0 ||
        a.st_dev == b.st_dev) {
        GTEST_SKIP() << "no second file system to put the Trash on";
    }
    const auto home = shm / ("velto-trash-" + std::to_string(::getpid()));
    UseDataHome(home);
    machine_.File("C:\\OLD\\SUB\\F.TXT", "f").File("C:\\OLD\\G.TXT", "g");
    EXPECT_EQ(Delete("C:\\OLD", win32::FOF_ALLOWUNDO | win32::FOF_NOCONFIRMATION), 0);
    EXPECT_FALSE(machine_.Exists("C:\\OLD"));
    EXPECT_EQ(Slurp(trash_ / "files" / "OLD" / "SUB" / "F.TXT"), "f");
    EXPECT_EQ(Slurp(trash_ / "files" / "OLD" / "G.TXT"), "g");
    std::filesystem::remove_all(home, ec);
}

class EmptyBinTest : public TrashTest {
  protected:
    void SetUp() override {
        TrashTest::SetUp();
        machine_.Drive('D', machine::DriveType::Fixed);
        machine_.File("C:\\A.DLL", "a").File("C:\\B.DLL", "b").File("D:\\D.DLL", "d");
        for (const char* path : {"C:\\A.DLL", "C:\\B.DLL", "D:\\D.DLL"}) {
            EXPECT_EQ(Delete(path, win32::FOF_ALLOWUNDO | win32::FOF_NOCONFIRMATION), 0);
        }
        // Something the user trashed elsewhere, which is not the machine's.
        std::filesystem::create_directories(trash_ / "files");
        std::ofstream(trash_ / "files" / "photo.jpg") << "mine";
        std::ofstream(trash_ / "info" / "photo.jpg.trashinfo")
            << "[Trash Info]\nPath=/home/user/photo.jpg\nDeletionDate=2024-01-01T00:00:00\n";
    }
};

TEST_F(EmptyBinTest, OnlyTheMachinesEntriesOfTheDriveGo) {
    EXPECT_EQ(win32::SHEmptyRecycleBinA(0, "D:\\", win32::SHERB_NOCONFIRMATION), win32::S_OK);
    EXPECT_EQ(TrashedNames(), (std::vector<std::string>{"A.DLL", "B.DLL", "photo.jpg"}));
    EXPECT_FALSE(std::filesystem::exists(trash_ / "info" / "D.DLL.trashinfo"));

    dialogs_->AnswerMsgBox(dialogs::vbNo);
    EXPECT_EQ(win32::SHEmptyRecycleBinA(0, "", 0),
              win32::HRESULT_FROM_WIN32(win32::ERROR_CANCELLED));
    EXPECT_EQ(dialogs_->MsgBoxes().back().prompt, "Are you sure you want to delete these 2 items?");
    EXPECT_EQ(TrashedNames().size(), 3u);

    dialogs_->AnswerMsgBox(dialogs::vbYes);
    EXPECT_EQ(win32::SHEmptyRecycleBinA(0, "", 0), win32::S_OK);
    EXPECT_EQ(TrashedNames(), std::vector<std::string>{"photo.jpg"});
    EXPECT_TRUE(std::filesystem::exists(trash_ / "info" / "photo.jpg.trashinfo"));

    // Nothing of the machine's left: no question asked.
    const auto shown = dialogs_->MsgBoxes().size();
    EXPECT_EQ(win32::SHEmptyRecycleBinA(0, "", 0), win32::S_OK);
    EXPECT_EQ(dialogs_->MsgBoxes().size(), shown);
}

TEST_F(EmptyBinTest, ADriveReachedThroughALinkIsStillTheMachines) {
    const auto real = machine_.folder() / "real-e";
    std::filesystem::create_directories(real);
    std::filesystem::create_directory_symlink(real, machine_.folder() / "link-e");
    machine_.DriveAt('E', machine::DriveType::Fixed, machine_.folder() / "link-e");
    machine_.File("E:\\E.DLL", "e");
    ASSERT_EQ(Delete("E:\\E.DLL", win32::FOF_ALLOWUNDO | win32::FOF_NOCONFIRMATION), 0);
    EXPECT_EQ(win32::SHEmptyRecycleBinA(0, "E:\\", win32::SHERB_NOCONFIRMATION), win32::S_OK);
    EXPECT_EQ(TrashedNames(), (std::vector<std::string>{"A.DLL", "B.DLL", "D.DLL", "photo.jpg"}));
}

TEST_F(EmptyBinTest, ARootThatIsNotADriveIsRefused) {
    for (const char* root : {"Q:\\", "C:\\WINDOWS", "nonsense"}) {
        SCOPED_TRACE(root);
        EXPECT_EQ(win32::SHEmptyRecycleBinA(0, root, win32::SHERB_NOCONFIRMATION),
                  win32::E_INVALIDARG);
    }
    EXPECT_EQ(TrashedNames().size(), 4u);
}

}  // namespace
