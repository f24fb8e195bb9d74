// Shortcut files: the shell-link format written and read back, the WScript.Shell object that
// makes them, and the recent-documents list.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/win32/shell32/Shell.h"
#include "platform/win32/shell32/ShellLink.h"
#include "platform/win32/shell32/SpecialFolders.h"
#include "platform/win32/shell32/WshShell.h"
#include "tests/support/MachineBuilder.h"

namespace {

using win32::ShellLink;

std::uint32_t U32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

ShellLink FullLink() {
    ShellLink link;
    link.targetPath = "C:\\Program Files\\Velto\\vlt.exe";
    link.description = "Velto";
    link.relativePath = "..\\Program Files\\Velto\\vlt.exe";
    link.workingDirectory = "C:\\Program Files\\Velto";
    link.arguments = "-S";
    link.iconLocation = "C:\\Program Files\\Velto\\vlt.exe";
    link.iconIndex = -3;
    link.showCommand = 7;
    link.hotKey = 0x0346;
    link.fileAttributes = 0x20;
    link.creationTime = 0x01D0000000000001;
    link.accessTime = 0x01D0000000000002;
    link.writeTime = 0x01D0000000000003;
    link.fileSize = 123456;
    link.driveType = 3;
    link.driveSerialNumber = 0x1A2B3C4D;
    link.volumeLabel = "WIN98";
    return link;
}

struct RoundTripCase {
    const char* name;
    ShellLink link;
};

TEST(ShellLinkFormat, ReadsBackWhatItWrites) {
    ShellLink bare;
    ShellLink unicode = FullLink();
    unicode.targetPath = "C:\\\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\\\xF0\x9F\x93\x81.txt";
    unicode.description = "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x81";
    unicode.volumeLabel = "\xC3\x89T\xC3\x89";
    ShellLink latin = FullLink();
    latin.targetPath =
        "C:\\Donn\xC3\xA9"
        "es\\\xE2\x82\xAC.txt";
    ShellLink noTarget = FullLink();
    noTarget.targetPath.clear();
    noTarget.driveType = 0;
    noTarget.driveSerialNumber = 0;
    noTarget.volumeLabel.clear();
    const RoundTripCase cases[] = {
        {"every field", FullLink()},
        {"nothing set", bare},
        {"characters the code page lacks", unicode},
        {"code-page characters only", latin},
        {"no target", noTarget},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = win32::EncodeShellLink(c.link);
        const auto back = win32::DecodeShellLink(bytes);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, c.link);
    }
}

TEST(ShellLinkFormat, HeaderAndLinkInfoAsDocumented) {
    const auto bytes = win32::EncodeShellLink(FullLink());
    ASSERT_GE(bytes.size(), 0x4Cu);
    EXPECT_EQ(U32(bytes, 0), 0x4Cu);
    const std::vector<std::uint8_t> clsid(bytes.begin() + 4, bytes.begin() + 20);
    EXPECT_EQ(clsid, (std::vector<std::uint8_t>{0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0,
                                                0, 0, 0x46}));
    // HasLinkInfo, HasName, HasRelativePath, HasWorkingDir, HasArguments, HasIconLocation,
    // IsUnicode; no item list.
    EXPECT_EQ(U32(bytes, 20), 0xFEu);
    EXPECT_EQ(U32(bytes, 52), 123456u);
    EXPECT_EQ(static_cast<std::int32_t>(U32(bytes, 56)), -3);
    EXPECT_EQ(U32(bytes, 60), 7u);
    EXPECT_EQ(bytes[64] | (bytes[65] << 8), 0x0346);

    // LinkInfo right after the header: size, header size 0x1C, VolumeIDAndLocalBasePath.
    const std::size_t info = 0x4C;
    EXPECT_EQ(U32(bytes, info + 4), 0x1Cu);
    EXPECT_EQ(U32(bytes, info + 8), 1u);
    const std::size_t volume = info + U32(bytes, info + 12);
    EXPECT_EQ(U32(bytes, volume + 4), 3u);
    EXPECT_EQ(U32(bytes, volume + 8), 0x1A2B3C4Du);
    const std::size_t base = info + U32(bytes, info + 16);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[base])),
              "C:\\Program Files\\Velto\\vlt.exe");
    // The list of extra blocks ends the file.
    EXPECT_EQ(U32(bytes, bytes.size() - 4), 0u);
}

// Little-endian pieces for hand-made links.
struct Bytes8 {
    std::vector<std::uint8_t> data;
    Bytes8& u16(std::uint32_t v) {
        data.push_back(static_cast<std::uint8_t>(v));
        data.push_back(static_cast<std::uint8_t>(v >> 8));
        return *this;
    }
    Bytes8& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes8& text(std::string_view t) {
        data.insert(data.end(), t.begin(), t.end());
        return *this;
    }
};

std::vector<std::uint8_t> WindowsStyleLink() {
    Bytes8 b;
    b.u32(0x4C);
    for (const std::uint8_t c : {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}) {
        b.data.push_back(c);
    }
    b.u32(0x01 | 0x02 | 0x04);  // item list, link info, name; 8-bit strings
    b.u32(0x20);
    for (int i = 0; i < 3; ++i) {
        b.u32(0).u32(0);
    }
    b.u32(42).u32(0).u32(1).u16(0).u16(0).u32(0).u32(0);
    b.u16(6).u16(4).u16(0xBEEF).u16(0);  // an item list of one two-byte item
    const std::string label("DISK\0", 5);
    const std::string base("C:\\Caf\xE9.txt\0", 12);
    const std::uint32_t volumeSize = 0x10 + static_cast<std::uint32_t>(label.size());
    const std::uint32_t baseOffset = 0x1C + volumeSize;
    const std::uint32_t suffixOffset = baseOffset + static_cast<std::uint32_t>(base.size());
    b.u32(suffixOffset + 1).u32(0x1C).u32(1).u32(0x1C).u32(baseOffset).u32(0).u32(suffixOffset);
    b.u32(volumeSize).u32(3).u32(0xCAFE).u32(0x10).text(label);
    b.text(base).text(std::string_view("\0", 1));
    b.u16(5).text("Hello");
    b.u32(0x10).u32(0xA0000099).u32(0).u32(0);  // an extra block this reader does not need
    b.u32(0);
    return b.data;
}

TEST(ShellLinkFormat, ReadsWhatWindowsWrites) {
    const auto link = win32::DecodeShellLink(WindowsStyleLink());
    ASSERT_TRUE(link);
    EXPECT_EQ(link->targetPath, "C:\\Caf\xC3\xA9.txt");
    EXPECT_EQ(link->description, "Hello");
    EXPECT_EQ(link->volumeLabel, "DISK");
    EXPECT_EQ(link->driveSerialNumber, 0xCAFEu);
    EXPECT_EQ(link->fileSize, 42u);
    EXPECT_EQ(link->fileAttributes, 0x20u);
}

TEST(ShellLinkFormat, MalformedLinksAreRefused) {
    const auto good = win32::EncodeShellLink(FullLink());
    // Every cut before the strings end leaves a link that cannot be read.
    for (std::size_t size = 0; size + 4 < good.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(win32::DecodeShellLink(std::span(good.data(), size)));
    }
    struct Damage {
        const char* name;
        std::size_t at;
        std::uint8_t value;
    } damages[] = {
        {"header size", 0, 0x4D},
        {"class id", 4, 0x02},
        {"link info header size beyond the link info", 0x4C + 4, 0xFF},
        {"volume offset beyond the link info", 0x4C + 12, 0xF0},
        {"base path offset beyond the link info", 0x4C + 16, 0xF0},
        {"volume size beyond the link info", 0x4C + 0x1C, 0xF0},
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.name);
        auto bytes = good;
        bytes[d.at] = d.value;
        EXPECT_FALSE(win32::DecodeShellLink(bytes));
    }
    // An item list claiming more than the file holds.
    auto listed = WindowsStyleLink();
    listed[0x4C] = 0xFF;
    listed[0x4D] = 0xFF;
    EXPECT_FALSE(win32::DecodeShellLink(listed));
}

class ShortcutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machine_.File("C:\\Program Files\\Velto\\vlt.exe", std::string(5000, 'x')).Folder("C:\\X");
        shell_ = automation::CreateObjectAs<win32::WshShell>("WScript.Shell");
    }

    std::shared_ptr<win32::WshShortcut> Shortcut(const std::string& path) {
        auto shortcut = std::dynamic_pointer_cast<win32::WshShortcut>(shell_->CreateShortcut(path));
        EXPECT_TRUE(shortcut);
        return shortcut;
    }

    std::optional<ShellLink> ReadLink(const char* windowsPath) {
        std::ifstream in(machine_.HostPath(windowsPath), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const std::string data = bytes.str();
        return win32::DecodeShellLink(
            std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
    }

    testsupport::MachineBuilder machine_;
    std::shared_ptr<win32::WshShell> shell_;
};

TEST_F(ShortcutTest, SavedShortcutReadsBack) {
    auto shortcut = Shortcut("c:\\x\\Tool.lnk");
    EXPECT_EQ(shortcut->FullName(), "C:\\x\\Tool.lnk");
    shortcut->SetArguments("-S");
    shortcut->SetDescription("Velto checker");
    shortcut->SetHotkey("CTRL+ALT+V");
    shortcut->SetIconLocation("C:\\Program Files\\Velto\\vlt.exe,1");
    shortcut->SetTargetPath("C:\\Program Files\\Velto\\vlt.exe");
    shortcut->SetWindowStyle(3);
    shortcut->SetWorkingDirectory("C:\\Program Files\\Velto");
    shortcut->Save();

    const auto link = ReadLink("C:\\X\\Tool.lnk");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->targetPath, "C:\\Program Files\\Velto\\vlt.exe");
    EXPECT_EQ(link->relativePath, "..\\Program Files\\Velto\\vlt.exe");
    EXPECT_EQ(link->arguments, "-S");
    EXPECT_EQ(link->description, "Velto checker");
    EXPECT_EQ(link->workingDirectory, "C:\\Program Files\\Velto");
    EXPECT_EQ(link->iconLocation, "C:\\Program Files\\Velto\\vlt.exe");
    EXPECT_EQ(link->iconIndex, 1);
    EXPECT_EQ(link->showCommand, 3u);
    EXPECT_EQ(link->hotKey, 0x0600 | 'V');
    EXPECT_EQ(link->fileSize, 5000u);
    EXPECT_EQ(link->fileAttributes, 0x20u);
    EXPECT_NE(link->writeTime, 0u);
    EXPECT_EQ(link->driveType, 3u);

    // The same path again starts from what is saved there.
    auto again = Shortcut("C:\\X\\TOOL.LNK");
    EXPECT_EQ(again->TargetPath(), "C:\\Program Files\\Velto\\vlt.exe");
    EXPECT_EQ(again->Arguments(), "-S");
    EXPECT_EQ(again->Hotkey(), "Alt+Ctrl+V");
    EXPECT_EQ(again->IconLocation(), "C:\\Program Files\\Velto\\vlt.exe,1");
    EXPECT_EQ(again->WindowStyle(), 3);
}

TEST_F(ShortcutTest, TargetsAreMadeFullAndMayNotExistYet) {
    machine_.machine()->setCurrentDirectory(machine::WindowsPath{'C', {"Program Files", "Velto"}});
    auto shortcut = Shortcut("C:\\X\\Later.lnk");
    shortcut->SetTargetPath("later.exe");
    shortcut->Save();
    const auto link = ReadLink("C:\\X\\Later.lnk");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->targetPath, "C:\\Program Files\\Velto\\later.exe");
    EXPECT_EQ(link->fileSize, 0u);
    EXPECT_EQ(shortcut->IconLocation(), ",0");
}

struct HotkeyCase {
    const char* text;
    std::optional<const char*> shown;  // nullopt: refused
};

TEST_F(ShortcutTest, Hotkeys) {
    const HotkeyCase cases[] = {
        {"ctrl+shift+a", "Ctrl+Shift+A"},
        {"F12", "F12"},
        {"Alt + F24", "Alt+F24"},
        {"Shift+Alt+Ctrl+7", "Alt+Ctrl+Shift+7"},
        {"", ""},
        {"Ctrl+", std::nullopt},
        {"Ctrl+Enter", std::nullopt},
        {"F25", std::nullopt},
        {"Hyper+A", std::nullopt},
        {"A+B", std::nullopt},
    };
    auto shortcut = Shortcut("C:\\X\\Keys.lnk");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        shortcut->SetHotkey("");
        if (c.shown) {
            shortcut->SetHotkey(c.text);
            EXPECT_EQ(shortcut->Hotkey(), *c.shown);
        } else {
            try {
                shortcut->SetHotkey(c.text);
                ADD_FAILURE() << "accepted";
            } catch (const automation::Error& e) {
                EXPECT_EQ(e.Number(), automation::InvalidProcedureCall);
            }
        }
    }
}

TEST_F(ShortcutTest, IconLocationsAndWindowStyles) {
    const std::pair<const char*, const char*> icons[] = {
        {"C:\\x.ico,2", "C:\\x.ico,2"},    {"C:\\x.ico", "C:\\x.ico,0"},
        {"C:\\a,b.ico", "C:\\a,b.ico,0"},  {",0", ",0"},
        {"C:\\x.exe, -1", "C:\\x.exe,-1"}, {"", ",0"},
    };
    auto shortcut = Shortcut("C:\\X\\Icons.lnk");
    for (const auto& [given, shown] : icons) {
        SCOPED_TRACE(given);
        shortcut->SetIconLocation(given);
        EXPECT_EQ(shortcut->IconLocation(), shown);
    }
    for (const auto& [given, shown] : {std::pair{1, 1}, {3, 3}, {7, 7}, {2, 1}, {0, 1}, {-5, 1}}) {
        shortcut->SetWindowStyle(given);
        EXPECT_EQ(shortcut->WindowStyle(), shown);
    }
}

TEST_F(ShortcutTest, RefusalsAndFailures) {
    for (const char* path : {"C:\\X\\Tool", "C:\\X\\Tool.lnk.txt", ""}) {
        SCOPED_TRACE(path);
        try {
            shell_->CreateShortcut(path);
            ADD_FAILURE() << "accepted";
        } catch (const automation::Error& e) {
            EXPECT_EQ(e.Number(), automation::InvalidProcedureCall);
        }
    }
    auto shortcut = Shortcut("C:\\NoFolder\\Tool.lnk");
    shortcut->SetTargetPath("C:\\Program Files\\Velto\\vlt.exe");
    try {
        shortcut->Save();
        ADD_FAILURE() << "saved";
    } catch (const automation::Error& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.Number()), 0x80070003u);
        EXPECT_EQ(e.Description(), "Unable to save shortcut \"C:\\NoFolder\\Tool.lnk\".");
    }
    EXPECT_FALSE(machine_.Exists("C:\\NoFolder"));
}

TEST_F(ShortcutTest, InternetShortcuts) {
    auto url =
        std::dynamic_pointer_cast<win32::WshURLShortcut>(shell_->CreateShortcut("C:\\X\\Site.URL"));
    ASSERT_TRUE(url);
    url->SetTargetPath("http://example.org/velto");
    url->Save();
    EXPECT_EQ(machine_.Read("C:\\X\\Site.URL"),
              "[InternetShortcut]\r\nURL=http://example.org/velto\r\n");
    auto again =
        std::dynamic_pointer_cast<win32::WshURLShortcut>(shell_->CreateShortcut("C:\\X\\site.url"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->TargetPath(), "http://example.org/velto");
}

TEST_F(ShortcutTest, RecentDocuments) {
    machine_.File("C:\\Reports\\report.htm", "r").File("C:\\WINDOWS\\Recent\\desktop.ini", "d");
    win32::SHAddToRecentDocs(win32::SHARD_PATHA, "c:\\reports\\REPORT.HTM");
    const auto link = ReadLink("C:\\WINDOWS\\Recent\\report.htm.lnk");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->targetPath, "C:\\Reports\\report.htm");
    EXPECT_EQ(link->relativePath, "..\\..\\Reports\\report.htm");

    win32::SHAddToRecentDocs(win32::SHARD_PATHA, "C:\\Reports\\gone.htm");
    EXPECT_FALSE(machine_.Exists("C:\\WINDOWS\\Recent\\gone.htm.lnk"));

    win32::SHAddToRecentDocs(0, std::nullopt);
    EXPECT_FALSE(machine_.Exists("C:\\WINDOWS\\Recent\\report.htm.lnk"));
    EXPECT_TRUE(machine_.Exists("C:\\WINDOWS\\Recent\\desktop.ini"));
}

TEST(RecentDocuments, TheRecentFolderIsMadeWhenMissing) {
    testsupport::MachineBuilder m;
    m.Platform(machine::Platform::NT).ProfileValue("Machine", "UserName", "bob");
    m.File("C:\\A.TXT", "a");
    win32::SHAddToRecentDocs(win32::SHARD_PATHA, "C:\\A.TXT");
    EXPECT_TRUE(m.Exists("C:\\Documents and Settings\\bob\\Recent\\A.TXT.lnk"));
}

}  // namespace
