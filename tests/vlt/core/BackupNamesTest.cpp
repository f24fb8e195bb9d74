// Backup names: how they are made from a path, shortened where a path is too long for one
// host name, and how every reader reads them back.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <string>

#include "platform/automation/Text.h"
#include "tests/support/LongPaths.h"
#include "vlt/core/BackupNames.h"

namespace {

using testsupport::LongWindowsPath;

TEST(BackupNames, AClassicNameReadsAsThePathThatFitsTheMachine) {
    struct Case {
        const char* name;
        std::set<std::string> folders;
        std::set<std::string> files;
        const char* path;
        const char* alsoFits = "";
    } const cases[] = {
        {"C~~WIN~SYS~A.DLL.backup", {"C:\\", "C:\\WIN", "C:\\WIN\\SYS"}, {}, "C:\\WIN\\SYS\\A.DLL"},
        {"C~~A.DLL.backup", {}, {}, "C:\\A.DLL"},
        {"C~~A.DLL.BACKUP", {}, {}, "C:\\A.DLL"},
        // A short name's "~" is read as part of the folder that exists.
        {"C~~PROGRA~1~APP~X.DLL.backup",
         {"C:\\", "C:\\PROGRA~1", "C:\\PROGRA~1\\APP"},
         {},
         "C:\\PROGRA~1\\APP\\X.DLL"},
        {"C~~WIN~SYS~MSVBVM~1.DLL.backup",
         {"C:\\", "C:\\WIN", "C:\\WIN\\SYS"},
         {},
         "C:\\WIN\\SYS\\MSVBVM~1.DLL"},
        {"C~~X~~Y.DLL.backup", {"C:\\", "C:\\X~"}, {}, "C:\\X~\\Y.DLL"},
        // A "~" kept in a file name that is not there must make a short name: otherwise the
        // name is made up, and every "~" is a separator even where that folder is gone.
        {"C~~GONE~C.DLL.backup", {"C:\\"}, {}, "C:\\GONE\\C.DLL"},
        {"C~~WIN~SYS~A.DLL.backup", {"C:\\"}, {}, "C:\\WIN\\SYS\\A.DLL"},
        {"C~~WIN~SYS~A.DLL.backup", {"C:\\", "C:\\WIN"}, {}, "C:\\WIN\\SYS\\A.DLL"},
        {"C~~Program Files~Gone App~GONE.DLL.backup",
         {"C:\\", "C:\\Program Files"},
         {},
         "C:\\Program Files\\Gone App\\GONE.DLL"},
        // ... unless that file really exists.
        {"C~~Program Files~Gone App~GONE.DLL.backup",
         {"C:\\", "C:\\Program Files"},
         {"C:\\Program Files\\Gone App~GONE.DLL"},
         "C:\\Program Files\\Gone App~GONE.DLL"},
        // Both folders exist: the reading with more separators, unless the other's file exists.
        // Then the file the name also fits may be the one backed up and removed since: the
        // window restores neither over the other.
        {"C~~A~B~X.DLL.backup", {"C:\\", "C:\\A", "C:\\A\\B", "C:\\A~B"}, {}, "C:\\A\\B\\X.DLL"},
        {"C~~A~B~X.DLL.backup",
         {"C:\\", "C:\\A", "C:\\A\\B", "C:\\A~B"},
         {"C:\\A~B\\X.DLL"},
         "C:\\A~B\\X.DLL",
         "C:\\A\\B\\X.DLL"},
        {"C~~A~B~X.DLL.backup",
         {"C:\\", "C:\\A", "C:\\A\\B", "C:\\A~B"},
         {"C:\\A~B\\X.DLL", "C:\\A\\B\\X.DLL"},
         "C:\\A\\B\\X.DLL",
         "C:\\A~B\\X.DLL"},
        // Not even the drive exists (another machine's backup): every "~" a separator.
        {"D~~OLD~1~Z.OCX.backup", {}, {}, "D:\\OLD\\1\\Z.OCX"},
        // Older backups kept aside go back where the plain name's backup goes.
        {"C~~A.DLL.backup.1", {}, {}, "C:\\A.DLL"},
        {"C~~WIN~A.DLL.BACKUP.12", {"C:\\", "C:\\WIN"}, {}, "C:\\WIN\\A.DLL"},
        {"C~~A.DLL.backup.x", {}, {}, ""},
        {"C~~A.DLL.backup.", {}, {}, ""},
        {"C~~A.DLL.1", {}, {}, ""},
        // Names this program never makes.
        {"x.backup", {}, {}, ""},
        {"odd.backup", {}, {}, ""},
        {"C~X.DLL.backup", {}, {}, ""},
        {"1~~A.DLL.backup", {}, {}, ""},
        {"C~~.backup", {}, {}, ""},
        {"C~~A~.backup", {"C:\\A"}, {}, ""},
        {"C~~A.DLL", {}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const vlt::BackupFolderView view{
            [&](const std::string& path) { return c.folders.count(path) > 0; },
            [&](const std::string& path) { return c.files.count(path) > 0; },
            [](const std::string&) { return std::optional<std::string>(); }};
        const vlt::BackupReading reading = vlt::ReadBackupName(c.name, view);
        EXPECT_EQ(reading.path, c.path);
        EXPECT_EQ(reading.alsoFits, c.alsoFits);
        EXPECT_EQ(reading.problem, "");
    }
}

// A view of a machine with no folders whose backup folder holds the given files.
vlt::BackupFolderView FolderHolding(const std::map<std::string, std::string>& files) {
    return {[](const std::string&) { return false; }, [](const std::string&) { return false; },
            [&files](const std::string& name) -> std::optional<std::string> {
                const auto it = files.find(name);
                return it == files.end() ? std::nullopt : std::optional<std::string>(it->second);
            }};
}

// Every path Windows takes gets a name the host holds (with room for an older backup's ".N"),
// kept as it always was where it fits; a shortened name still names the file and reads back,
// through its record alone, as exactly the path.
TEST(BackupNames, EveryPathWindowsTakesGetsANameTheHostHoldsAndReadsBack) {
    struct Case {
        std::string path;
        bool shortened;
    } const cases[] = {
        {"C:\\WINDOWS\\SYSTEM\\FOO.DLL", false},
        {"C:\\" + std::string(232, 'A') + "\\X.DLL", false},  // 241 characters: as before
        {"C:\\" + std::string(234, 'A') + "\\X.DLL", true},   // 243: ".backup.99999" would not fit
        {LongWindowsPath(254), true},
        {LongWindowsPath(259), true},
        {LongWindowsPath(259, testsupport::MixedText(200) + ".DLL"), true},
        {"D:\\" + std::string(120, 'B') + "\\" + std::string(130, 'C') + ".OCX", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string name = vlt::BackupFileName(c.path);
        const std::string record = vlt::BackupRecordName(name);
        EXPECT_LE(name.size(), 249u);
        EXPECT_TRUE(automation::IsValidUtf8(name));
        EXPECT_TRUE(name.ends_with(".backup"));
        EXPECT_EQ(name.substr(0, 3), c.path.substr(0, 1) + "~~");
        EXPECT_EQ(!record.empty(), c.shortened);
        if (!c.shortened) {
            EXPECT_EQ(vlt::ReadBackupName(name, FolderHolding({})).path, c.path);
            continue;
        }
        const std::string file = c.path.substr(c.path.rfind('\\') + 1);
        EXPECT_NE(name.find("\xE2\x80\xA6~" + file.substr(0, 100)), std::string::npos) << name;
        EXPECT_EQ(record, name.substr(0, name.size() - 7) + ".path");
        const std::map<std::string, std::string> folder = {{record, c.path + "\r\n"}};
        for (const std::string& kept : {name, name + ".1", name + ".27"}) {
            const vlt::BackupReading reading = vlt::ReadBackupName(kept, FolderHolding(folder));
            EXPECT_EQ(reading.path, c.path) << kept;
            EXPECT_TRUE(reading.certain()) << reading.problem;
        }
    }
    // Two paths that shorten alike but for the file's folder still get names of their own.
    const std::string a = LongWindowsPath(259, "A.DLL");
    std::string b = a;
    b[b.rfind('\\') - 1] = 'Q';
    EXPECT_NE(vlt::BackupFileName(a), vlt::BackupFileName(b));
}

// A shortened name without its record, or with another path's, reads with a problem and is
// never certain: a restore by guess could overwrite another file.
TEST(BackupNames, AShortenedNameWithoutItsRecordIsNeverCertain) {
    const std::string path = LongWindowsPath(259);
    const std::string name = vlt::BackupFileName(path);
    const std::string record = vlt::BackupRecordName(name);
    struct Case {
        std::map<std::string, std::string> folder;
        std::string says;
    } const cases[] = {
        {{}, "its record " + record + ", which names the file, is missing"},
        {{{record, "C:\\OTHER\\LIBRARY.DLL\r\n"}},
         "its record " + record + " names C:\\OTHER\\LIBRARY.DLL, not this backup's file"},
        {{{record, ""}}, "its record " + record + ", which names the file, is missing"},
    };
    for (const Case& c : cases) {
        const vlt::BackupReading reading = vlt::ReadBackupName(name, FolderHolding(c.folder));
        EXPECT_FALSE(reading.certain());
        EXPECT_EQ(reading.problem, c.says);
        // What the name shows of the path, for the user to recognise.
        EXPECT_TRUE(reading.path.starts_with(path.substr(0, 40))) << reading.path;
        EXPECT_TRUE(reading.path.ends_with("\xE2\x80\xA6\\LIBRARY.DLL")) << reading.path;
    }
}

}  // namespace
