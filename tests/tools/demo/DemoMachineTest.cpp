// The demo machine: every kind of duplicate group is there, read back through the version
// reader, and two demo machines are alike to the byte and the second.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/machine/Machine.h"
#include "platform/machine/Text.h"
#include "platform/win32/advapi32/Registry.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FileTime.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/shell32/Shell.h"
#include "platform/win32/version/Version.h"
#include "platform/win32/version/VersionStrings.h"
#include "tests/support/FileText.h"
#include "tests/support/RecordingLauncher.h"
#include "tests/support/RunProgram.h"
#include "tools/imagewriter/DemoMachine.h"

namespace {

using testsupport::Slurp;

TEST(DemoFiles, FixedAndWithoutClashes) {
    const imagewriter::DemoLayout layout;
    const auto first = imagewriter::DemoFiles(layout);
    const auto second = imagewriter::DemoFiles(layout);
    ASSERT_EQ(first.size(), second.size());
    std::set<std::string> names;
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].path, second[i].path);
        EXPECT_EQ(first[i].bytes, second[i].bytes) << first[i].path;
        EXPECT_EQ(first[i].writeTime, second[i].writeTime);
        EXPECT_TRUE(names.insert(machine::text::FoldCase(first[i].path)).second)
            << "twice: " << first[i].path;
        EXPECT_TRUE(first[i].path.starts_with("C:\\")) << first[i].path;
    }
    EXPECT_GE(first.size(), 300u);
}

// One demo machine for the whole suite: making it takes a moment.
class DemoMachine : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-demo-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        created_ = testsupport::RunProgram(
            {VELTO_MACHINE_TOOL, "create", (dir_ / "m").string(), "--demo"});
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void SetUp() override {
        ASSERT_EQ(created_.status, 0) << created_.err;
        machine::SetCurrentMachine(machine::Machine::Open(dir_ / "m"));
    }
    void TearDown() override { machine::SetCurrentMachine(nullptr); }

    static std::filesystem::path Host(const std::string& windowsPath) {
        std::string relative = windowsPath.substr(3);
        std::replace(relative.begin(), relative.end(), '\\', '/');
        return dir_ / "m" / "drives" / "C" / relative;
    }

    struct Copy {
        std::string path;
        bool hasVersion = false;
        win32::StandardVersionStrings strings;
        std::uint64_t fileVersion = 0;
        std::string bytes;
    };

    static Copy Read(const std::string& path) {
        Copy copy;
        copy.path = path;
        copy.bytes = Slurp(Host(path));
        if (const auto block = win32::GetFileVersionInfoA(path)) {
            copy.hasVersion = true;
            copy.strings = win32::ReadStandardVersionStrings(*block);
            if (const auto root = win32::VerQueryValueA(*block, "\\")) {
                if (const auto fixed = win32::ReadFixedFileInfo(root->bytes)) {
                    copy.fileVersion =
                        (std::uint64_t{fixed->dwFileVersionMS} << 32) | fixed->dwFileVersionLS;
                }
            }
        }
        return copy;
    }

    static inline std::filesystem::path dir_;
    static inline testsupport::ProgramRun created_;
};

TEST_F(DemoMachine, EqualVersionsOneInTheSystemFolder) {
    const Copy system = Read("C:\\WINDOWS\\SYSTEM\\LUMGRID.OCX");
    for (const char* other : {"C:\\Program Files\\Lumen Reports\\LUMGRID.OCX",
                              "C:\\Program Files\\Ledger Plus\\LUMGRID.OCX"}) {
        const Copy copy = Read(other);
        EXPECT_TRUE(copy.hasVersion);
        EXPECT_EQ(copy.fileVersion, system.fileVersion);
        EXPECT_EQ(copy.bytes, system.bytes) << "identical copies";
    }
    EXPECT_EQ(system.strings.FileVersion, "6.0.81.69");

    // Same version, another build.
    const Copy a = Read("C:\\WINDOWS\\SYSTEM\\TSSCOMM.DLL");
    const Copy b = Read("C:\\Program Files\\Tessel Fax\\TSSCOMM.DLL");
    EXPECT_EQ(a.fileVersion, b.fileVersion);
    EXPECT_NE(a.bytes.size(), b.bytes.size());
}

struct OlderCase {
    const char* newer;
    const char* older;
};

TEST_F(DemoMachine, OlderCopies) {
    const OlderCase cases[] = {
        {"C:\\WINDOWS\\SYSTEM\\ORBDATA.DLL", "C:\\Program Files\\Orbis Old\\ORBDATA.DLL"},
        {"C:\\Program Files\\Orbis Suite\\ORBCALC.DLL", "C:\\WINDOWS\\SYSTEM\\ORBCALC.DLL"},
        {"C:\\WINDOWS\\SYSTEM\\LUMCHART.OCX", "C:\\Program Files\\Ledger Plus\\LUMCHART.OCX"},
        {"C:\\WINDOWS\\SYSTEM\\PRNHELP.DRV", "C:\\WINDOWS\\PRNHELP.DRV"},
        {"C:\\WINDOWS\\SYSTEM\\VNETHLP.VXD", "C:\\Program Files\\Tessel Fax\\VNETHLP.VXD"},
        {"C:\\WINDOWS\\SYSTEM\\QCODEC.ACM", "C:\\WINDOWS\\QCODEC.ACM"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.newer);
        const Copy newer = Read(c.newer);
        const Copy older = Read(c.older);
        ASSERT_TRUE(newer.hasVersion);
        ASSERT_TRUE(older.hasVersion);
        EXPECT_GT(newer.fileVersion, older.fileVersion);
        EXPECT_EQ(newer.strings.CompanyName, older.strings.CompanyName);
    }
}

TEST_F(DemoMachine, CompaniesThatDiffer) {
    const Copy a = Read("C:\\WINDOWS\\SYSTEM\\TESSUTIL.DLL");
    const Copy b = Read("C:\\Program Files\\Quill Writer\\TESSUTIL.DLL");
    EXPECT_EQ(a.fileVersion, b.fileVersion);
    EXPECT_EQ(a.strings.CompanyName, "Tessel Systems");
    EXPECT_EQ(b.strings.CompanyName, "Quill Software");
}

TEST_F(DemoMachine, IdenticalCopiesWithoutVersionInformation) {
    const std::vector<std::string> paths = {
        "C:\\WINDOWS\\HELPER32.DLL", "C:\\Program Files\\Lumen Reports\\HELPER32.DLL",
        "C:\\Program Files\\Tessel Fax\\HELPER32.DLL", "C:\\WINDOWS\\SYSTEM\\LUMGRID.TLB",
        "C:\\Program Files\\Lumen Reports\\LUMGRID.TLB"};
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(win32::GetFileVersionInfoSizeA(path), 0u);
    }
    EXPECT_EQ(Read(paths[0]).bytes, Read(paths[1]).bytes);
    EXPECT_EQ(Read(paths[0]).bytes, Read(paths[2]).bytes);
    EXPECT_TRUE(Read(paths[0]).bytes.starts_with("MZ"));
    EXPECT_EQ(Read(paths[3]).bytes, Read(paths[4]).bytes);
}

TEST_F(DemoMachine, EveryScannedTypeHasDuplicates) {
    // Names of the scanned types found more than once on the drive.
    std::map<std::string, std::set<std::string>> byName;
    std::size_t files = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(dir_ / "m" / "drives" / "C")) {
        if (!entry.is_regular_file()) {
            continue;
        }
        ++files;
        const std::string name = machine::text::FoldCase(entry.path().filename().string());
        byName[name].insert(entry.path().parent_path().string());
    }
    std::set<std::string> duplicatedTypes;
    for (const auto& [name, folders] : byName) {
        if (folders.size() > 1) {
            duplicatedTypes.insert(name.substr(name.rfind('.')));
        }
    }
    for (const char* type : {".DLL", ".OCX", ".DRV", ".VXD", ".EXE", ".ACM", ".TLB"}) {
        EXPECT_TRUE(duplicatedTypes.contains(type)) << type;
    }
    EXPECT_GE(files, 330u) << "a few hundred unrelated files besides the groups";
}

TEST_F(DemoMachine, ProgramFolderRegistryAndNames) {
    const std::string jpeg = Slurp(Host("C:\\Program Files\\Velto\\watermark.jpg"));
    ASSERT_GE(jpeg.size(), 4u);
    EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
    if (std::filesystem::exists(std::filesystem::path(VELTO_SOURCE_DIR) / "resources" /
                                "pad_file.xml")) {
        EXPECT_TRUE(std::filesystem::exists(Host("C:\\Program Files\\Velto\\pad_file.xml")));
    }

    win32::HKEY key{};
    ASSERT_EQ(win32::RegOpenKeyA(win32::HKEY_LOCAL_MACHINE,
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", &key),
              win32::ERROR_SUCCESS);
    win32::DWORD type = 0;
    win32::DWORD count = 0;
    win32::DWORD size = sizeof count;
    EXPECT_EQ(win32::RegQueryValueExA(key, "C:\\WINDOWS\\SYSTEM\\LUMGRID.OCX", nullptr, &type,
                                      reinterpret_cast<win32::BYTE*>(&count), &size),
              win32::ERROR_SUCCESS);
    EXPECT_EQ(type, win32::REG_DWORD);
    EXPECT_EQ(count, 3u);
    win32::RegCloseKey(key);

    EXPECT_EQ(win32::GetComputerNameA(), "DEMO98");
    EXPECT_EQ(win32::GetUserNameA(), "Demo");
    const auto volume = win32::GetVolumeInformationA("C:\\");
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->volumeSerialNumber, 0x1A2B3C4Du);
    EXPECT_EQ(volume->volumeName, "WIN98");
    const auto version = win32::GetVersionExA();
    ASSERT_TRUE(version);
    EXPECT_EQ(version->dwPlatformId, win32::VER_PLATFORM_WIN32_WINDOWS);

    const auto data = win32::GetFileAttributesExA("C:\\WINDOWS\\SYSTEM\\LUMGRID.OCX");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->ftLastWriteTime, win32::FileTimeFromUnix({924868920, 0}));
}

TEST_F(DemoMachine, TwoDemoMachinesAreAlike) {
    const auto second = dir_ / "again";
    const auto run =
        testsupport::RunProgram({VELTO_MACHINE_TOOL, "create", second.string(), "--demo"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto listing = [](const std::filesystem::path& root) {
        std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            if (entry.is_regular_file()) {
                files[std::filesystem::relative(entry.path(), root).string()] = {
                    Slurp(entry.path()), entry.last_write_time()};
            }
        }
        return files;
    };
    EXPECT_EQ(listing(dir_ / "m" / "drives"), listing(second / "drives"));
    EXPECT_EQ(Slurp(dir_ / "m" / "machine.ini"), Slurp(second / "machine.ini"));
}

}  // namespace

namespace {

TEST(PlainMachine, WebPagesOpenInTheDesktopsBrowser) {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-plain-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    const auto run = testsupport::RunProgram({VELTO_MACHINE_TOOL, "create", (dir / "m").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(
        std::filesystem::exists(dir / "m" / "drives" / "C" / "WINDOWS" / "SYSTEM" / "LUMGRID.OCX"));
    machine::SetCurrentMachine(machine::Machine::Open(dir / "m"));
    {
        std::ofstream(dir / "m" / "drives" / "C" / "report.htm") << "<html>";
        testsupport::RecordingLauncher launcher;
        EXPECT_GT(win32::ShellExecuteA(0, "open", "C:\\REPORT.HTM", "", "", win32::SW_SHOWNORMAL),
                  32u);
        EXPECT_EQ(launcher.Commands(),
                  (std::vector<std::vector<std::string>>{
                      {"xdg-open", (dir / "m" / "drives" / "C" / "report.htm").string()}}));
    }
    machine::SetCurrentMachine(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
