// The unattended check of a Windows installation on a disk from start to Windows' next start,
// on installations `velto-machine create --offline-windows --demo` makes (XP-like with
// dllcache, 10-like with the 32-bit programs' files in SysWOW64 and system files hard-linked
// into WinSxS, which are left to Windows): `vlt -S`, whose restart leaves the moves to Windows,
// then `velto-machine boot` carrying them out as the Session Manager would; what the user finds
// is read back by hivexregedit. Then a copy of the
// installation as it was made, hibernated, and mounted read-only: refused with nothing
// written. One test for each release, since every test runs as a process of its own and the
// installation is made once.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/HiveExport.h"
#include "tests/support/RunProgram.h"
#include "tests/vlt/VltRunSupport.h"

namespace {

namespace fs = std::filesystem;
using vltrun::Slurp;

constexpr const char* kCounts = "Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

struct Release {
    std::string name;    // --release
    std::string system;  // System32, which holds the hives
    // The system folder and the program files folder of the demo's 32-bit programs, and the
    // key below SOFTWARE of their use counts: on a 64-bit Windows, its 32-bit view.
    std::string system32, programs32, counts32;
    std::string store;  // the folder of kept copies that must stay as it was
    // The component store's files, each with its other name in `store` (one file, two names).
    std::vector<std::pair<std::string, std::string>> linked;
};

const Release kReleases[] = {
    {"xp",
     "WINDOWS/system32",
     "WINDOWS/system32",
     "Program Files",
     "Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
     "WINDOWS/system32/dllcache",
     {}},
    {"10",
     "Windows/System32",
     "Windows/SysWOW64",
     "Program Files (x86)",
     "Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
     "Windows/WinSxS",
     {{"Windows/System32/ORBCALC.DLL",
       "amd64_orbis-calculation_31bf3856ad364e35_1.0.0.0_none_5c2f6a1d8e3b4c77/ORBCALC.DLL"},
      {"Windows/SysWOW64/ORBCALC.DLL",
       "x86_orbis-calculation_31bf3856ad364e35_1.0.0.0_none_00109d99d5dddb41/ORBCALC.DLL"}}},
};

// How ctest names each test.
void PrintTo(const Release& release, std::ostream* out) {
    *out << release.name;
}

// Every file below `root` with its bytes.
std::map<std::string, std::string> Files(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[entry.path().lexically_relative(root).string()] = Slurp(entry.path());
        }
    }
    return files;
}

// The operations of a pending list as hivexregedit read it: its UTF-16 strings, "" for the
// empty ones, up to the list's end.
std::vector<std::string> Strings(const testsupport::ExportedValue& value) {
    std::vector<std::string> strings(1);
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
        if (unit == 0) {
            strings.emplace_back();
        } else {
            strings.back() += static_cast<char>(unit < 0x80 ? unit : '?');
        }
    }
    return strings;
}

// "C:\\Windows\\SysWOW64" for "Windows/SysWOW64".
std::string WindowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "C:\\" + path;
}

// Whether two names are one file (the same device and inode).
bool OneFile(const fs::path& a, const fs::path& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

class OfflineEndToEnd : public ::testing::TestWithParam<Release> {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("velto-offline-e2e-" + GetParam().name + "-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
        fs::remove_all(folder_.string() + "-copy", ec);
        fs::remove_all(folder_.string() + "-copy-vlt.out", ec);
        fs::remove_all(folder_.string() + "-copy-vlt.err", ec);
        fs::remove_all(folder_.string() + "-vlt.out", ec);
        fs::remove_all(folder_.string() + "-vlt.err", ec);
    }
    fs::path C(const std::string& path) const { return folder_ / path; }

    fs::path folder_;
};

TEST_P(OfflineEndToEnd, CheckedUntilWindowsNextStartUnlessOnlyCheckable) {
    const Release& r = GetParam();
    const auto created = vltrun::Tool(
        {"create", folder_.string(), "--offline-windows", "--release", r.name, "--demo"});
    ASSERT_EQ(created.status, 0) << created.err;
    const fs::path copy = folder_.string() + "-copy";
    fs::copy(folder_, copy, fs::copy_options::recursive);
    const std::string systemFile = r.system32 + "/TSSCOMM.DLL";
    const std::string faxFile = r.programs32 + "/Tessel Fax/TSSCOMM.DLL";
    const std::string newer = Slurp(C(faxFile));
    const std::string older = Slurp(C(systemFile));
    const auto store = Files(C(r.store));
    ASSERT_FALSE(store.empty());
    const auto stillLinked = [&](const std::string& when) {
        for (const auto& [file, inStore] : r.linked) {
            EXPECT_TRUE(OneFile(C(file), C(r.store + "/" + inStore))) << file << " " << when;
        }
    };
    stillLinked("as made");

    // The component store's groups are left to Windows, each against its own system folder.
    if (!r.linked.empty()) {
        const auto check = vltrun::Tool({"check", folder_.string()});
        for (const auto& [group, file] :
             {std::pair{"ORBCALC.DLL (x64)", "C:\\Windows\\System32\\ORBCALC.DLL"},
              std::pair{"ORBCALC.DLL (x86)", "C:\\Windows\\SysWOW64\\ORBCALC.DLL"}}) {
            EXPECT_NE(
                check.out.find(std::string(group) + ": no copy is recommended (LEFT TO WINDOWS)"),
                std::string::npos)
                << check.out;
            EXPECT_NE(check.out.find(std::string("vlt -S: not repaired, ") + file +
                                     " is the component store's file (a hard link into "
                                     "C:\\Windows\\WinSxS"),
                      std::string::npos)
                << check.out;
        }
    }

    const auto run = vltrun::Unattended(folder_);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("moves and deletions wait for the next start of the Windows on " +
                           folder_.string()),
              std::string::npos)
        << run.out;
    // Nothing moved yet: Windows does it as it starts.
    EXPECT_EQ(Slurp(C(systemFile)), older);
    const fs::path system = C(r.system + "/config/SYSTEM");
    const auto waiting = testsupport::ExportWithHivexregedit(system);
    ASSERT_EQ(waiting.error, "");
    const auto* list =
        waiting.Find("ControlSet001\\Control\\Session Manager", "PendingFileRenameOperations");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->type, 7u);
    const auto strings = Strings(*list);
    const std::string winSystem32 = WindowsPath(r.system32);
    bool replaces = false;
    bool deletes = false;
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        replaces = replaces || strings[i + 1] == "!\\??\\" + winSystem32 + "\\TSSCOMM.DLL";
        deletes =
            deletes || (strings[i] == "\\??\\" + WindowsPath(faxFile) && strings[i + 1].empty());
    }
    EXPECT_TRUE(replaces && deletes) << "the pending list holds no repair of TSSCOMM.DLL";
    for (const auto& [file, inStore] : r.linked) {
        for (const std::string& operation : strings) {
            EXPECT_EQ(operation.find(WindowsPath(file)), std::string::npos) << operation;
        }
    }
    // The list ends with the empty string after the last pair.
    EXPECT_TRUE(strings.size() >= 2 && strings[strings.size() - 2].empty());
    EXPECT_EQ(testsupport::ExportWithRegfexport(system).error, "");

    // The backups and the use counts, as readers no one here wrote see them: the 32-bit
    // programs' counts in their own view.
    std::string backup = "C~~" + r.system32 + "~TSSCOMM.DLL.backup";
    std::replace(backup.begin(), backup.end(), '/', '~');
    EXPECT_EQ(Slurp(C("Program Files/Velto/" + backup)), older);
    const fs::path software = C(r.system + "/config/SOFTWARE");
    const auto counts = testsupport::ExportWithHivexregedit(software);
    const auto* count = counts.Find(r.counts32, winSystem32 + "\\TSSCOMM.DLL");
    ASSERT_NE(count, nullptr);
    // Carried over from the copy removed beside the fax program: 2 + 1.
    EXPECT_EQ(count->data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    if (r.counts32 != kCounts) {
        EXPECT_EQ(counts.Find(kCounts, winSystem32 + "\\TSSCOMM.DLL"), nullptr);
        EXPECT_NE(counts.Find(kCounts, WindowsPath(r.system) + "\\QUILLRT.DLL"), nullptr);
    }
    EXPECT_EQ(testsupport::ExportWithRegfexport(software).error, "");
    stillLinked("after vlt -S");

    const auto boot = vltrun::Tool({"boot", folder_.string()});
    ASSERT_EQ(boot.status, 0) << boot.out << boot.err;
    EXPECT_NE(boot.out.find("PendingFileRenameOperations cleared"), std::string::npos) << boot.out;
    EXPECT_EQ(Slurp(C(systemFile)), newer);
    EXPECT_FALSE(fs::exists(C(faxFile)));
    EXPECT_EQ(testsupport::ExportWithHivexregedit(system).Find(
                  "ControlSet001\\Control\\Session Manager", "PendingFileRenameOperations"),
              nullptr);
    // The system's own store of kept copies was never touched, nor the names it shares.
    EXPECT_EQ(Files(C(r.store)), store);
    stillLinked("after boot");

    // The installation as it was made, hibernated.
    const fs::path hiberfil = copy / "hiberfil.sys";
    {
        std::string image = "hibr" + std::string(8188, '\0');
        std::FILE* file = std::fopen(hiberfil.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(image.data(), 1, image.size(), file);
        std::fclose(file);
    }
    const auto before = Files(copy);
    const auto hibernated = vltrun::Unattended(copy);
    EXPECT_EQ(hibernated.status, 2) << hibernated.out << hibernated.err;
    EXPECT_NE(hibernated.err.find("Windows on this disk is hibernated, or was shut down with Fast "
                                  "Startup"),
              std::string::npos)
        << hibernated.err;
    const auto notBooted = vltrun::Tool({"boot", copy.string()});
    EXPECT_EQ(notBooted.status, 2) << notBooted.out;
    const auto check = vltrun::Tool({"check", copy.string()});
    EXPECT_EQ(check.status, 1) << check.err;
    EXPECT_EQ(Files(copy), before);
    fs::remove(hiberfil);

    // Read-only: a private bind mount of the folder, in a mount namespace of its own (as root,
    // else as root of a user namespace), so that nothing outside the command sees it.
    const std::string script =
        "mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" && exec \"$@\"";
    std::vector<std::string> prefix;
    for (const std::vector<std::string>& tried :
         {std::vector<std::string>{"unshare", "--mount", "--propagation", "private"},
          std::vector<std::string>{"unshare", "--user", "--map-root-user", "--mount",
                                   "--propagation", "private"}}) {
        auto probe = tried;
        probe.insert(probe.end(),
                     {"sh", "-c", script, copy.string(), "sh", "-c",
                      "touch \"$0/probe\" 2>/dev/null && exit 1 || exit 0", copy.string()});
        if (testsupport::RunProgram(probe).status == 0) {
            prefix = tried;
            break;
        }
    }
    if (prefix.empty()) {
        GTEST_SKIP() << "no read-only bind mount can be made here (neither as root nor in a user "
                        "namespace)";
    }
    const auto unchanged = Files(copy);
    auto command = prefix;
    command.insert(command.end(), {"sh", "-c", script, copy.string()});
    for (const std::string& word : vltrun::UnattendedCommand(copy)) {
        command.push_back(word);
    }
    const auto readOnly = testsupport::RunProgram(command);
    EXPECT_EQ(readOnly.status, 2) << readOnly.out << readOnly.err;
    EXPECT_NE(readOnly.err.find("is mounted read-only"), std::string::npos) << readOnly.err;
    EXPECT_NE(readOnly.err.find("mount -o remount,rw"), std::string::npos) << readOnly.err;
    EXPECT_EQ(Files(copy), unchanged);
}

INSTANTIATE_TEST_SUITE_P(Releases, OfflineEndToEnd, ::testing::ValuesIn(kReleases),
                         [](const auto& info) { return "Windows" + info.param.name; });

}  // namespace
