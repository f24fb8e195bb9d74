// The listing's storage and sort, without a file system: entries go in in discovery order and
// must come out in the order the listing promises, ties included.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "controls/file/FileListing.h"

namespace {

using Qz_File::FileListing;
using Entries = std::vector<std::pair<std::string, std::string>>;  // name, folder

std::vector<std::string> Sorted(const Entries& entries) {
    FileListing listing;
    for (const auto& [name, folder] : entries) {
        listing.Add(name, listing.AddFolder(folder));
    }
    EXPECT_TRUE(listing.Sort([] { return true; }));
    std::vector<std::string> out;
    for (std::int32_t i = 0; i < listing.Count(); ++i) {
        out.push_back(listing.File(i));
    }
    return out;
}

TEST(FileListingSort, NameThenFolderWithTheTiesThePartitioningGives) {
    const struct {
        const char* what;
        Entries discovered;
        std::vector<std::string> sorted;
    } cases[] = {
        {"names compare without regard to case",
         {{"B.DLL", "C:\\X\\"}, {"a.dll", "C:\\Y\\"}},
         {"C:\\Y\\a.dll", "C:\\X\\B.DLL"}},
        {"the folder breaks a tie of names",
         {{"COMCTL32.OCX", "C:\\WIN\\SYSTEM\\"}, {"COMCTL32.OCX", "C:\\APP\\"}},
         {"C:\\APP\\COMCTL32.OCX", "C:\\WIN\\SYSTEM\\COMCTL32.OCX"}},
        {"code units of the upper-cased text, not an alphabet: Z (5A) before _ (5F)",
         {{"_.dll", "C:\\"}, {"z.dll", "C:\\"}},
         {"C:\\z.dll", "C:\\_.dll"}},
        {"a name that is the start of another comes first",
         {{"A.DLL", "C:\\"}, {"A.DL", "C:\\"}},
         {"C:\\A.DL", "C:\\A.DLL"}},
        {"Latin-1 letters are upper-cased and follow ASCII",
         {{"\xC3\xA9t\xC3\xA9.dll", "C:\\"}, {"F.DLL", "C:\\"}, {"\xC3\x89T\xC3\x89.DLL", "D:\\"}},
         {"C:\\F.DLL", "C:\\\xC3\xA9t\xC3\xA9.dll", "D:\\\xC3\x89T\xC3\x89.DLL"}},
        {"UTF-16 order: a character beyond U+FFFF before U+F03A, after U+00E9",
         {{"a\xEF\x80\xBA.dll", "C:\\"},
          {"a\xF0\x9F\x98\x80.dll", "C:\\"},
          {"a\xC3\xA9.dll", "C:\\"}},
         {"C:\\a\xC3\xA9.dll", "C:\\a\xF0\x9F\x98\x80.dll", "C:\\a\xEF\x80\xBA.dll"}},
        // Equal keys: the middle entry is the pivot and equal entries are swapped across it,
        // so two equal keys come out reversed and the middle one of three stays in place.
        {"two names equal but for case, one folder",
         {{"a.dll", "C:\\X\\"}, {"A.DLL", "C:\\X\\"}},
         {"C:\\X\\A.DLL", "C:\\X\\a.dll"}},
        {"three names equal but for case, one folder",
         {{"a.dll", "C:\\X\\"}, {"A.DLL", "C:\\X\\"}, {"a.Dll", "C:\\X\\"}},
         {"C:\\X\\a.Dll", "C:\\X\\A.DLL", "C:\\X\\a.dll"}},
        {"one folder spelled in two cases",
         {{"a.dll", "C:\\X\\"}, {"a.dll", "c:\\x\\"}},
         {"c:\\x\\a.dll", "C:\\X\\a.dll"}},
        // The middle of a partition rounds half to even: truncating (1 of 0..3) or rounding
        // half up (3 of 0..5) would leave these ties the other way round.
        {"middle of 0..3 is 2",
         {{"ab", "C:\\"}, {"d", "C:\\"}, {"c", "C:\\"}, {"C", "C:\\"}},
         {"C:\\ab", "C:\\C", "C:\\c", "C:\\d"}},
        {"middle of 0..5 is 2",
         {{"a", "C:\\"}, {"b", "C:\\"}, {"c", "C:\\"}, {"e", "C:\\"}, {"d", "C:\\"}, {"D", "C:\\"}},
         {"C:\\a", "C:\\b", "C:\\c", "C:\\D", "C:\\d", "C:\\e"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sorted(c.discovered), c.sorted) << c.what;
    }
}

TEST(FileListingSort, LargeOrderedAndEqualInputsComeOutSorted) {
    for (const int shape : {0, 1, 2}) {
        FileListing listing;
        const std::uint32_t folder = listing.AddFolder("C:\\");
        constexpr int kCount = 200000;
        for (int k = 0; k < kCount; ++k) {
            const int n = shape == 0 ? k : shape == 1 ? kCount - k : k % 2;
            listing.Add("f" + std::to_string(1000000 + n), folder);
        }
        ASSERT_TRUE(listing.Sort([] { return true; }));
        for (std::int32_t i = 1; i < listing.Count(); ++i) {
            ASSERT_LE(listing.File(i - 1), listing.File(i)) << "shape " << shape << " at " << i;
        }
    }
}

TEST(FileListingSort, StopsWhenToldAndAnEmptyListingIsSorted) {
    FileListing listing;
    EXPECT_TRUE(listing.Sort([] { return false; }));
    EXPECT_TRUE(listing.Sorted());

    const std::uint32_t folder = listing.AddFolder("C:\\");
    for (const char* name : {"c", "b", "a", "d"}) {
        listing.Add(name, folder);
    }
    int asked = 0;
    EXPECT_FALSE(listing.Sort([&] { return ++asked < 2; }));
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(listing.Sorted());
}

TEST(FileListing, NamesAndFoldersStayAsGivenAcrossManyBlocks) {
    FileListing listing;
    const std::uint32_t a = listing.AddFolder("C:\\A\\");
    const std::uint32_t b = listing.AddFolder("c:\\b\\");
    const std::string longName(700, 'x');
    constexpr int kCount = 70000;  // more than one block of entries, and of characters
    for (int k = 0; k < kCount; ++k) {
        listing.Add(k % 7 == 0 ? longName : "n" + std::to_string(k), k % 2 == 0 ? a : b);
    }
    ASSERT_EQ(listing.Count(), kCount);
    for (const int k : {0, 1, 6, 7, 65535, 65536, kCount - 1}) {
        EXPECT_EQ(listing.Name(k), k % 7 == 0 ? longName : "n" + std::to_string(k));
        EXPECT_EQ(listing.Folder(k), k % 2 == 0 ? "C:\\A\\" : "c:\\b\\");
    }
    listing.Clear();
    EXPECT_EQ(listing.Count(), 0);
}

TEST(FileListing, DistinctNamesIgnoreCaseAndFolder) {
    FileListing listing;
    EXPECT_EQ(listing.DistinctNames(), 0);
    const std::uint32_t x = listing.AddFolder("C:\\X\\");
    const std::uint32_t y = listing.AddFolder("C:\\Y\\");
    listing.Add("a.dll", x);
    listing.Add("b.dll", x);
    listing.Add("A.DLL", y);
    listing.Add("\xC3\xA9.dll", y);
    listing.Add("\xC3\x89.DLL", x);
    EXPECT_EQ(listing.DistinctNames(), 3);
}

}  // namespace
