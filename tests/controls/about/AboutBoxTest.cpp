// The About box on the offscreen platform: what it shows, where it keeps it, and what its web
// buttons start.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <filesystem>

#include "controls/about/frmQzAbout.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/automation/PropertyBag.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "tests/controls/about/AboutTestSupport.h"
#include "tests/support/LocalHttpServer.h"

namespace Qz_About::test {
namespace {

// What the About box showed, read while it was open.
struct Seen {
    std::string title;
    std::string product;
    std::string version;
    std::string company;
    std::string copyright;
    std::string description;
    std::string disclaimer;
    std::string companyCaption;
    bool companyEnabled = false;
    bool purchaseVisible = false;
    std::string purchaseText;
    std::string purchaseTip;
    bool associateVisible = false;
    std::string associateText;
    bool picture = false;
    bool companyIcon = false;
};

std::string Text(const QLabel* label) {
    return label->text().toStdString();
}

class AboutBox : public AboutTest {
  protected:
    // Shows the About box and closes it with OK.
    Seen Show(const std::string& sPADFile = {}) {
        Seen seen;
        forms::ScopedModalDriver driver(Driver<frmQzAbout>([&](frmQzAbout& form) {
            seen.title = form.windowTitle().toStdString();
            seen.product = Text(form.lbProductName);
            seen.version = Text(form.lbVersion);
            seen.company = Text(form.lbCompanyName);
            seen.copyright = Text(form.lbCopyright);
            seen.description = Text(form.lbDescription);
            seen.disclaimer = Text(form.lbDisclaimer);
            seen.companyCaption = form.cmdCompanyButton->text().toStdString();
            seen.companyEnabled = form.cmdCompanyButton->isEnabled();
            seen.purchaseVisible = form.cmdPurchaseButton->isVisible();
            seen.purchaseText = form.cmdPurchaseButton->text().toStdString();
            seen.purchaseTip = form.cmdPurchaseButton->toolTip().toStdString();
            seen.associateVisible = form.cmdAssociateButton->isVisible();
            seen.associateText = form.cmdAssociateButton->text().toStdString();
            seen.picture = !form.Image1->pixmap().isNull();
            seen.companyIcon = !form.cmdCompanyButton->icon().isNull();
            form.cmdOK_Click();
            EXPECT_FALSE(form.isVisible());
        }));
        about.ShowAbout(sPADFile);
        return seen;
    }
    // Shows the About box and presses one of its web buttons.
    void Press(void (frmQzAbout::*button)()) {
        forms::ScopedModalDriver driver(Driver<frmQzAbout>([&](frmQzAbout& form) {
            (form.*button)();
            form.cmdOK_Click();
        }));
        about.ShowAbout();
    }
};

TEST_F(AboutBox, ShowsThePADFileAndKeepsItInTheRegistry) {
    AboutPad pad;
    pad.orderURL = "http://127.0.0.1/order";
    pad.extensions["Purchase_Text"] = "Donate";
    pad.extensions["Associate_URL"] = "http://127.0.0.1/associates";
    pad.extensions["Associate_Text"] = "Join us";
    WritePad(pad);
    about.SetPADFile(kPADFile);
    about.SetLegalCopyright("Copyright (C) 2026 Korvane");
    const Seen seen = Show();
    EXPECT_EQ(seen.title, "About Velto");
    EXPECT_EQ(seen.product, "Velto");
    EXPECT_EQ(seen.version, "Version 1.0.12");
    EXPECT_EQ(seen.company, "Korvane");
    EXPECT_EQ(seen.copyright, "Copyright (C) 2026 Korvane");
    EXPECT_EQ(seen.description, "Finds old duplicate system files.");
    EXPECT_EQ(seen.disclaimer, "No warranty.");
    EXPECT_EQ(seen.companyCaption, "Korvane on the web.");
    EXPECT_TRUE(seen.companyEnabled);
    EXPECT_TRUE(seen.purchaseVisible);
    EXPECT_EQ(seen.purchaseText, "Donate");
    EXPECT_EQ(seen.purchaseTip, "Donate");
    EXPECT_TRUE(seen.associateVisible);
    EXPECT_EQ(seen.associateText, "Join us");
    EXPECT_EQ(Cached(kPADFile, "ProgramName"), "Velto");
    EXPECT_EQ(Cached(kPADFile, "CompanyURL"), "http://127.0.0.1/korvane/");
    EXPECT_EQ(Cached(kPADFile, "Desc"), "Finds old duplicate system files.");
    EXPECT_EQ(Cached(kPADFile, "AppOrder"), "http://127.0.0.1/order");
    // The version is read afresh every time, never cached.
    EXPECT_EQ(Cached(kPADFile, "Version"), std::nullopt);

    // The second box for the same program shows the same without its PAD file.
    std::filesystem::remove(machine.HostPath(kPADFile));
    about.SetMajor(1);
    about.SetMinor(0);
    about.SetRevision(12);
    const Seen again = Show();
    EXPECT_EQ(again.product, "Velto");
    EXPECT_EQ(again.version, "Version 1.0.12");
    EXPECT_EQ(again.company, "Korvane");
    EXPECT_EQ(again.description, "Finds old duplicate system files.");
    EXPECT_EQ(again.disclaimer, "No warranty.");
    EXPECT_EQ(again.purchaseText, "Donate");
    EXPECT_TRUE(again.associateVisible);
    EXPECT_TRUE(boxes->History().empty());
}

TEST_F(AboutBox, EachPADFileHasItsOwnCache) {
    AboutPad first;
    WritePad(first);
    AboutPad second;
    second.programName = "Other";
    WritePad(second, "C:\\Other\\pad_file.xml");
    EXPECT_EQ(Show(kPADFile).product, "Velto");
    EXPECT_EQ(about.PADFile(), kPADFile);
    EXPECT_EQ(Show("C:\\Other\\pad_file.xml").product, "Other");
    EXPECT_EQ(Cached("C:\\Other\\pad_file.xml", "ProgramName"), "Other");
    EXPECT_EQ(Cached(kPADFile, "ProgramName"), "Velto");
}

TEST_F(AboutBox, WithoutPADFileOrCacheTheItemsStayEmpty) {
    about.SetPADFile("C:\\Missing\\pad_file.xml");
    const Seen seen = Show();
    EXPECT_EQ(seen.product, "");
    EXPECT_EQ(seen.version, "");
    EXPECT_EQ(seen.description, "");
    EXPECT_FALSE(seen.companyEnabled);
    EXPECT_FALSE(seen.purchaseVisible);
    EXPECT_FALSE(seen.associateVisible);
    EXPECT_EQ(seen.purchaseText, "Purchase");
    EXPECT_EQ(seen.associateText, "Become an Associate");
    EXPECT_EQ(Cached("C:\\Missing\\pad_file.xml", "ProgramName"), std::nullopt);
}

TEST_F(AboutBox, PurchaseAndAssociateButtonsOnlyWithTheirAddresses) {
    struct Case {
        const char* orderURL;
        const char* associateURL;
        const char* purchaseText;
        const char* associateText;
        bool purchaseVisible;
        bool associateVisible;
        const char* purchaseCaption;
        const char* associateCaption;
    };
    const Case cases[] = {
        {"", "", "", "", false, false, "Purchase", "Become an Associate"},
        {"http://127.0.0.1/buy", "", "Buy now", "", true, false, "Buy now", "Become an Associate"},
        {"", "http://127.0.0.1/join", "", "Partner", false, true, "Purchase", "Partner"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        AboutPad pad;
        pad.orderURL = c.orderURL;
        pad.extensions["Associate_URL"] = c.associateURL;
        pad.extensions["Purchase_Text"] = c.purchaseText;
        pad.extensions["Associate_Text"] = c.associateText;
        // A PAD file of its own for each case, so that no cache of another case answers.
        const std::string file = "C:\\Case" + std::to_string(n++) + "\\pad_file.xml";
        WritePad(pad, file);
        const Seen seen = Show(file);
        EXPECT_EQ(seen.purchaseVisible, c.purchaseVisible);
        EXPECT_EQ(seen.associateVisible, c.associateVisible);
        EXPECT_EQ(seen.purchaseText, c.purchaseCaption);
        EXPECT_EQ(seen.purchaseTip, c.purchaseCaption);
        EXPECT_EQ(seen.associateText, c.associateCaption);
    }
}

TEST_F(AboutBox, VersionCaption) {
    struct Case {
        std::int32_t major;
        std::int32_t minor;
        std::int32_t revision;
        const char* padVersion;
        const char* build;
        const char* caption;
    };
    const Case cases[] = {
        {2, 0, 44, "1.0.12", "", "Version 2.0.44"}, {0, 0, 0, "1.0.12", "", "Version 1.0.12"},
        {0, 0, 0, "1.2", "57", "Version 1.2.57"},   {0, 0, 0, "", "", ""},
        {0, 0, 7, "1.0.12", "", "Version 0.0.7"},   {3, -1, 5, "1.0.12", "", "Version 3.5"},
        {3, 1, -1, "1.0.12", "", "Version 3.1"},    {-1, 2, 3, "1.0.12", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        AboutPad pad;
        pad.version = c.padVersion;
        pad.build = c.build;
        WritePad(pad);
        about.SetMajor(c.major);
        about.SetMinor(c.minor);
        about.SetRevision(c.revision);
        EXPECT_EQ(Show(kPADFile).version, c.caption);
    }
}

TEST_F(AboutBox, DescriptionTakesTheLongestTextInTheLanguageOrTheFirstLanguage) {
    struct Case {
        const char* language;
        std::vector<std::pair<std::string, std::vector<std::string>>> descriptions;
        const char* shown;
    };
    const Case cases[] = {
        {"English", {{"English", {"Long", "Medium", "Short", "Shorter", "Tiny"}}}, "Long"},
        {"English", {{"English", {"", "", "", "Shorter", "Tiny"}}}, "Shorter"},
        {"German",
         {{"English", {"", "", "", "", "Tiny"}}, {"German", {"", "Mittel", "", "", "Winzig"}}},
         "Mittel"},
        {"French",
         {{"German", {"", "", "Kurz", "", ""}}, {"English", {"Long", "", "", "", ""}}},
         "Kurz"},
        {"English",
         {{"English", {"", "", "", "", ""}}, {"German", {"", "", "", "", "Winzig"}}},
         ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        AboutPad pad;
        pad.descriptions = c.descriptions;
        const std::string file = "C:\\Desc" + std::to_string(n++) + "\\pad_file.xml";
        WritePad(pad, file);
        about.SetLanguage(c.language);
        EXPECT_EQ(Show(file).description, c.shown);
    }
}

TEST_F(AboutBox, PicturesComeFromTheirAddresses) {
    testsupport::LocalHttpServer server;
    server.Serve("/icon.png", PngBytes(), "image/png");
    server.Serve("/company.png", PngBytes(), "image/png");
    server.Serve("/broken.png", "not a picture", "image/png");
    AboutPad pad;
    pad.iconURL = server.Url("/icon.png");
    pad.extensions["Company_Icon_URL"] = server.Url("/company.png");
    WritePad(pad);
    const Seen seen = Show(kPADFile);
    EXPECT_TRUE(seen.picture);
    EXPECT_TRUE(seen.companyIcon);

    // A picture that cannot be had leaves the picture alone and says nothing.
    AboutPad broken;
    broken.iconURL = server.Url("/broken.png");
    broken.extensions["Company_Icon_URL"] = server.Url("/missing.png");
    WritePad(broken, "C:\\Broken\\pad_file.xml");
    const Seen none = Show("C:\\Broken\\pad_file.xml");
    EXPECT_FALSE(none.picture);
    EXPECT_FALSE(none.companyIcon);
    EXPECT_TRUE(boxes->History().empty());
}

TEST_F(AboutBox, WebButtonsOpenTheRegisteredBrowser) {
    struct Case {
        const char* registered;  // "" when no command is registered
        const char* url;
        std::vector<std::string> started;
    };
    const Case cases[] = {
        {"xdg-open \"%1\"", "http://127.0.0.1/korvane/", {"xdg-open", "http://127.0.0.1/korvane/"}},
        {"browser --new-window",
         "https://127.0.0.1/a",
         {"browser", "--new-window", "https://127.0.0.1/a"}},
        {"browser %L", "http://127.0.0.1/a b\"c", {"browser", "http://127.0.0.1/a%20b%22c"}},
        {"browser", "127.0.0.1:8080/velto", {"browser", "http://127.0.0.1:8080/velto"}},
        {"", "mailto:sales@127.0.0.1", {"xdg-open", "mailto:sales@127.0.0.1"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        AboutPad pad;
        pad.companyURL = c.url;
        // A PAD file of its own for each case, so that no cache of another case answers.
        const std::string file = "C:\\Web" + std::to_string(n++) + "\\pad_file.xml";
        WritePad(pad, file);
        about.SetPADFile(file);
        RegisterBrowser(c.registered);
        launcher->requests.clear();
        Press(&frmQzAbout::cmdCompanyButton_Click);
        ASSERT_EQ(launcher->requests.size(), 1u);
        EXPECT_EQ(launcher->requests[0], c.started);
    }
    EXPECT_TRUE(boxes->History().empty());
}

TEST_F(AboutBox, EachButtonOpensItsOwnAddress) {
    AboutPad pad;
    pad.orderURL = "http://127.0.0.1/order";
    pad.extensions["Associate_URL"] = "http://127.0.0.1/join";
    WritePad(pad);
    about.SetPADFile(kPADFile);
    RegisterBrowser("browser \"%1\"");
    Press(&frmQzAbout::cmdCompanyButton_Click);
    Press(&frmQzAbout::cmdPurchaseButton_Click);
    Press(&frmQzAbout::cmdAssociateButton_Click);
    EXPECT_EQ(launcher->requests,
              (std::vector<std::vector<std::string>>{{"browser", "http://127.0.0.1/korvane/"},
                                                     {"browser", "http://127.0.0.1/order"},
                                                     {"browser", "http://127.0.0.1/join"}}));
}

// A browser the host cannot run (a machine brought over from Windows) gives way to the
// desktop's handler; when nothing starts, the user is told.
TEST_F(AboutBox, ABrowserThatCannotStart) {
    WritePad(AboutPad{});
    about.SetPADFile(kPADFile);
    RegisterBrowser("C:\\IE\\IEXPLORE.EXE %1");
    machine.Folder("C:\\IE");
    const std::string browser = machine.HostPath("C:\\IE\\IEXPLORE.EXE").string();
    launcher->failing[browser] = true;
    Press(&frmQzAbout::cmdCompanyButton_Click);
    EXPECT_EQ(launcher->requests,
              (std::vector<std::vector<std::string>>{{browser, "http://127.0.0.1/korvane/"},
                                                     {"xdg-open", "http://127.0.0.1/korvane/"}}));
    EXPECT_TRUE(boxes->History().empty());

    launcher->failing["xdg-open"] = true;
    Press(&frmQzAbout::cmdCompanyButton_Click);
    ASSERT_EQ(boxes->MsgBoxes().size(), 1u);
    EXPECT_EQ(boxes->MsgBoxes()[0].prompt.rfind("Unable to open http://127.0.0.1/korvane/.", 0),
              0u);
}

// The addresses come from a PAD file that the update check may have fetched from anywhere.
TEST_F(AboutBox, OnlyWebAddressesAreOpened) {
    RegisterBrowser("browser \"%1\"");
    const char* refused[] = {"C:\\WINDOWS\\NOTEPAD.EXE", "file:///etc/passwd",
                             "javascript:alert(1)", "/usr/bin/xterm", "ftp://127.0.0.1/x"};
    int n = 0;
    for (const char* url : refused) {
        SCOPED_TRACE(url);
        AboutPad pad;
        pad.companyURL = url;
        const std::string file = "C:\\Refused" + std::to_string(n++) + "\\pad_file.xml";
        WritePad(pad, file);
        about.SetPADFile(file);
        const std::size_t before = boxes->MsgBoxes().size();
        Press(&frmQzAbout::cmdCompanyButton_Click);
        EXPECT_TRUE(launcher->requests.empty());
        ASSERT_EQ(boxes->MsgBoxes().size(), before + 1);
        EXPECT_EQ(boxes->MsgBoxes().back().prompt,
                  std::string("\"") + url + "\" is not a web address, so it is not opened.");
    }
}

TEST_F(AboutBox, AnEmptyPADFileBecomesTheCurrentFoldersQzAboutXml) {
    machine.Folder("C:\\Work");
    ASSERT_TRUE(win32::SetCurrentDirectoryA("C:\\Work"));
    std::vector<std::string> changed;
    about.PropertyChanged.Connect([&](const std::string& name) { changed.push_back(name); });
    Show();
    EXPECT_EQ(about.PADFile(), "C:\\Work\\QzAbout.xml");
    EXPECT_EQ(changed, std::vector<std::string>{"PADFile"});
    ASSERT_TRUE(win32::SetCurrentDirectoryA("C:\\"));
    about.SetPADFile("");
    Show();
    EXPECT_EQ(about.PADFile(), "C:\\QzAbout.xml");
}

TEST_F(AboutBox, PersistedPropertiesAndItsOwnAboutBox) {
    const auto made = automation::CreateObjectAs<QzAbout>("Qz_About.QzAbout");
    EXPECT_EQ(made->Language(), "English");
    automation::PropertyBag bag;
    made->WriteProperties(bag);
    EXPECT_TRUE(bag.Properties().empty());
    made->SetPADFile(kPADFile);
    made->SetLanguage("German");
    made->WriteProperties(bag);
    QzAbout restored;
    restored.ReadProperties(bag);
    EXPECT_EQ(restored.PADFile(), kPADFile);
    EXPECT_EQ(restored.Language(), "German");
    restored.AboutDisplay();
    ASSERT_EQ(boxes->MsgBoxes().size(), 1u);
    EXPECT_EQ(boxes->MsgBoxes()[0].title, "About QzAbout");
}

}  // namespace
}  // namespace Qz_About::test
