// UpdateAvailable against a server on 127.0.0.1: the published PAD file and its fallbacks, web
// pages in its place, and the local PAD file restored whenever the check fails.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/PropertyBag.h"
#include "tests/controls/upgrade/UpgradeTestSupport.h"

namespace Qz_Upgrade::test {
namespace {

using testsupport::HttpResponse;

std::int32_t ErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const automation::Error& e) {
        return e.Number();
    }
    return 0;
}

std::string LinkPage(const std::string& link) {
    return "<HTML><HEAD><TITLE>Velto downloads</TITLE></HEAD><BODY>\r\n"
           "<A HREF=\"http://127.0.0.1/\">home</A> <P>Get the description: <A HREF=\"" +
           link + "\">" + link + "</A></BODY></HTML>\r\n";
}

class UpdateCheck : public UpgradeTest {
  protected:
    UpdateCheck() {
        local = OnServer();
        local.version = "1.0.12";
    }
    // Publishes a PAD file that is the local one with another version.
    std::string Publish(const std::string& path, const std::string& version,
                        const std::string& build = {}) {
        PadSpec published = local;
        published.version = version;
        published.build = build;
        const std::string text = PadText(published);
        server.Serve(path, text, "text/xml");
        return text;
    }

    PadSpec local;
};

TEST_F(UpdateCheck, ComparesThePublishedVersionWithTheInstalledOne) {
    struct Case {
        const char* published;
        const char* build;
        const char* major;
        const char* minor;
        const char* revision;
        bool newer;
        const char* minorAfter;
        const char* revisionAfter;
    };
    const Case cases[] = {
        {"1.5.0", "", "1", "4", "2", true, "4", "2"},
        {"1.4.2", "", "1", "4", "2", false, "4", "2"},
        {"1.4.10", "", "1", "4", "2", true, "4", "02"},
        {"1.9.9", "", "2", "0", "0", false, "0", "0"},
        {"2", "", "1", "4", "2", true, "4", "2"},
        {"1", "", "1", "4", "2", false, "4", "2"},
        {"1.4", "57", "1", "4", "56", true, "4", "56"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.published) + " over " + c.major + "." + c.minor + "." +
                     c.revision);
        LocalPad(local);
        const std::string published = Publish("/velto/pad_file.xml", c.published, c.build);
        upgrade.SetMajor(c.major);
        upgrade.SetMinor(c.minor);
        upgrade.SetRevision(c.revision);
        EXPECT_EQ(upgrade.UpdateAvailable(), c.newer);
        EXPECT_EQ(upgrade.Minor(), c.minorAfter);
        EXPECT_EQ(upgrade.Revision(), c.revisionAfter);
        // The published file now stands in place of the local one, which is kept as .bak.
        EXPECT_EQ(Read(kPADFile), published);
        EXPECT_EQ(Read(std::string(kPADFile) + ".bak"), PadText(local));
        EXPECT_FALSE(Exists(std::string(kPADFile) + ".fail"));
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(UpdateCheck, FollowsAWebPageThatLinksToThePADFile) {
    LocalPad(local);
    server.Serve("/velto/pad_file.xml", LinkPage(server.Url("/files/pad_file.xml")), "text/html");
    const std::string published = Publish("/files/pad_file.xml", "1.1.0");
    EXPECT_TRUE(upgrade.UpdateAvailable());
    EXPECT_EQ(Read(kPADFile), published);
    EXPECT_EQ(server.Requests(),
              (std::vector<std::string>{"/velto/pad_file.xml", "/files/pad_file.xml"}));
}

TEST_F(UpdateCheck, TriesTheFallbackAddresses) {
    struct Case {
        const char* what;
        // Responses by path; a path left out answers 404.
        std::vector<std::pair<std::string, std::string>> served;
        std::array<std::string, 4> fallbacks;
        bool updated;
        std::vector<std::string> requests;
    };
    const std::string page = "<HTML><BODY>Moved; no link here.</BODY></HTML>";
    const Case cases[] = {
        {"the second fallback answers",
         {{"/b/pad_file.xml", "good"}},
         {"/a/pad_file.xml", "/b/pad_file.xml", "/c/pad_file.xml", ""},
         true,
         {"/velto/pad_file.xml", "/a/pad_file.xml", "/b/pad_file.xml"}},
        {"an empty fallback ends the attempt",
         {{"/b/pad_file.xml", "good"}},
         {"/a/pad_file.xml", "", "/b/pad_file.xml", ""},
         false,
         {"/velto/pad_file.xml", "/a/pad_file.xml"}},
        {"a web page without a link, then the first fallback",
         {{"/velto/pad_file.xml", page}, {"/a/pad_file.xml", "good"}},
         {"/a/pad_file.xml", "", "", ""},
         true,
         {"/velto/pad_file.xml", "/a/pad_file.xml"}},
        {"a fallback's page is not searched for links; later fallbacks are tried",
         {{"/a/pad_file.xml", LinkPage("http://127.0.0.1/x/pad_file.xml")},
          {"/c/pad_file.xml", "good"}},
         {"/a/pad_file.xml", "", "/c/pad_file.xml", ""},
         true,
         {"/velto/pad_file.xml", "/a/pad_file.xml", "/c/pad_file.xml"}},
        {"nothing valid anywhere",
         {{"/velto/pad_file.xml", page}, {"/d/pad_file.xml", page}},
         {"/a/pad_file.xml", "", "", "/d/pad_file.xml"},
         false,
         {"/velto/pad_file.xml", "/a/pad_file.xml", "/d/pad_file.xml"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::LocalHttpServer caseServer;
        PadSpec shape = local;
        shape.xmlUrl = caseServer.Url("/velto/pad_file.xml");
        for (std::size_t i = 0; i < 4; ++i) {
            shape.fallbacks[i] = c.fallbacks[i].empty() ? "" : caseServer.Url(c.fallbacks[i]);
        }
        LocalPad(shape);
        PadSpec published = shape;
        published.version = "2.0.0";
        for (const auto& [path, body] : c.served) {
            caseServer.Serve(path, body == "good" ? PadText(published) : body, "text/xml");
        }
        EXPECT_EQ(upgrade.UpdateAvailable(), c.updated);
        EXPECT_EQ(caseServer.Requests(), c.requests);
        EXPECT_EQ(Read(kPADFile), c.updated ? PadText(published) : PadText(shape));
        EXPECT_EQ(Exists(std::string(kPADFile) + ".fail"), !c.updated);
        std::filesystem::remove(machine.HostPath(std::string(kPADFile) + ".fail"));
    }
}

TEST_F(UpdateCheck, AFailedCheckKeepsWhatCameAndRestoresTheLocalFile) {
    LocalPad(local);
    const std::string page = "<HTML><BODY>Not a PAD file</BODY></HTML>";
    server.Serve("/velto/pad_file.xml", page, "text/html");
    EXPECT_FALSE(upgrade.UpdateAvailable());
    EXPECT_EQ(Read(kPADFile), PadText(local));
    EXPECT_EQ(Read(std::string(kPADFile) + ".fail"), page);
    EXPECT_EQ(Read(std::string(kPADFile) + ".bak"), PadText(local));
    // The reader reads the restored file again, not the page it saw last.
    server.Serve("/velto/pad_file.xml", PadText(local), "text/xml");
    EXPECT_FALSE(upgrade.UpdateAvailable());
}

TEST_F(UpdateCheck, AnEmptyAddressSaysSoWithoutARequest) {
    local.xmlUrl.clear();
    local.fallbacks[0] = server.Url("/velto/pad_file.xml");
    LocalPad(local);
    EXPECT_FALSE(upgrade.UpdateAvailable());
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"Unable to determine the URL to check.  Please visit the "
                                          "vendor's website.",
                                          48, "URL not found"}}));
    EXPECT_EQ(Read(kPADFile), PadText(local));
}

// Nobody answering is an error for the host, not "no update", and it comes with the local
// PAD file back in place even when a web page had already been copied over it.
TEST_F(UpdateCheck, ATransferErrorReachesTheHostAfterTheLocalFileIsRestored) {
    local.fallbacks[0] =
        "http://127.0.0.1:" + std::to_string(testsupport::LocalHttpServer::ClosedPort()) +
        "/pad_file.xml";
    LocalPad(local);
    server.Serve("/velto/pad_file.xml", "<HTML><BODY>Nothing here</BODY></HTML>", "text/html");
    EXPECT_EQ(ErrorOf([&] { upgrade.UpdateAvailable(); }), InetCtls::icCannotConnect);
    EXPECT_EQ(Read(kPADFile), PadText(local));
    EXPECT_TRUE(Exists(std::string(kPADFile) + ".fail"));
}

// The fallback addresses are there for the day the published one is down.
TEST_F(UpdateCheck, APublishedAddressThatCannotBeReachedGivesWayToTheFallbacks) {
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(testsupport::LocalHttpServer::ClosedPort()) +
        "/pad_file.xml";
    local.xmlUrl = refused;
    local.fallbacks = {server.Url("/a/pad_file.xml"), server.Url("/b/pad_file.xml"), "", ""};
    LocalPad(local);
    const std::string published = Publish("/b/pad_file.xml", "1.1.0");
    EXPECT_TRUE(upgrade.UpdateAvailable());
    EXPECT_EQ(Read(kPADFile), published);
    EXPECT_EQ(server.Requests(), (std::vector<std::string>{"/a/pad_file.xml", "/b/pad_file.xml"}));

    // With every address down the host hears of each one, and keeps its own PAD file.
    local.fallbacks = {refused + "?second", "", "", ""};
    LocalPad(local);
    std::string message;
    try {
        upgrade.UpdateAvailable();
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), InetCtls::icCannotConnect);
        message = error.Description();
    }
    EXPECT_NE(message.find(refused + ": "), std::string::npos) << message;
    EXPECT_NE(message.find(refused + "?second: "), std::string::npos) << message;
    EXPECT_EQ(Read(kPADFile), PadText(local));
}

TEST_F(UpdateCheck, AMissingLocalPADFileIsAFileError) {
    upgrade.SetPADFile(kPADFile);
    EXPECT_EQ(ErrorOf([&] { upgrade.UpdateAvailable(); }), automation::FileNotFound);
    EXPECT_FALSE(Exists(std::string(kPADFile) + ".bak"));
    EXPECT_FALSE(Exists(std::string(kPADFile) + ".fail"));
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(UpdateCheck, CreatedByNameWithItsPersistedPADFile) {
    const auto made = automation::CreateObjectAs<QzUpgrade>("Qz_Upgrade.QzUpgrade");
    std::vector<std::string> changed;
    made->PropertyChanged.Connect([&](const std::string& name) { changed.push_back(name); });
    made->SetPADFile(kPADFile);
    EXPECT_EQ(changed, std::vector<std::string>{"PADFile"});
    automation::PropertyBag bag;
    made->WriteProperties(bag);
    EXPECT_EQ(bag.ReadProperty("PADFile"), automation::Variant(kPADFile));
    QzUpgrade restored;
    restored.ReadProperties(bag);
    EXPECT_EQ(restored.PADFile(), kPADFile);
    made->SetPADFile("");
    automation::PropertyBag empty;
    made->WriteProperties(empty);
    EXPECT_FALSE(empty.Contains("PADFile"));
}

}  // namespace
}  // namespace Qz_Upgrade::test
