// Duplicate matching: CheckProblem's verdicts, plain mode's field comparison, FilesSame, and
// LoadDups over real listings (groups, names, tree images, notes, RecommendedList, cancel),
// with the automatic repair that only ever acts on a real recommendation.
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "controls/file/QzFile.h"
#include "controls/file/modFileList.h"
#include "platform/automation/Date.h"
#include "platform/automation/Errors.h"
#include "tests/vlt/core/CoreTestSupport.h"
#include "tools/imagewriter/ImageWriter.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"

namespace {

namespace props = modVLTProperties;
using coretest::CoreTest;
using coretest::TreeNode;
using modVLTWork::FileProps;
using modVLTWork::Verdict;

// A DLL image whose version resource holds these texts (an empty text is left out). Images
// made from the same texts and size are byte-identical. With a Wine signature, the image is
// one of Wine's own, as Wine installs them.
std::string Pe(const std::string& company, const std::string& fileVersion,
               const std::string& productVersion, std::uint64_t size = 0,
               const std::string& description = "", const std::string& wineSignature = "") {
    imagewriter::StringTable table;
    for (const auto& [name, value] :
         {std::pair{"CompanyName", company}, std::pair{"FileVersion", fileVersion},
          std::pair{"ProductVersion", productVersion}, std::pair{"FileDescription", description}}) {
        if (!value.empty()) {
            table.strings.push_back({name, value});
        }
    }
    imagewriter::VersionInfo info;
    info.tables = {table};
    imagewriter::ImageSpec shape = imagewriter::VersionImage(info);
    shape.minimumSize = size;
    shape.wineSignature = wineSignature;
    const imagewriter::Image image = imagewriter::BuildImage(shape);
    return std::string(image.bytes.begin(), image.bytes.end());
}

// One of Wine's own libraries, with the version texts Wine makes up for it.
std::string WineOwn(const std::string& version, const std::string& signature = "Wine builtin DLL") {
    return Pe("Microsoft Corporation", version, version, 0, "", signature);
}

// A record with the texts CheckProblem looks at.
FileProps Props(const std::string& company, const std::string& fileVersion,
                const std::string& productVersion, const std::string& size,
                const std::string& created = "05-Mar-2003 14:00:00",
                const std::string& modified = "05-Mar-2003 14:00:00") {
    FileProps p;
    p[modVLTWork::kCompanyName] = company;
    p[modVLTWork::kFileVersion] = fileVersion;
    p[modVLTWork::kProductVersion] = productVersion;
    p[modVLTWork::kSize] = size;
    p[modVLTWork::kCreated] = created;
    p[modVLTWork::kModified] = modified;
    return p;
}

FileProps ForImage(FileProps p, const std::string& imageType) {
    p[modVLTWork::kImageType] = imageType;
    return p;
}

// A 64-bit image (PE32+) with these version texts.
std::string Pe64(const std::string& company, const std::string& version) {
    imagewriter::StringTable table;
    table.strings = {
        {"CompanyName", company}, {"FileVersion", version}, {"ProductVersion", version}};
    imagewriter::VersionInfo info;
    info.tables = {table};
    const imagewriter::Image image =
        imagewriter::BuildImage(imagewriter::VersionImage(info, imagewriter::Format::Pe32Plus));
    return std::string(image.bytes.begin(), image.bytes.end());
}

std::chrono::system_clock::time_point At(int hour, int minute) {
    using namespace std::chrono;
    return sys_days{year{2003} / 3 / 5} + hours{hour} + minutes{minute};
}

class MatchTest : public CoreTest {
  protected:
    MatchTest() { LoadHost(); }

    // Lists *.dll on C: and matches it, as StartScan does.
    void Match() {
        Qz_File::QzFile& file = vlt::QzFile1();
        file.SetPaths("C:\\;");
        file.SetFilter("*.dll");
        file.SetIncludeSubDirectories(true);
        ASSERT_TRUE(file.LoadFileListing(true));
        progress->Show();
        modVLTWork::LoadDups();
    }

    std::vector<TreeNode>& Tree() { return review->nodes; }
};

TEST_F(MatchTest, CheckProblemVerdicts) {
    const std::string kSys = "C:\\WINDOWS\\SYSTEM\\";
    const std::string kApp = "C:\\APP\\";
    struct Case {
        const char* what;
        FileProps R;
        FileProps C;
        std::string candidateFolder;
        bool problem;
        Verdict verdict;
    } const cases[] = {
        {"company names differing in case only", Props("Korvane", "1.0", "1.0", "100"),
         Props("KORVANE", "1.0", "1.0", "100"), kApp, true, modVLTWork::CompanyMismatch},
        {"same versions and size elsewhere", Props("K", "1.0", "1.0", "100"),
         Props("K", "1.0", "1.0", "100"), kApp, false, modVLTWork::KeepRecommended},
        {"same versions and size in the system folder", Props("K", "1.0", "1.0", "100"),
         Props("K", "1.0", "1.0", "100"), kSys, false, modVLTWork::TakeCandidate},
        {"the system folder in another case", Props("K", "1.0", "1.0", "100"),
         Props("K", "1.0", "1.0", "100"), "c:\\windows\\system", false, modVLTWork::TakeCandidate},
        {"same but without versions", Props("K", "", "", "100"), Props("K", "", "", "100"), kSys,
         true, modVLTWork::VersionMissing},
        {"sizes differ, a version missing", Props("K", "1.0", "", "100"),
         Props("K", "1.0", "", "200"), kApp, true, modVLTWork::VersionMissing},
        // Versions compare by number, not as text, so 10.0 is newer than 5.0 (text made 5.0
        // the newer, and automatic mode spread the older copy).
        {"10.0 is newer than 5.0", Props("K", "5.0", "5.0", "100"),
         Props("K", "10.0", "10.0", "200"), kApp, true, modVLTWork::TakeCandidate},
        {"5.0 is older than 10.0", Props("K", "10.0", "10.0", "100"),
         Props("K", "5.0", "5.0", "200"), kApp, true, modVLTWork::KeepRecommended},
        {"2600 is newer than 900", Props("K", "5.0.900.0", "5.0.900.0", "100"),
         Props("K", "5.0.2600.0", "5.0.2600.0", "200"), kApp, true, modVLTWork::TakeCandidate},
        {"1104 is newer than 46", Props("K", "9.19.949.1104", "9.19.949.1104", "100"),
         Props("K", "9.19.949.46", "9.19.949.46", "200"), kApp, true, modVLTWork::KeepRecommended},
        {"a suffix after the number", Props("K", "5.1.2600.2180 (sp2)", "5.1.2600.2180", "100"),
         Props("K", "5.1.2600.5512 (xpsp.080413-2111)", "5.1.2600.5512", "200"), kApp, true,
         modVLTWork::TakeCandidate},
        {"newer file version, same product version", Props("K", "2.0", "1.0", "100"),
         Props("K", "1.0", "1.0", "100"), kApp, true, modVLTWork::KeepRecommended},
        {"same file version, newer product version", Props("K", "1.0", "2.0", "100"),
         Props("K", "1.0", "1.0", "100"), kApp, true, modVLTWork::KeepRecommended},
        {"versions pull different ways", Props("K", "1.0", "2.0", "100"),
         Props("K", "2.0", "1.0", "100"), kApp, true, modVLTWork::TakeCandidate},
        {"sizes differ, first modified earlier",
         Props("K", "1.0", "1.0", "100", "05-Mar-2003 14:00:00", "05-Mar-2003 14:00:00"),
         Props("K", "1.0", "1.0", "200", "05-Mar-2003 14:00:00", "06-Mar-2003 09:00:00"), kApp,
         true, modVLTWork::TakeCandidate},
        {"sizes differ, first modified later",
         Props("K", "1.0", "1.0", "100", "05-Mar-2003 14:00:00", "06-Mar-2003 09:00:00"),
         Props("K", "1.0", "1.0", "200", "05-Mar-2003 14:00:00", "05-Mar-2003 14:00:00"), kApp,
         true, modVLTWork::KeepRecommended},
        {"sizes differ, same dates", Props("K", "1.0", "1.0", "100"),
         Props("K", "1.0", "1.0", "200"), kApp, true, modVLTWork::KeepRecommended},
        {"sizes differ, created 9 minutes earlier",
         Props("K", "1.0", "1.0", "100", "05-Mar-2003 13:51:00"),
         Props("K", "1.0", "1.0", "200", "05-Mar-2003 14:00:00"), kApp, true,
         modVLTWork::KeepRecommended},
        {"sizes differ, created 11 minutes earlier",
         Props("K", "1.0", "1.0", "100", "05-Mar-2003 13:49:00"),
         Props("K", "1.0", "1.0", "200", "05-Mar-2003 14:00:00"), kApp, true,
         modVLTWork::TakeCandidate},
        // Images for different processors are no versions of one file, whatever their
        // versions say; a file that is no image goes with any.
        {"x86 and x64 images", ForImage(Props("K", "1.0", "1.0", "100"), "PE 014C"),
         ForImage(Props("K", "2.0", "2.0", "200"), "PE 8664"), kApp, true,
         modVLTWork::ProcessorMismatch},
        {"a 32-bit and a 16-bit image", ForImage(Props("K", "1.0", "1.0", "100"), "PE 014C"),
         ForImage(Props("K", "1.0", "1.0", "100"), "NE"), kSys, true,
         modVLTWork::ProcessorMismatch},
        {"an image and a file that is none", ForImage(Props("K", "1.0", "1.0", "100"), "NE"),
         ForImage(Props("K", "1.0", "1.0", "100"), ""), kApp, false, modVLTWork::KeepRecommended},
        {"company names are looked at first", ForImage(Props("K", "1.0", "1.0", "100"), "LE"),
         ForImage(Props("Q", "1.0", "1.0", "100"), "NE"), kApp, true, modVLTWork::CompanyMismatch},
        {"sizes differ, candidate's dates unknown",
         Props("K", "1.0", "1.0", "100", "05-Mar-2003 14:00:00", "05-Mar-2003 14:00:00"),
         Props("K", "1.0", "1.0", "200", "Unknown", "Unknown"), kApp, true,
         modVLTWork::KeepRecommended},
    };
    for (const Case& c : cases) {
        Verdict verdict = modVLTWork::KeepRecommended;
        EXPECT_EQ(modVLTWork::CheckProblem(c.R, c.C, verdict, kApp, c.candidateFolder), c.problem)
            << c.what;
        EXPECT_EQ(verdict, c.verdict) << c.what;
    }
}

TEST_F(MatchTest, PlainModeComparesTheChosenFields) {
    struct Case {
        const char* what;
        FileProps R;
        FileProps C;
        std::int32_t mask;
        bool differs;
    } const cases[] = {
        {"created 9 minutes apart", Props("K", "1", "1", "10", "05-Mar-2003 14:00:00"),
         Props("K", "1", "1", "10", "05-Mar-2003 14:09:00"), 18, false},
        {"created exactly 10 minutes apart", Props("K", "1", "1", "10", "05-Mar-2003 14:10:00"),
         Props("K", "1", "1", "10", "05-Mar-2003 14:00:00"), 18, false},
        {"created 11 minutes apart", Props("K", "1", "1", "10", "05-Mar-2003 14:00:00"),
         Props("K", "1", "1", "10", "05-Mar-2003 14:11:00"), 18, true},
        {"created date unknown", Props("K", "1", "1", "10", "05-Mar-2003 14:00:00"),
         Props("K", "1", "1", "10", "Unknown"), 18, true},
        {"size differs", Props("K", "1", "1", "10"), Props("K", "1", "1", "11"), 18, true},
        {"size not chosen", Props("K", "1", "1", "10"), Props("K", "1", "1", "11"), 2, false},
        {"file version always compared", Props("K", "1", "1", "10"), Props("K", "2", "1", "10"), 0,
         true},
        {"product version not chosen", Props("K", "1", "1", "10"), Props("K", "1", "2", "10"), 18,
         false},
        {"product version chosen", Props("K", "1", "1", "10"), Props("K", "1", "2", "10"), 1, true},
        {"company name chosen (bit 6)", Props("K", "1", "1", "10"), Props("k", "1", "1", "10"), 64,
         true},
        {"modified date is not the created date's leeway",
         Props("K", "1", "1", "10", "05-Mar-2003 14:00:00", "05-Mar-2003 14:00:00"),
         Props("K", "1", "1", "10", "05-Mar-2003 14:00:00", "05-Mar-2003 14:01:00"), 4, true},
    };
    for (const Case& c : cases) {
        FileProps R = c.R;
        EXPECT_EQ(modVLTWork::FieldsDiffer(R, c.C, c.mask), c.differs) << c.what;
    }
}

TEST_F(MatchTest, PlainModeComparesEachCopyWithTheOneBefore) {
    FileProps R = Props("K", "1", "1", "10", "05-Mar-2003 14:00:00");
    EXPECT_FALSE(
        modVLTWork::FieldsDiffer(R, Props("K", "1", "1", "10", "05-Mar-2003 14:08:00"), 18));
    // 16 minutes after the first copy but 8 after the one before.
    EXPECT_FALSE(
        modVLTWork::FieldsDiffer(R, Props("K", "1", "1", "10", "05-Mar-2003 14:16:00"), 18));
}

TEST_F(MatchTest, FormattedDateUsesTheLocalesShortMonth) {
    const automation::Date date(automation::DateSerial(2003, 3, 5).serial +
                                automation::TimeSerial(14, 7, 9).serial);
    EXPECT_EQ(modVLTWork::FormattedDate(date), "05-Mar-2003 14:07:09");
}

TEST_F(MatchTest, GetFilePropsReadsVersionTextsDatesAndSize) {
    const std::string image = Pe("Korvane", "4.71", "4.72");
    machine.File("C:\\APP\\X.DLL", image).WriteTime("C:\\APP\\X.DLL", At(14, 7));
    const FileProps p = modVLTWork::GetFileProps("C:\\APP\\X.DLL");
    EXPECT_EQ(p[modVLTWork::kCompanyName], "Korvane");
    EXPECT_EQ(p[modVLTWork::kFileVersion], "4.71");
    EXPECT_EQ(p[modVLTWork::kProductVersion], "4.72");
    EXPECT_EQ(p[modVLTWork::kSize], std::to_string(image.size()));
    EXPECT_EQ(p[modVLTWork::kFileDescription], "");
    EXPECT_TRUE(p[modVLTWork::kModified].ends_with("-2003 14:07:00")) << p[modVLTWork::kModified];

    // A copy gone between listing and matching: no times were read, so the zero date stays.
    const FileProps gone = modVLTWork::GetFileProps("C:\\APP\\GONE.DLL");
    EXPECT_EQ(gone[modVLTWork::kSize], "-1");
    EXPECT_EQ(gone[modVLTWork::kModified], "30-Dec-1899 00:00:00");
    EXPECT_EQ(gone[modVLTWork::kFileVersion], "");
}

TEST_F(MatchTest, FilesSameComparesWholeContents) {
    struct Case {
        const char* what;
        std::vector<std::string> contents;
        bool same;
        std::string lastMatched;
        std::string current;
    } const cases[] = {
        {"identical", {"abc", "abc", "abc"}, true, "C:\\F2\\S.DLL", "C:\\F2\\S.DLL"},
        {"the third differs", {"abc", "abc", "abd"}, false, "C:\\F1\\S.DLL", "C:\\F2\\S.DLL"},
        {"an empty copy is not a match", {"", "abc"}, false, "C:\\F0\\S.DLL", "C:\\F1\\S.DLL"},
        {"blanks at the ends count", {"abc", " abc "}, false, "C:\\F0\\S.DLL", "C:\\F1\\S.DLL"},
        {"one copy", {"abc"}, true, "C:\\F0\\S.DLL", "C:\\F0\\S.DLL"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> folders;
        for (std::size_t i = 0; i < c.contents.size(); ++i) {
            folders.push_back("C:\\F" + std::to_string(i) + "\\");
            machine.File(folders.back() + "S.DLL", c.contents[i]);
        }
        std::string lastMatched;
        std::string current;
        EXPECT_EQ(modVLTWork::FilesSame(folders, "S.DLL", lastMatched, current), c.same) << c.what;
        EXPECT_EQ(lastMatched, c.lastMatched) << c.what;
        EXPECT_EQ(current, c.current) << c.what;
    }
}

TEST_F(MatchTest, FilesSameCallsAMissingCopyDifferent) {
    machine.File("C:\\A\\M.DLL", "x");
    const std::vector<std::string> folders = {"C:\\A\\", "C:\\B\\"};
    std::string lastMatched;
    std::string current;
    EXPECT_FALSE(modVLTWork::FilesSame(folders, "M.DLL", lastMatched, current));
    EXPECT_EQ(current, "C:\\B\\M.DLL");
    EXPECT_FALSE(machine.Exists("C:\\B\\M.DLL")) << "reading must not create the file";
}

TEST_F(MatchTest, AnEmptyListingMatchesNothing) {
    Match();
    EXPECT_TRUE(Tree().empty());
    EXPECT_EQ(vlt::State().RecommendedList, "");
    EXPECT_FALSE(progress->loaded);
}

TEST_F(MatchTest, AGroupIsNamedByItsLastListedCopy) {
    machine.File("C:\\A\\a.dll", Pe("K", "1.0", "1.0"))
        .File("C:\\B\\A.DLL", Pe("K", "2.0", "2.0"))
        .File("C:\\C\\ONE.DLL", Pe("K", "1.0", "1.0"));
    Match();
    const std::vector<TreeNode> expected = {
        {"", "A.DLL", "A.DLL", modVLTWork::kImageHasRecommendation},
        {"A.DLL", "C:\\A\\A.DLL", "C:\\A\\A.DLL", modVLTWork::kImageOtherCopy},
        {"A.DLL", "C:\\B\\A.DLL", "C:\\B\\A.DLL", modVLTWork::kImageRecommended},
    };
    EXPECT_EQ(Tree(), expected);
    // The single copy is never shown but still names itself.
    EXPECT_EQ(vlt::State().RecommendedList, "|C:\\B\\A.DLL||C:\\C\\ONE.DLL|");
    EXPECT_EQ(progress->items.front(), "Matching duplicates");
    EXPECT_NE(
        std::find(progress->items.begin(), progress->items.end(), "Matching Duplicates: A.DLL"),
        progress->items.end());
}

TEST_F(MatchTest, EqualCopiesAreNotFlaggedAndTheSystemFolderCopyIsRecommended) {
    const std::string image = Pe("K", "1.0", "1.0");
    machine.File("C:\\APP\\S.DLL", image)
        .File("C:\\WINDOWS\\SYSTEM\\S.DLL", image)
        .File("C:\\X\\T.DLL", image)
        .File("C:\\Y\\T.DLL", image);
    Match();
    EXPECT_TRUE(Tree().empty());
    EXPECT_EQ(vlt::State().RecommendedList, "|C:\\WINDOWS\\SYSTEM\\S.DLL||C:\\X\\T.DLL|");
}

TEST_F(MatchTest, SizesDifferAndTheLaterModifiedCopyIsRecommended) {
    machine.File("C:\\A\\D.DLL", Pe("K", "1.0", "1.0"))
        .File("C:\\B\\D.DLL", Pe("K", "1.0", "1.0", 8192))
        .WriteTime("C:\\A\\D.DLL", At(9, 0))
        .WriteTime("C:\\B\\D.DLL", At(15, 0));
    Match();
    const std::vector<TreeNode> expected = {
        {"", "D.DLL", "D.DLL", modVLTWork::kImageHasRecommendation},
        {"D.DLL", "C:\\A\\D.DLL", "C:\\A\\D.DLL", modVLTWork::kImageOtherCopy},
        {"D.DLL", "C:\\B\\D.DLL", "C:\\B\\D.DLL", modVLTWork::kImageRecommended},
    };
    EXPECT_EQ(Tree(), expected);
}

TEST_F(MatchTest, GroupsWithoutARecommendationGetANote) {
    machine.File("C:\\A\\C.DLL", Pe("Korvane", "1.0", "1.0"))
        .File("C:\\B\\C.DLL", Pe("KORVANE", "2.0", "2.0"))
        .File("C:\\A\\V.DLL", "no version resource")
        .File("C:\\B\\V.DLL", "no version resource either");
    Match();
    const std::vector<TreeNode> expected = {
        {"", "C.DLL", "C.DLL", modVLTWork::kImageNoRecommendation},
        {"C.DLL", "C:\\A\\C.DLL", "C:\\A\\C.DLL", modVLTWork::kImageNoRecommendationCopy},
        {"C.DLL", "C:\\B\\C.DLL", "C:\\B\\C.DLL", modVLTWork::kImageNoRecommendationCopy},
        {"C.DLL", "C.DLL *  COMPANY NAME DOES NOT MATCH", "COMPANY NAME DOES NOT MATCH",
         modVLTWork::kImageNoRecommendation},
        {"", "V.DLL", "V.DLL", modVLTWork::kImageNoRecommendation},
        {"V.DLL", "C:\\A\\V.DLL", "C:\\A\\V.DLL", modVLTWork::kImageNoRecommendationCopy},
        {"V.DLL", "C:\\B\\V.DLL", "C:\\B\\V.DLL", modVLTWork::kImageNoRecommendationCopy},
        {"V.DLL", "V.DLL *  VERSION INFORMATION MISSING", "VERSION INFORMATION MISSING",
         modVLTWork::kImageNoRecommendation},
    };
    EXPECT_EQ(Tree(), expected);
    EXPECT_EQ(vlt::State().RecommendedList, "|||?|");
}

TEST_F(MatchTest, OneFileReachedByTwoPathsIsOneCopyShownByItsSystemFolderPath) {
    machine.File("C:\\WINDOWS\\SYSTEM\\L.DLL", Pe("K", "1.0", "1.0"))
        .File("C:\\APP\\L.DLL", Pe("K", "2.0", "2.0"))
        .Symlink("C:\\SYSLINK", machine.HostPath("C:\\WINDOWS\\SYSTEM"));
    Match();
    const std::vector<TreeNode> expected = {
        {"", "L.DLL", "L.DLL", modVLTWork::kImageHasRecommendation},
        {"L.DLL", "C:\\APP\\L.DLL", "C:\\APP\\L.DLL", modVLTWork::kImageRecommended},
        {"L.DLL", "C:\\WINDOWS\\SYSTEM\\L.DLL", "C:\\WINDOWS\\SYSTEM\\L.DLL",
         modVLTWork::kImageOtherCopy},
    };
    EXPECT_EQ(Tree(), expected);

    // Repaired, the newer copy moves into the system folder; nothing deletes it again under
    // the link's path at the restart.
    Store({{"AutoScan", "Y"}});
    vlt::State().CommandLine = "-S";
    Tree().clear();
    Qz_File::modFileList::ResetForTesting();
    Match();
    std::vector<vlt::ActionEntry> work;
    for (std::int32_t i = 0; i < vlt::State().ActionCount; ++i) {
        if (vlt::State().ActionList[i][0] == "1" || vlt::State().ActionList[i][0] == "2") {
            work.push_back(vlt::State().ActionList[i]);
        }
    }
    EXPECT_EQ(work, (std::vector<vlt::ActionEntry>{
                        {"1", "C:\\APP\\L.DLL", "C:\\WINDOWS\\SYSTEM\\L.DLL"},
                        {"2", "C:\\APP\\L.DLL", ""},
                    }));
}

TEST_F(MatchTest, CopiesForDifferentProcessorsHaveNoRecommendation) {
    machine.File("C:\\A\\W.DLL", Pe("K", "1.0", "1.0")).File("C:\\B\\W.DLL", Pe64("K", "2.0"));
    Match();
    const std::vector<TreeNode> expected = {
        {"", "W.DLL", "W.DLL", modVLTWork::kImageNoRecommendation},
        {"W.DLL", "C:\\A\\W.DLL", "C:\\A\\W.DLL", modVLTWork::kImageNoRecommendationCopy},
        {"W.DLL", "C:\\B\\W.DLL", "C:\\B\\W.DLL", modVLTWork::kImageNoRecommendationCopy},
        {"W.DLL", "W.DLL *  PROCESSOR DOES NOT MATCH", "PROCESSOR DOES NOT MATCH",
         modVLTWork::kImageNoRecommendation},
    };
    EXPECT_EQ(Tree(), expected);
    EXPECT_EQ(vlt::State().RecommendedList, "||");
}

TEST_F(MatchTest, FilesOfThePlatformAreNeverJudged) {
    const std::string native = Pe("Korvane", "9.18.944.0000", "9.18.944.0000");
    const std::string wine = WineOwn("10.0.0.0");
    struct Case {
        const char* what;
        std::string a;
        std::string b;
        std::vector<TreeNode> tree;
    } const cases[] = {
        // Wine's file beside a program's own copy: no recommendation, whatever the versions
        // say, the note, and Wine's copy marked.
        {"builtin beside native",
         wine,
         native,
         {{"", "X.DLL", "X.DLL", modVLTWork::kImageNoRecommendation},
          {"X.DLL", "C:\\A\\X.DLL", "C:\\A\\X.DLL", modVLTWork::kImagePlatformCopy},
          {"X.DLL", "C:\\B\\X.DLL", "C:\\B\\X.DLL", modVLTWork::kImageNoRecommendationCopy},
          {"X.DLL", "X.DLL *  LEFT TO WINE", "LEFT TO WINE", modVLTWork::kImageNoRecommendation}}},
        {"placeholder beside native",
         WineOwn("1.0", "Wine placeholder DLL"),
         native,
         {{"", "X.DLL", "X.DLL", modVLTWork::kImageNoRecommendation},
          {"X.DLL", "C:\\A\\X.DLL", "C:\\A\\X.DLL", modVLTWork::kImagePlatformCopy},
          {"X.DLL", "C:\\B\\X.DLL", "C:\\B\\X.DLL", modVLTWork::kImageNoRecommendationCopy},
          {"X.DLL", "X.DLL *  LEFT TO WINE", "LEFT TO WINE", modVLTWork::kImageNoRecommendation}}},
        // Only Wine's files, of other versions: no duplicate problem at all.
        {"two builtins", wine, WineOwn("6.3"), {}},
    };
    for (const Case& c : cases) {
        review->nodes.clear();
        machine.File("C:\\A\\X.DLL", c.a).File("C:\\B\\X.DLL", c.b);
        Qz_File::modFileList::ResetForTesting();
        Match();
        EXPECT_EQ(Tree(), c.tree) << c.what;
        EXPECT_EQ(vlt::State().RecommendedList, "||") << c.what;
    }
}

TEST_F(MatchTest, OnA64BitWindowsCopiesAreJudgedPerProcessor) {
    Use64BitWindows();
    machine.File("C:\\WINDOWS\\SYSTEM32\\Q.DLL", Pe64("K", "2.0"))
        .File("C:\\WINDOWS\\SYSWOW64\\Q.DLL", Pe("K", "2.0", "2.0"))
        .File("C:\\APP64\\Q.DLL", Pe64("K", "1.0"))
        .File("C:\\APP32\\Q.DLL", Pe("K", "1.0", "1.0"))
        // An image for a processor without a system folder keeps its group whole.
        .File("C:\\APP32\\R.DLL", Pe("K", "1.0", "1.0"))
        .File("C:\\ARM\\R.DLL", [] {
            std::string image = Pe("K", "2.0", "2.0");
            const std::size_t pe = static_cast<unsigned char>(image[0x3C]);
            image[pe + 4] = '\x64';
            image[pe + 5] = '\xAA';
            return image;
        }());
    Match();
    const std::vector<TreeNode> expected = {
        {"", "Q.DLL (x86)", "Q.DLL (x86)", modVLTWork::kImageHasRecommendation},
        {"Q.DLL (x86)", "C:\\APP32\\Q.DLL", "C:\\APP32\\Q.DLL", modVLTWork::kImageOtherCopy},
        {"Q.DLL (x86)", "C:\\WINDOWS\\SYSWOW64\\Q.DLL", "C:\\WINDOWS\\SYSWOW64\\Q.DLL",
         modVLTWork::kImageRecommended},
        {"", "Q.DLL (x64)", "Q.DLL (x64)", modVLTWork::kImageHasRecommendation},
        {"Q.DLL (x64)", "C:\\APP64\\Q.DLL", "C:\\APP64\\Q.DLL", modVLTWork::kImageOtherCopy},
        {"Q.DLL (x64)", "C:\\WINDOWS\\SYSTEM32\\Q.DLL", "C:\\WINDOWS\\SYSTEM32\\Q.DLL",
         modVLTWork::kImageRecommended},
        {"", "R.DLL", "R.DLL", modVLTWork::kImageNoRecommendation},
        {"R.DLL", "C:\\APP32\\R.DLL", "C:\\APP32\\R.DLL", modVLTWork::kImageNoRecommendationCopy},
        {"R.DLL", "C:\\ARM\\R.DLL", "C:\\ARM\\R.DLL", modVLTWork::kImageNoRecommendationCopy},
        {"R.DLL", "R.DLL *  PROCESSOR DOES NOT MATCH", "PROCESSOR DOES NOT MATCH",
         modVLTWork::kImageNoRecommendation},
    };
    EXPECT_EQ(Tree(), expected);
}

TEST_F(MatchTest, CopiesWhoseNamesDifferOnlyInCaseInOneFolderAreShownAndLeftAlone) {
    machine.File("C:\\A\\K.DLL", Pe("K", "1.0", "1.0")).File("C:\\B\\K.DLL", Pe("K", "2.0", "2.0"));
    // A second file beside the first, as NTFS (and any Linux file system) keeps one.
    const std::string newer = Pe("K", "2.0", "2.0");
    std::ofstream(machine.HostPath("C:\\A") / "k.dll", std::ios::binary) << newer;
    Match();
    bool noted = false;
    for (const TreeNode& node : Tree()) {
        noted = noted || node.text == modVLTWork::kCaseNote;
        EXPECT_NE(node.image, modVLTWork::kImageRecommended) << node.key;
    }
    EXPECT_TRUE(noted);

    Store({{"AutoScan", "Y"}});
    vlt::State().CommandLine = "-S";
    Tree().clear();
    Qz_File::modFileList::ResetForTesting();
    Match();
    EXPECT_EQ(vlt::State().ActionCount, 0);
    ASSERT_EQ(vlt::State().LogCount, 1);
    EXPECT_NE(vlt::State().ActionLog[0][2].find(
                  "not repaired, C:\\A\\ holds copies whose names differ only in case"),
              std::string::npos)
        << vlt::State().ActionLog[0][2];
}

TEST_F(MatchTest, ByteIdenticalCopiesWithoutARecommendationAreNotFlagged) {
    machine.File("C:\\A\\V.DLL", "same bytes").File("C:\\B\\V.DLL", "same bytes");
    Match();
    EXPECT_TRUE(Tree().empty());
}

TEST_F(MatchTest, WithRecommendationsOffTheTreeHasNoImages) {
    Store({{"ShowRecommended", "N"}});
    machine.File("C:\\A\\R.DLL", Pe("K", "2.0", "2.0"))
        .File("C:\\B\\R.DLL", Pe("K", "1.0", "1.0"))
        .File("C:\\C\\R.DLL", Pe("K", "3.0", "3.0"));
    Match();
    const std::vector<TreeNode> expected = {
        {"", "R.DLL", "R.DLL", 0},
        {"R.DLL", "C:\\A\\R.DLL", "C:\\A\\R.DLL", 0},
        {"R.DLL", "C:\\B\\R.DLL", "C:\\B\\R.DLL", 0},
        {"R.DLL", "C:\\C\\R.DLL", "C:\\C\\R.DLL", 0},
    };
    EXPECT_EQ(Tree(), expected);
    // Verdicts are not acted on: the first copy stays the one named.
    EXPECT_EQ(vlt::State().RecommendedList, "|C:\\A\\R.DLL|");
}

TEST_F(MatchTest, PlainModeNamesNoCopy) {
    Store({{"SmartCheck", "N"}});
    machine.File("C:\\A\\P.DLL", Pe("K", "1.0", "1.0"))
        .File("C:\\B\\P.DLL", Pe("K", "1.0", "1.0", 8192))
        .File("C:\\A\\Q.DLL", Pe("K", "1.0", "1.0"))
        .File("C:\\B\\Q.DLL", Pe("K", "1.0", "2.0"));
    Match();
    const std::vector<TreeNode> expected = {
        {"", "P.DLL", "P.DLL", 0},
        {"P.DLL", "C:\\A\\P.DLL", "C:\\A\\P.DLL", 0},
        {"P.DLL", "C:\\B\\P.DLL", "C:\\B\\P.DLL", 0},
    };
    EXPECT_EQ(Tree(), expected) << "Q.DLL differs only in its product version, not compared";
    EXPECT_EQ(vlt::State().RecommendedList, "||||");
}

TEST_F(MatchTest, AllDuplicatesShowsEveryGroupWithoutComparingOrNotes) {
    Store({{"AllDups", "Y"}});
    const std::string image = Pe("K", "1.0", "1.0");
    machine.File("C:\\A\\E.DLL", image).File("C:\\B\\E.DLL", image).File("C:\\A\\ONE.DLL", image);
    Match();
    const std::vector<TreeNode> expected = {
        {"", "E.DLL", "E.DLL", modVLTWork::kImageNoRecommendation},
        {"E.DLL", "C:\\A\\E.DLL", "C:\\A\\E.DLL", modVLTWork::kImageNoRecommendationCopy},
        {"E.DLL", "C:\\B\\E.DLL", "C:\\B\\E.DLL", modVLTWork::kImageNoRecommendationCopy},
    };
    EXPECT_EQ(Tree(), expected);
    EXPECT_EQ(vlt::State().RecommendedList, "");
}

TEST_F(MatchTest, CancelKeepsTheGroupsMatchedSoFar) {
    for (const char* name : {"A.DLL", "B.DLL", "C.DLL"}) {
        machine.File(std::string("C:\\X\\") + name, Pe("K", "1.0", "1.0"))
            .File(std::string("C:\\Y\\") + name, Pe("K", "2.0", "2.0"));
    }
    progress->onItem = [this](const std::string& item) {
        if (item == "Matching Duplicates: B.DLL") {
            progress->canceled = true;
        }
    };
    Match();
    std::vector<std::string> groups;
    for (const TreeNode& node : Tree()) {
        if (node.parent.empty()) {
            groups.push_back(node.key);
        }
    }
    // B.DLL was being matched when Cancel came; it is finished, C.DLL is never started.
    EXPECT_EQ(groups, (std::vector<std::string>{"A.DLL", "B.DLL"}));
    EXPECT_FALSE(progress->loaded);
}

class AutomaticRepair : public MatchTest {
  protected:
    // Automatic mode is the unattended run's: AutoScan stored on and "-S" given.
    AutomaticRepair() {
        Store({{"AutoScan", "Y"}});
        vlt::State().CommandLine = "-S";
    }

    std::vector<std::string> Notes() const {
        std::vector<std::string> notes;
        const vlt::VltState& state = vlt::State();
        for (std::int32_t i = 0; i < state.LogCount; ++i) {
            if (state.ActionLog[i][1] == "1") {
                notes.push_back(state.ActionLog[i][2]);
            }
        }
        return notes;
    }
};

TEST_F(AutomaticRepair, ARecommendedCopyIsSpreadOverTheOthers) {
    machine.File("C:\\A\\N.DLL", Pe("K", "1.0", "1.0")).File("C:\\B\\N.DLL", Pe("K", "2.0", "2.0"));
    Match();
    EXPECT_TRUE(Tree().empty());
    const vlt::VltState& state = vlt::State();
    ASSERT_GE(state.ActionCount, 1);
    const vlt::ActionEntry& copy = state.ActionList[state.ActionCount - 1];
    EXPECT_EQ(copy, (vlt::ActionEntry{"1", "C:\\B\\N.DLL", "C:\\A\\N.DLL"}));
    EXPECT_TRUE(Notes().empty());
}

TEST_F(AutomaticRepair, AGroupInTheSystemFolderIsMovedThere) {
    machine.File("C:\\A\\N.DLL", Pe("K", "2.0", "2.0"))
        .File("C:\\WINDOWS\\SYSTEM\\N.DLL", Pe("K", "1.0", "1.0"));
    Match();
    // The newer copy goes into the system folder and leaves its own folder; nothing else.
    std::vector<vlt::ActionEntry> work;
    const vlt::VltState& state = vlt::State();
    for (std::int32_t i = 0; i < state.ActionCount; ++i) {
        if (state.ActionList[i][0] == "1" || state.ActionList[i][0] == "2") {
            work.push_back(state.ActionList[i]);
        }
    }
    ASSERT_GE(work.size(), 2u);
    EXPECT_EQ(work[0], (vlt::ActionEntry{"1", "C:\\A\\N.DLL", "C:\\WINDOWS\\SYSTEM\\N.DLL"}));
    for (std::size_t i = 1; i < work.size(); ++i) {
        EXPECT_EQ(work[i], (vlt::ActionEntry{"2", "C:\\A\\N.DLL", ""}));
    }
}

TEST_F(AutomaticRepair, GroupsWithoutARealRecommendationQueueNothingAndAreReported) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> settings;
        std::string first;
        std::string second;
        std::string note;
    } const cases[] = {
        {"recommendations off",
         {{"ShowRecommended", "N"}},
         Pe("K", "1.0", "1.0"),
         Pe("K", "2.0", "2.0"),
         "G.DLL: not repaired, copies differ and no copy is recommended (recommendations are "
         "off)"},
        {"plain mode",
         {{"SmartCheck", "N"}},
         Pe("K", "1.0", "1.0"),
         Pe("K", "2.0", "2.0"),
         "G.DLL: not repaired, copies differ and no copy is recommended (smart checking is "
         "off)"},
        {"version information missing",
         {},
         "one text",
         "another text",
         "G.DLL: not repaired, version information is missing and no copy is recommended"},
        {"company names differ",
         {},
         Pe("K", "1.0", "1.0"),
         Pe("Q", "2.0", "2.0"),
         "G.DLL: not repaired, company names differ and no copy is recommended"},
        {"different processors",
         {},
         Pe("K", "1.0", "1.0"),
         Pe64("K", "2.0"),
         "G.DLL: not repaired, the copies are for different processors and no copy is "
         "recommended"},
        {"Wine's own library",
         {},
         WineOwn("10.0.0.0"),
         Pe("K", "1.0", "1.0"),
         "G.DLL: not repaired, C:\\A\\G.DLL is Wine's own library (builtin), left to Wine"},
    };
    for (const Case& c : cases) {
        vlt::State().ActionCount = 0;
        vlt::State().LogCount = 0;
        vlt::State().ActionLog.clear();
        Store({{"ShowRecommended", "Y"}, {"SmartCheck", "Y"}});
        Store(c.settings);
        machine.File("C:\\A\\G.DLL", c.first).File("C:\\B\\G.DLL", c.second);
        Qz_File::modFileList::ResetForTesting();
        Match();
        EXPECT_EQ(vlt::State().ActionCount, 0) << c.what;
        EXPECT_EQ(Notes(), (std::vector<std::string>{c.note})) << c.what;
        EXPECT_TRUE(Tree().empty()) << c.what;
    }
}

TEST_F(AutomaticRepair, OnA64BitWindowsEachProcessorsCopiesGoToItsOwnSystemFolder) {
    Use64BitWindows();
    machine.File("C:\\WINDOWS\\SYSWOW64\\Q.DLL", Pe("K", "1.0", "1.0"))
        .File("C:\\APP32\\Q.DLL", Pe("K", "2.0", "2.0"))
        .File("C:\\WINDOWS\\SYSTEM32\\Q.DLL", Pe64("K", "2.0"))
        .File("C:\\APP64\\Q.DLL", Pe64("K", "1.0"));
    Match();
    std::vector<vlt::ActionEntry> work;
    const vlt::VltState& state = vlt::State();
    for (std::int32_t i = 0; i < state.ActionCount; ++i) {
        if (state.ActionList[i][0] == "1" || state.ActionList[i][0] == "2") {
            work.push_back(state.ActionList[i]);
        }
    }
    // The newer 32-bit copy moves into SysWOW64, the older 64-bit one makes way for System32's.
    EXPECT_EQ(work, (std::vector<vlt::ActionEntry>{
                        {"1", "C:\\APP32\\Q.DLL", "C:\\WINDOWS\\SYSWOW64\\Q.DLL"},
                        {"2", "C:\\APP32\\Q.DLL", ""},
                        {"2", "C:\\APP64\\Q.DLL", ""},
                    }));
}

TEST_F(AutomaticRepair, AGroupWithACopyThatWasNeverComparedIsLeftAlone) {
    // The copy without a product version is never ordered against the others; the 2.0 copy
    // that a later comparison recommends must not be spread over it (it is the 3.0 one).
    machine.File("C:\\A\\M.DLL", Pe("K", "1.0", "1.0"))
        .File("C:\\B\\M.DLL", Pe("K", "3.0", ""))
        .File("C:\\C\\M.DLL", Pe("K", "2.0", "2.0"));
    Match();
    EXPECT_EQ(vlt::State().ActionCount, 0);
    EXPECT_EQ(Notes(), (std::vector<std::string>{
                           "M.DLL: not repaired, a copy has no version information, so it was "
                           "never compared with the others"}));
    EXPECT_EQ(vlt::State().RecommendedList, "|C:\\C\\M.DLL|");
}

// A copy that a move waiting for the next start replaces or takes away is judged after the
// start: repaired now, the group would be repaired twice, or from a copy about to go.
TEST_F(AutomaticRepair, AGroupTheNextStartChangesIsLeftAloneUntilThen) {
    machine.File("C:\\A\\N.DLL", Pe("K", "1.0", "1.0"))
        .File("C:\\B\\N.DLL", Pe("K", "2.0", "2.0"))
        .File("C:\\A\\N.BAK", "older")
        .Folder("C:\\WINDOWS");
    vlt::QzFile1().MoveOnRestart("C:\\A\\N.BAK", "C:\\A\\N.DLL");
    Match();
    EXPECT_EQ(vlt::State().ActionCount, 0);
    EXPECT_EQ(Notes(), (std::vector<std::string>{
                           "N.DLL: not repaired, a move waiting for the machine's next start "
                           "changes C:\\A\\N.DLL, so the copies are judged again after the "
                           "start"}));
}

TEST_F(MatchTest, FixSysFileRefusesATextThatNamesNoFile) {
    const std::vector<std::string> folders = {"C:\\A\\", "C:\\B\\"};
    for (const char* recommended : {"", "?"}) {
        try {
            modVLTWork::FixSysFile(folders, recommended, 2);
            ADD_FAILURE() << "no error for \"" << recommended << "\"";
        } catch (const automation::Error& error) {
            EXPECT_EQ(error.Number(), automation::InvalidProcedureCall);
        }
    }
    EXPECT_EQ(vlt::State().ActionCount, 0);
}

}  // namespace
