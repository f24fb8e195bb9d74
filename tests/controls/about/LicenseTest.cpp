// The licence-agreement dialog on the offscreen platform: both display modes and every way of
// leaving it.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

#include "controls/about/frmQzLicense.h"
#include "controls/xml/QzXML.h"
#include "platform/automation/Errors.h"
#include "tests/controls/about/AboutTestSupport.h"

namespace Qz_About::test {
namespace {

enum class Leave { Yes, No, CloseBox };

struct Shown {
    std::string title;
    std::string text;
    std::string question;
    std::string okCaption;
    bool noVisible = false;
    std::string noCaption;
};

class License : public AboutTest {
  protected:
    License() {
        WritePad(AboutPad{});
        about.SetPADFile(kPADFile);
    }
    bool Show(bool initialDisplay, Leave leave) {
        forms::ScopedModalDriver driver(Driver<frmQzLicense>([&](frmQzLicense& form) {
            shown.title = form.windowTitle().toStdString();
            shown.text = form.txLicense->toPlainText().toStdString();
            shown.question = form.lbQuestion->text().toStdString();
            shown.okCaption = form.cmdOK->text().toStdString();
            shown.noVisible = form.cmdNo->isVisible();
            shown.noCaption = form.cmdNo->text().toStdString();
            if (leave == Leave::Yes) {
                form.cmdOK_Click();
            } else if (leave == Leave::No) {
                form.cmdNo_Click();
            }
            // Leave::CloseBox: the driver closes it as the user's close box would.
        }));
        return about.ShowLicense({}, initialDisplay);
    }
    Shown shown;
};

TEST_F(License, EveryWayOfLeavingIt) {
    struct Case {
        bool initialDisplay;
        Leave leave;
        bool accepted;
    };
    const Case cases[] = {
        {false, Leave::Yes, true}, {false, Leave::CloseBox, false}, {true, Leave::Yes, true},
        {true, Leave::No, false},  {true, Leave::CloseBox, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.initialDisplay) + " " +
                     std::to_string(static_cast<int>(c.leave)));
        EXPECT_EQ(Show(c.initialDisplay, c.leave), c.accepted);
    }
}

TEST_F(License, AnAgreedLicenceShowsASingleOK) {
    EXPECT_TRUE(Show(false, Leave::Yes));
    EXPECT_EQ(shown.title, "License");
    EXPECT_EQ(shown.text, "VELTO LICENCE\nUse it wisely.");
    EXPECT_EQ(shown.okCaption, "OK");
    EXPECT_FALSE(shown.noVisible);
    EXPECT_EQ(shown.question, "You have accepted this License Agreement.");
}

TEST_F(License, AnOfferedLicenceAsks) {
    EXPECT_FALSE(Show(true, Leave::No));
    EXPECT_EQ(shown.okCaption, "Yes");
    EXPECT_TRUE(shown.noVisible);
    EXPECT_EQ(shown.noCaption, "No");
    EXPECT_EQ(shown.question, "Do you agree with this License Agreement?");
    // The question goes again after an offered display.
    EXPECT_TRUE(Show(false, Leave::Yes));
    EXPECT_FALSE(shown.noVisible);
}

TEST_F(License, ALicenceThatCannotBeReadIsAnError) {
    about.SetPADFile("C:\\Missing\\pad_file.xml");
    bool shownAnyway = false;
    forms::ScopedModalDriver driver(
        Driver<frmQzLicense>([&](frmQzLicense&) { shownAnyway = true; }));
    try {
        about.ShowLicense({}, true);
        ADD_FAILURE() << "no error";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Number(), automation::vbObjectError + Qz_XML::QzXMLErrorFileDoesNotExist);
    }
    EXPECT_FALSE(shownAnyway);
    EXPECT_TRUE(forms::LoadedForms().empty());
}

}  // namespace
}  // namespace Qz_About::test
