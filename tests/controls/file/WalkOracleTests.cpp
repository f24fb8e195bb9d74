// The listing walk reads each folder once and matches the patterns itself; here it is held
// against the walk done the plain way, one directory call per pattern and an attribute query
// per subfolder, on random trees with random settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/automation/Text.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "tests/controls/file/FileTestSupport.h"

namespace {

using filetest::FileTest;
using Lines = std::vector<std::string>;
using Entry = std::pair<std::string, std::string>;  // name, folder

void PlainWalk(const std::string& folder, const Lines& filters, bool subfolders,
               const std::string& exclusions, std::vector<Entry>& entries) {
    if (subfolders) {
        Lines names;
        if (const auto found = win32::FindFiles(folder, 16)) {
            for (const auto& e : *found) {
                const std::string& name = e.cFileName;
                if (name == "." || name == ".." || win32::GetFileAttributesA(folder + name) != 16 ||
                    exclusions.find("|" + automation::UCase(folder + name) + "\\|") !=
                        std::string::npos) {
                    continue;
                }
                names.push_back(name);
            }
        }
        for (const auto& name : names) {
            PlainWalk(folder + name + "\\", filters, subfolders, exclusions, entries);
        }
    }
    for (const auto& filter : filters) {
        if (const auto found = win32::FindFiles(folder + filter, 39)) {
            for (const auto& e : *found) {
                entries.emplace_back(e.cFileName, folder);
            }
        }
    }
}

Lines PlainListing(const Lines& paths, const Lines& filters, bool subfolders,
                   const std::string& exclusions) {
    std::vector<Entry> entries;
    for (const auto& path : paths) {
        PlainWalk(path, filters, subfolders, exclusions, entries);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const auto key = [](const Entry& e) {
            return std::make_pair(automation::UCase(e.first), automation::UCase(e.second));
        };
        return key(a) < key(b);
    });
    Lines out;
    for (const auto& [name, folder] : entries) {
        out.push_back(folder + name);
    }
    return out;
}

TEST_F(FileTest, TheWalkListsWhatThePlainWalkLists) {
    const bool attributes = testsupport::MachineBuilder::XattrsSupported();
    std::mt19937 rng(20261207);
    const auto pick = [&](const auto& items) { return items[rng() % std::size(items)]; };
    const char* stems[] = {"a", "B", "comctl32", "Mfc42", "x1", "\xC3\xA9t\xC3\xA9", ".hid", "F1"};
    const char* extensions[] = {".dll", ".DLL", ".ocx", ".txt", "", ".d1l", ".dllx"};
    const char* folderNames[] = {"SYS", "app", "Old", "deep", "\xC3\x89T\xC3\x89", ".cfg"};
    const win32::DWORD folderAttributes[] = {0, 0, 0, 1, 2, 4, 0x20};
    const char* patterns[] = {"*.dll", "*.DLL",  "*.ocx", "?1.*",  "*.",  "a*",
                              "*",     "F1.DLL", "",      "*.d?l", "*.*", "\xC3\xA9*"};

    // One tree: folders three deep, names unique without regard to case within a folder.
    Lines folders{"C:\\T"};
    for (int f = 0; f < 25; ++f) {
        const std::string parent = folders[rng() % folders.size()];
        if (std::count(parent.begin(), parent.end(), '\\') > 3) {
            continue;
        }
        const std::string folder = parent + "\\" + pick(folderNames);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            machine.Folder(folder);
            folders.push_back(folder);
        }
    }
    std::set<std::string> made;
    for (int n = 0; n < 300; ++n) {
        const std::string path = folders[rng() % folders.size()] + "\\" + pick(stems) +
                                 std::to_string(n % 7) + pick(extensions);
        if (made.insert(automation::UCase(path)).second) {
            machine.File(path);
        }
    }
    if (attributes) {
        for (std::size_t f = 1; f < folders.size(); ++f) {
            machine.Attributes(folders[f], pick(folderAttributes));
        }
    }

    for (int round = 0; round < 40; ++round) {
        Lines filters;
        for (unsigned k = 1 + rng() % 3; k > 0; --k) {
            filters.push_back(pick(patterns));
        }
        std::string filter;
        for (const auto& p : filters) {
            filter += p + ";";
        }
        Lines paths{"C:\\T\\"};
        if (rng() % 3 == 0) {
            paths.push_back(folders[rng() % folders.size()] + "\\");
        }
        if (rng() % 4 == 0) {
            paths.push_back("C:\\MISSING\\");
        }
        std::string pathList;
        for (const auto& p : paths) {
            pathList += p + ";";
        }
        const bool subfolders = rng() % 4 != 0;

        Qz_File::modFileList::ResetForTesting();
        file.SetFilter(filter);
        file.SetPaths(pathList);
        file.SetIncludeSubDirectories(subfolders);
        for (unsigned k = rng() % 3; k > 0; --k) {
            file.AddExclusionPath(automation::LCase(folders[rng() % folders.size()]));
        }
        const Lines expected =
            PlainListing(paths, filters, subfolders, Qz_File::modFileList::ExclusionList());
        EXPECT_EQ(Listing(file), expected)
            << "round " << round << ": " << filter << " in " << pathList
            << (subfolders ? " with" : " without") << " subfolders, excluding "
            << Qz_File::modFileList::ExclusionList();
    }
}

}  // namespace
