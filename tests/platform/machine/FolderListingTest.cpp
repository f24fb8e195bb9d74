#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "platform/machine/FolderListing.h"
#include "platform/machine/NameMapping.h"

namespace {

using machine::DirEntryName;
using machine::FolderListing;

std::vector<DirEntryName> Entries(const std::vector<std::string>& hostNames) {
    std::vector<DirEntryName> entries;
    for (const std::string& host : hostNames) {
        entries.push_back(DirEntryName{host, machine::HostNameToWindows(host), {}, false});
    }
    return entries;
}

// Host name -> short name, as a listing shows them.
std::map<std::string, std::string> ShortNames(FolderListing& listing) {
    std::map<std::string, std::string> names;
    for (const DirEntryName& entry : *listing.Entries()) {
        names[entry.host] = entry.shortName;
    }
    return names;
}

TEST(FolderListing, LooksUpLongNamesWithoutCaseThenShortNames) {
    // "PROGRAM FILES" and "Program Files" both exist on a case-sensitive host.
    FolderListing listing(Entries({"Program Files", "PROGRAM FILES", "readme.txt",
                                   "\xC3\x89"
                                   "COLE.DOC",
                                   "a:b.txt", "Backup of COMCTL32.OCX.backup"}));
    const struct {
        const char* name;
        const char* host;  // nullptr: no entry
    } cases[] = {
        {"program files", "PROGRAM FILES"},  // of two that differ in case, the smaller host name
        {"README.TXT", "readme.txt"},
        {"\xC3\xA9"
         "cole.doc",
         "\xC3\x89"
         "COLE.DOC"},
        {"A\xEF\x80\xBA"
         "B.TXT",
         "a:b.txt"},
        {"PROGRA~1", "PROGRAM FILES"},
        {"progra~2", "Program Files"},
        {"BACKUP~1.BAC", "Backup of COMCTL32.OCX.backup"},
        {"PROGRA~3", nullptr},
        {"missing.txt", nullptr},
        {"README~1.TXT", nullptr},  // an 8.3 name needs no short name of its own
        {"", nullptr},
    };
    for (const auto& c : cases) {
        const auto found = listing.Lookup(c.name);
        ASSERT_EQ(found.has_value(), c.host != nullptr) << c.name;
        if (found) {
            EXPECT_EQ(found->host, c.host) << c.name;
            EXPECT_EQ(found->windows, machine::HostNameToWindows(c.host)) << c.name;
        }
    }
    const auto exact = listing.FindExact("Program Files");
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->shortName, "PROGRA~2");
    EXPECT_FALSE(listing.FindExact("program files"));
}

// After any run of additions and removals the listing must show what a listing read afresh
// from the same names shows: the same entries and the same short names (which renumber
// whenever a name of their family comes or goes), found the same way.
TEST(FolderListing, UpdatesAgreeWithAFreshReading) {
    std::vector<std::string> pool;
    for (int i = 0; i < 40; ++i) {
        pool.push_back("Backup of file " + std::to_string(i) + ".dll.backup");
        pool.push_back("FILE" + std::to_string(i) + ".DLL");
        pool.push_back("file" + std::to_string(i) + ".dll");  // the same name in another case
    }
    std::mt19937 rng(7);
    std::set<std::string> present(pool.begin(), pool.begin() + 30);
    FolderListing listing(Entries({present.begin(), present.end()}));
    for (int step = 0; step < 600; ++step) {
        const std::string& name = pool[rng() % pool.size()];
        if (rng() % 3 == 0) {
            listing.Put(name, false);
            present.insert(name);
        } else {
            listing.Erase(name);
            present.erase(name);
        }
        if (step % 25 != 0) {
            continue;
        }
        FolderListing fresh(Entries({present.begin(), present.end()}));
        const auto expected = ShortNames(fresh);
        ASSERT_EQ(ShortNames(listing), expected) << "step " << step;
        ASSERT_EQ(listing.size(), present.size());
        for (const auto& [host, shortName] : expected) {
            EXPECT_EQ(listing.Lookup(shortName)->host, fresh.Lookup(shortName)->host) << shortName;
            EXPECT_EQ(listing.Lookup(host)->host, fresh.Lookup(host)->host) << host;
        }
    }
    for (const std::string& name : pool) {
        EXPECT_EQ(listing.FindExact(name).has_value(), present.contains(name)) << name;
    }
    // Emptied and filled again (past the point where removed entries are swept out).
    for (const std::string& name : pool) {
        listing.Put(name, false);
    }
    for (const std::string& name : pool) {
        listing.Erase(name);
        EXPECT_FALSE(listing.FindExact(name)) << name;
    }
    EXPECT_EQ(listing.size(), 0u);
    for (size_t i = 0; i < pool.size(); i += 7) {
        listing.Put(pool[i], false);
    }
    std::vector<std::string> kept;
    for (size_t i = 0; i < pool.size(); i += 7) {
        kept.push_back(pool[i]);
        EXPECT_EQ(listing.Lookup(pool[i])->host, pool[i]);
    }
    FolderListing fresh(Entries(kept));
    EXPECT_EQ(ShortNames(listing), ShortNames(fresh));
}

TEST(FolderListing, KeepsTheReadingOrderAndAddsAtTheEnd) {
    FolderListing listing(Entries({"c.txt", "a.txt", "b.txt"}));
    listing.Put("new.txt", false);
    listing.Erase("a.txt");
    listing.Put("c.txt", true);  // an entry replaced by a link keeps its place
    std::vector<std::string> order;
    std::vector<bool> links;
    for (const DirEntryName& entry : *listing.Entries()) {
        order.push_back(entry.host);
        links.push_back(entry.mayBeLink);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"c.txt", "b.txt", "new.txt"}));
    EXPECT_EQ(links, (std::vector<bool>{true, false, false}));
    listing.Erase("not there");
    EXPECT_EQ(listing.size(), 3u);
}

TEST(FolderListing, WhichNamesMayBeGeneratedShortNames) {
    const struct {
        const char* name;
        bool may;
    } cases[] = {
        {"PROGRA~1", true},
        {"progra~1.txt", true},
        {"A~B", true},
        {"README.TXT", false},                   // no "~"
        {"C~APPS~G1~SHARED.DLL.backup", false},  // longer than 8.3
        {"ABCDEFG~10", false},                   // nine characters before the dot
        {"AB~1.TEXT", false},                    // four after it
        {"A B~1", false},                        // a blank has no place in a short name
        {"\xC3\x89"
         "C~1",
         false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(machine::MayBeGeneratedShortName(c.name), c.may) << c.name;
    }
}

}  // namespace

// Host names that read the same on Windows: the name leads to the entry of its own bytes (else
// the smallest host name), and every other one is shown, listed and reached by its raw name.
TEST(FolderListing, NamesThatReadTheSameLeadEachToOneEntry) {
    const std::vector<std::string> hosts = {
        "\xE9",      // Latin-1 "é"
        "\xC3\xA9",  // UTF-8 "é": its own bytes
        "*x",        // reads "\uF02Ax"
        "\xEF\x80\xAA"
        "x",     // UTF-8 "\uF02Ax" itself
        "\xE8",  // Latin-1 "è" with no UTF-8 twin
        "\xE0"
        "1",
        "\xE0"
        "2"  // Latin-1 alone, each its own
    };
    FolderListing listing(Entries(hosts));
    const struct {
        const char* host;
        const char* shown;
    } cases[] = {
        {"\xE9", "\xEF\x83\xA9"},
        {"\xC3\xA9", "\xC3\xA9"},
        {"*x",
         "\xEF\x80\xAA"
         "x"},
        {"\xEF\x80\xAA"
         "x",
         "\xEF\x83\xAF\xEF\x82\x80\xEF\x82\xAA"
         "x"},
        {"\xE8", "\xC3\xA8"},
        {"\xE0"
         "1",
         "\xC3\xA0"
         "1"},
    };
    std::vector<std::string_view> hostViews(hosts.begin(), hosts.end());
    std::vector<std::string> readings;
    for (const std::string& host : hosts) {
        readings.push_back(machine::HostNameToWindows(host));
    }
    std::vector<std::string_view> readingViews(readings.begin(), readings.end());
    const auto shadowed = machine::ShadowedEntries(hostViews, readingViews);
    EXPECT_EQ(shadowed, (std::vector<std::size_t>{0, 3}));
    std::set<std::string> shown;
    for (const auto& c : cases) {
        EXPECT_EQ(listing.ShownName(c.host), c.shown) << c.host;
        const auto found = listing.Lookup(c.shown);
        ASSERT_TRUE(found) << c.shown;
        EXPECT_EQ(found->host, c.host) << c.shown;
        EXPECT_EQ(found->windows, c.shown);
        EXPECT_EQ(machine::WindowsNameToHost(c.shown) == c.host,
                  std::string(c.host) != "\xE8" && std::string(c.host) !=
                                                       "\xE0"
                                                       "1")
            << "a raw name is the host's own bytes";
    }
    for (const DirEntryName& entry : *listing.Entries()) {
        EXPECT_TRUE(shown.insert(entry.windows).second) << "shown twice: " << entry.windows;
    }
    // Without regard to case a name still finds the entry its exact form leads to.
    EXPECT_EQ(listing.Lookup("\xC3\x89")->host, "\xC3\xA9");
}
