// Downloading and starting the installer, the asking variant, and the licence file.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/automation/Errors.h"
#include "platform/dialogs/Dialogs.h"
#include "tests/controls/upgrade/UpgradeTestSupport.h"

namespace Qz_Upgrade::test {
namespace {

using testsupport::HttpResponse;

// Where a download of setup.exe is kept (never under a name of the program's own files).
constexpr const char* kInstaller = "C:\\Program Files\\Velto\\Downloaded setup.exe";

std::int32_t ErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const automation::Error& e) {
        return e.Number();
    }
    return 0;
}

class Download : public UpgradeTest {};

TEST_F(Download, TakesTheFirstAddressThatGivesAnAcceptableInstaller) {
    const std::string whole = Installer(1000);
    const std::string page = "<html><body>Download velto now!</body></html>";
    struct Case {
        const char* what;
        std::string sizeBytes;
        bool emptyPrimary;
        std::vector<std::pair<std::string, std::string>> served;
        bool downloaded;
        std::vector<std::string> requests;
    };
    const Case cases[] = {
        {"the primary gives nothing, the secondary serves",
         "",
         false,
         {{"/mirror/setup.exe", whole}},
         true,
         {"/velto/setup.exe", "/mirror/setup.exe"}},
        {"an empty primary address is passed over",
         "",
         true,
         {{"/mirror/setup.exe", whole}},
         true,
         {"/mirror/setup.exe"}},
        {"a truncated installer is rejected, a whole one taken",
         "1000",
         false,
         {{"/velto/setup.exe", Installer(600)}, {"/mirror/setup.exe", whole}},
         true,
         {"/velto/setup.exe", "/mirror/setup.exe"}},
        {"an installer of another size anywhere fails the download",
         "1000",
         false,
         {{"/velto/setup.exe", Installer(600)},
          {"/mirror/setup.exe", Installer(1200)},
          {"/extra1/setup.exe", Installer(999)},
          {"/extra2/setup.exe", Installer(1001)}},
         false,
         {"/velto/setup.exe", "/mirror/setup.exe", "/extra1/setup.exe", "/extra2/setup.exe"}},
        {"a web page that links to the installer",
         "1000",
         false,
         {{"/velto/setup.exe",
           "<HTML><BODY><A HREF=\"http://127.0.0.1:{port}/files/setup.exe\">setup.exe</A>"},
          {"/files/setup.exe", whole}},
         true,
         {"/velto/setup.exe", "/files/setup.exe"}},
        {"a web page that links to a file of another size",
         "1000",
         false,
         {{"/velto/setup.exe",
           "<HTML><BODY><A HREF=\"http://127.0.0.1:{port}/files/setup.exe\">setup.exe</A>"},
          {"/files/setup.exe", Installer(10)}},
         false,
         {"/velto/setup.exe", "/files/setup.exe", "/mirror/setup.exe", "/extra1/setup.exe",
          "/extra2/setup.exe"}},
        {"a web page without a link is not the installer",
         "",
         false,
         {{"/velto/setup.exe", page}, {"/mirror/setup.exe", whole}},
         true,
         {"/velto/setup.exe", "/mirror/setup.exe"}},
        {"a link whose file only ends in the name is not followed",
         "",
         false,
         {{"/velto/setup.exe",
           "<HTML><BODY><A HREF=\"http://127.0.0.1:{port}/files/oldsetup.exe\">x</A>"},
          {"/files/oldsetup.exe", whole}},
         false,
         {"/velto/setup.exe", "/mirror/setup.exe", "/extra1/setup.exe", "/extra2/setup.exe"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::LocalHttpServer caseServer;
        PadSpec shape;
        shape.downloads = {caseServer.Url("/velto/setup.exe"), caseServer.Url("/mirror/setup.exe"),
                           caseServer.Url("/extra1/setup.exe"),
                           caseServer.Url("/extra2/setup.exe")};
        if (c.emptyPrimary) {
            shape.downloads[0].clear();
        }
        shape.sizeBytes = c.sizeBytes;
        LocalPad(shape);
        for (auto [path, body] : c.served) {
            if (const auto at = body.find("{port}"); at != std::string::npos) {
                body.replace(at, 6, std::to_string(caseServer.port()));
            }
            caseServer.Serve(path, body);
        }
        EXPECT_EQ(upgrade.DownloadUpdate(), c.downloaded);
        EXPECT_EQ(caseServer.Requests(), c.requests);
        // Nothing that failed its check is left for anyone to start.
        EXPECT_EQ(Exists(kInstaller), c.downloaded);
        if (c.downloaded && Exists(kInstaller)) {
            EXPECT_EQ(Read(kInstaller), whole);
        }
        std::filesystem::remove(machine.HostPath(kInstaller));
    }
}

// A page that links to its own address is followed a few times, not until the stack runs out.
TEST_F(Download, APageThatLinksToItselfEndsTheAttempt) {
    PadSpec shape = OnServer();
    LocalPad(shape);
    server.Serve("/velto/setup.exe",
                 "<HTML><BODY><A HREF=\"" + server.Url("/velto/setup.exe") + "\">again</A>",
                 "text/html");
    EXPECT_FALSE(upgrade.DownloadUpdate());
    const auto requests = server.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "/velto/setup.exe"), 4);
    EXPECT_FALSE(Exists(kInstaller));
}

// An address that cannot be reached is passed over like one that has nothing; only when no
// address serves is it an error, and the error names every address and what went wrong there.
TEST_F(Download, AnAddressThatCannotBeReachedGivesWayToTheNext) {
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(testsupport::LocalHttpServer::ClosedPort());
    struct Case {
        const char* what;
        // Paths on the case's server; a path starting with "!" lies where nothing listens.
        std::array<std::string, 4> downloads;
        std::vector<std::pair<std::string, HttpResponse>> served;
        bool downloaded;
        std::int32_t error;
        // Lines of the error's text, with {server} and {refused} for the two addresses.
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"the primary refuses, the secondary serves",
         {"!/velto/setup.exe", "/mirror/setup.exe", "", ""},
         {{"/mirror/setup.exe", HttpResponse::WithStatus(200, Installer(1000))}},
         true,
         0,
         {}},
        {"the primary breaks off, the second mirror serves",
         {"/velto/setup.exe", "/mirror/setup.exe", "/extra1/setup.exe", ""},
         {{"/velto/setup.exe", HttpResponse::CutShort(Installer(100), 1000)},
          {"/extra1/setup.exe", HttpResponse::WithStatus(200, Installer(1000))}},
         true,
         0,
         {}},
        {"every address fails",
         {"!/velto/setup.exe", "/mirror/setup.exe", "/extra1/setup.exe", ""},
         {{"/extra1/setup.exe", HttpResponse::CutShort(Installer(100), 1000)}},
         false,
         InetCtls::icCannotConnect,
         {"None of the addresses could be used:", "{refused}/velto/setup.exe: ",
          "{server}/mirror/setup.exe: nothing received (HTTP 404)", "{server}/extra1/setup.exe: "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::LocalHttpServer caseServer;
        const std::string at = caseServer.Url("");
        PadSpec shape = OnServer();
        for (std::size_t i = 0; i < 4; ++i) {
            const std::string& path = c.downloads[i];
            shape.downloads[i] = path.empty()            ? ""
                                 : path.starts_with("!") ? refused + path.substr(1)
                                                         : at + path;
        }
        shape.sizeBytes = "1000";
        LocalPad(shape);
        for (const auto& [path, response] : c.served) {
            caseServer.Serve(path, response);
        }
        bool downloaded = false;
        std::string message;
        std::int32_t error = 0;
        try {
            downloaded = upgrade.DownloadUpdate();
        } catch (const automation::Error& e) {
            error = e.Number();
            message = e.Description();
        }
        EXPECT_EQ(downloaded, c.downloaded);
        EXPECT_EQ(error, c.error);
        std::size_t from = 0;
        for (std::string line : c.lines) {
            for (const auto& [mark, value] :
                 {std::pair{"{server}", at}, std::pair{"{refused}", refused}}) {
                if (const auto pos = line.find(mark); pos != std::string::npos) {
                    line.replace(pos, std::string(mark).size(), value);
                }
            }
            const std::size_t found = message.find(line, from);
            EXPECT_NE(found, std::string::npos) << line << " in " << message;
            from = found == std::string::npos ? from : found;
        }
        EXPECT_EQ(Exists(kInstaller), c.downloaded);
        if (c.downloaded) {
            EXPECT_EQ(Read(kInstaller), Installer(1000));
        }
        // Nothing of a broken transfer is left behind, not even its temporary file.
        const auto entries = std::filesystem::directory_iterator(machine.HostPath(kFolder));
        EXPECT_EQ(std::distance(begin(entries), end(entries)), c.downloaded ? 2 : 1);
        std::filesystem::remove(machine.HostPath(kInstaller));
    }
}

// A download is put in place only after its check and under a name of its own, so whatever
// its address ends in, the program's files and backups in the folder stay as they are.
TEST_F(Download, NoDownloadTakesTheNameOfAFileOfTheProgram) {
    const std::string backup = std::string(kFolder) + "C~~WINDOWS~SYSTEM~A.DLL.backup";
    machine.File(backup, "the only copy of A.DLL");
    machine.File(std::string(kFolder) + "help\\index.htm", "help");
    PadSpec shape = OnServer();
    shape.sizeBytes = "10";
    shape.downloads = {server.Url("/velto/pad_file.xml"),
                       server.Url("/x/C~~WINDOWS~SYSTEM~A.DLL.backup"), server.Url("/y/index.htm"),
                       ""};
    LocalPad(shape);
    const std::string local = Read(kPADFile);
    server.Serve("/velto/pad_file.xml", Installer(3));                // rejected: wrong size
    server.Serve("/x/C~~WINDOWS~SYSTEM~A.DLL.backup", Installer(4));  // rejected too
    server.Serve("/y/index.htm", Installer(10));                      // accepted
    EXPECT_TRUE(upgrade.DownloadUpdate());
    EXPECT_EQ(Read(kPADFile), local);
    EXPECT_EQ(Read(backup), "the only copy of A.DLL");
    EXPECT_EQ(Read(std::string(kFolder) + "help\\index.htm"), "help");
    EXPECT_EQ(Read(std::string(kFolder) + "Downloaded index.htm"), Installer(10));
    EXPECT_FALSE(Exists(std::string(kFolder) + "Downloaded pad_file.xml"));
}

TEST_F(Download, GoesIntoTheGivenFolderOrThePADFilesFolder) {
    LocalPad(OnServer());
    server.Serve("/velto/setup.exe", Installer(10));
    machine.Folder("C:\\Downloads");
    EXPECT_TRUE(upgrade.DownloadUpdate("C:\\Downloads"));
    EXPECT_EQ(upgrade.WorkingFolder(), "C:\\Downloads\\");
    EXPECT_TRUE(Exists("C:\\Downloads\\Downloaded setup.exe"));
    EXPECT_TRUE(upgrade.DownloadUpdate("C:\\Downloads\\"));
    EXPECT_EQ(upgrade.WorkingFolder(), "C:\\Downloads\\");
    EXPECT_TRUE(upgrade.DownloadUpdate());
    EXPECT_EQ(upgrade.WorkingFolder(), kFolder);
    EXPECT_TRUE(Exists(kInstaller));
    EXPECT_EQ(ErrorOf([&] { upgrade.DownloadUpdate("C:\\Missing"); }), automation::PathNotFound);
}

TEST_F(Download, ExecuteInstallStartsTheInstaller) {
    LocalPad(OnServer());
    machine.File(kInstaller, Installer(10));
    upgrade.ExecuteInstall(kFolder);
    EXPECT_EQ(Boxes(), (std::vector<Box>{{std::string("Executing ") + kInstaller, 0, "Velto"}}));
    ASSERT_EQ(launcher->requests.size(), 1u);
    EXPECT_EQ(launcher->requests[0].argv,
              std::vector<std::string>{machine.HostPath(kInstaller).string()});
}

TEST_F(Download, ExecuteInstallOfAMissingInstallerOpensTheFolder) {
    LocalPad(OnServer());
    upgrade.ExecuteInstall("C:\\Program Files\\Velto");
    EXPECT_EQ(
        Boxes(),
        (std::vector<Box>{
            {std::string("Executing ") + kInstaller, 0, "Velto"},
            {std::string("Unable to run ") + kInstaller + ".\r\nOpening folder.", 0, "Velto"}}));
    ASSERT_EQ(launcher->requests.size(), 2u);
    const auto& folder = launcher->requests[1].argv;
    ASSERT_EQ(folder.size(), 2u);
    EXPECT_EQ(folder[0], "xdg-open");
    EXPECT_TRUE(
        std::filesystem::equivalent(folder[1], machine.HostPath("C:\\Program Files\\Velto")));
}

class AskingDownload : public UpgradeTest {
  protected:
    AskingDownload() {
        PadSpec local = OnServer();
        LocalPad(local);
        PadSpec published = local;
        published.version = "1.1.0";
        server.Serve("/velto/pad_file.xml", PadText(published), "text/xml");
    }
    const Box question{"An update to Velto is available. Do you wish to download it now?", 36,
                       "Update Available"};
};

TEST_F(AskingDownload, YesDownloadsAndStartsTheInstaller) {
    server.Serve("/velto/setup.exe", Installer(10));
    boxes->AnswerMsgBox(dialogs::vbYes);
    boxes->AnswerMsgBox(dialogs::vbOK);
    EXPECT_TRUE(upgrade.GUIDownloadUpdate("C:\\Program Files\\Velto", true));
    EXPECT_EQ(Boxes(),
              (std::vector<Box>{question, {std::string("Executing ") + kInstaller, 0, "Velto"}}));
    EXPECT_EQ(boxes->Unanswered(), 0u);
    EXPECT_EQ(launcher->requests.size(), 1u);
    EXPECT_EQ(Read(kInstaller), Installer(10));
}

TEST_F(AskingDownload, TheInstallerStartedIsTheOneAMirrorGaveUnderItsOwnName) {
    PadSpec published = OnServer();
    published.version = "1.1.0";
    published.downloads = {server.Url("/velto/setup.exe"), server.Url("/mirror/setup-110.exe"), "",
                           ""};
    server.Serve("/velto/pad_file.xml", PadText(published), "text/xml");
    server.Serve("/mirror/setup-110.exe", Installer(10));
    machine.File(kInstaller, "an older installer");
    boxes->AnswerMsgBox(dialogs::vbYes);
    boxes->AnswerMsgBox(dialogs::vbOK);
    EXPECT_TRUE(upgrade.GUIDownloadUpdate(kFolder, true));
    const std::string fetched = std::string(kFolder) + "Downloaded setup-110.exe";
    EXPECT_EQ(Boxes(), (std::vector<Box>{question, {"Executing " + fetched, 0, "Velto"}}));
    ASSERT_EQ(launcher->requests.size(), 1u);
    EXPECT_EQ(launcher->requests[0].argv,
              std::vector<std::string>{machine.HostPath(fetched).string()});
    EXPECT_EQ(Read(fetched), Installer(10));
}

TEST_F(AskingDownload, WithoutRunInstallOnlyDownloads) {
    server.Serve("/velto/setup.exe", Installer(10));
    boxes->AnswerMsgBox(dialogs::vbYes);
    EXPECT_TRUE(upgrade.GUIDownloadUpdate());
    EXPECT_EQ(Boxes(), std::vector<Box>{question});
    EXPECT_TRUE(launcher->requests.empty());
    EXPECT_TRUE(Exists(kInstaller));
}

TEST_F(AskingDownload, NoDownloadsNothing) {
    server.Serve("/velto/setup.exe", Installer(10));
    boxes->AnswerMsgBox(dialogs::vbNo);
    EXPECT_FALSE(upgrade.GUIDownloadUpdate(kFolder, true));
    EXPECT_EQ(server.Requests(), std::vector<std::string>{"/velto/pad_file.xml"});
    EXPECT_FALSE(Exists(kInstaller));
    EXPECT_TRUE(launcher->requests.empty());
}

TEST_F(AskingDownload, AFailedDownloadIsToldAndNotStarted) {
    boxes->AnswerMsgBox(dialogs::vbYes);
    EXPECT_FALSE(upgrade.GUIDownloadUpdate(kFolder, true));
    EXPECT_EQ(Boxes(), (std::vector<Box>{question,
                                         {"The update to Velto could not be downloaded.  Please "
                                          "visit the vendor's website.",
                                          48, "Download failed"}}));
    EXPECT_TRUE(launcher->requests.empty());
}

// Here the published file is fetched straight over the local one (same folder, same name), so
// only the backup can bring it back.
TEST_F(AskingDownload, APageInPlaceOfThePADFileLeavesTheLocalOneInPlace) {
    const std::string local = Read(kPADFile);
    const std::string page = "<HTML><BODY>Under maintenance</BODY></HTML>";
    server.Serve("/velto/pad_file.xml", page, "text/html");
    EXPECT_FALSE(upgrade.GUIDownloadUpdate(kFolder, true));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Read(kPADFile), local);
    EXPECT_EQ(Read(std::string(kPADFile) + ".fail"), page);
}

TEST_F(AskingDownload, NothingNewAsksNothing) {
    upgrade.SetMinor("2");
    EXPECT_FALSE(upgrade.GUIDownloadUpdate(kFolder, true));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(server.Requests(), std::vector<std::string>{"/velto/pad_file.xml"});
}

TEST_F(Download, SaveEULAFileWritesTheLicenceWithCrLfLines) {
    PadSpec shape = OnServer();
    shape.eula = "VELTO LICENCE\nUse it.\r\nShare it.";
    LocalPad(shape);
    upgrade.SaveEULAFile();
    EXPECT_EQ(Read("C:\\Program Files\\Velto\\EULA.txt"),
              "VELTO LICENCE\r\nUse it.\r\nShare it.\r\n");
    machine.Folder("C:\\Docs");
    machine.File("C:\\Docs\\EULA.txt", "an older and much longer licence text");
    upgrade.SaveEULAFile("C:\\Docs");
    EXPECT_EQ(Read("C:\\Docs\\EULA.txt"), "VELTO LICENCE\r\nUse it.\r\nShare it.\r\n");
    EXPECT_EQ(ErrorOf([&] { upgrade.SaveEULAFile("C:\\Nowhere\\"); }), automation::PathNotFound);
}

TEST_F(Download, SaveEULAFileOfAPADFileWithoutLicence) {
    PadSpec shape = OnServer();
    shape.eula.clear();
    LocalPad(shape);
    upgrade.SaveEULAFile(kFolder);
    EXPECT_EQ(Read("C:\\Program Files\\Velto\\EULA.txt"), "\r\n");
}

}  // namespace
}  // namespace Qz_Upgrade::test
