#include "platform/forms/Twips.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <cmath>
#include <limits>

#include "platform/automation/Errors.h"
#include "platform/dialogs/Clock.h"
#include "platform/forms/Application.h"
#include "platform/forms/ControlArray.h"
#include "platform/forms/Form.h"
#include "platform/forms/QtDialogs.h"
#include "platform/forms/StatusBar.h"
#include "tests/platform/forms/QtTestSupport.h"

namespace forms {
namespace {

template <typename F>
void ExpectError(std::int32_t number, F&& f) {
    try {
        f();
        ADD_FAILURE() << "no error, expected " << number;
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Number(), number);
    }
}

TEST(Twips, ToPixelsRoundsToTheNearestPixel) {
    const std::pair<double, int> cases[] = {{0, 0},   {15, 1},    {7, 0},      {7.5, 1},
                                            {8, 1},   {22.5, 2},  {7275, 485}, {-7, 0},
                                            {-8, -1}, {-7.5, -1}, {735, 49}};
    for (const auto& [twips, pixels] : cases) {
        EXPECT_EQ(TwipsToPixels(twips), pixels) << twips;
    }
    EXPECT_EQ(PixelsToTwips(485), 7275);
    EXPECT_EQ(PixelsToTwips(-2), -30);
}

TEST(Twips, ChildControlGeometryRoundTrips) {
    test::TestApp();
    QWidget parent;
    QLabel label(&parent);
    Move(label, 150, 300, 1500, 450);
    EXPECT_EQ(label.geometry(), QRect(10, 20, 100, 30));
    EXPECT_EQ(Left(label), 150);
    EXPECT_EQ(Top(label), 300);
    EXPECT_EQ(Width(label), 1500);
    EXPECT_EQ(Height(label), 450);
    SetLeft(label, -300);  // scrolled out of view, as clipping does
    SetTop(label, 45);
    SetWidth(label, 3000);
    SetHeight(label, 0);
    EXPECT_EQ(label.geometry(), QRect(-20, 3, 200, 0));
}

TEST(Twips, NegativeOrNonNumericSizesAreRefused) {
    test::TestApp();
    QWidget parent;
    QLabel label(&parent);
    Move(label, 150, 300, 1500, 450);
    ExpectError(automation::InvalidPropertyValue, [&] { SetWidth(label, -15); });
    ExpectError(automation::InvalidPropertyValue, [&] { SetHeight(label, std::nan("")); });
    ExpectError(automation::InvalidPropertyValue, [&] { Move(label, 0, 0, 15, -1); });
    EXPECT_EQ(label.geometry(), QRect(10, 20, 100, 30));
}

TEST(Twips, FontSizeInPoints) {
    test::TestApp();
    QLabel label;
    SetFontSize(label, 8.25);
    EXPECT_DOUBLE_EQ(FontSize(label), 8.25);
    SetFontSize(label, 12);
    EXPECT_DOUBLE_EQ(FontSize(label), 12);
    for (double bad : {0.0, -3.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        ExpectError(automation::InvalidPropertyValue, [&] { SetFontSize(label, bad); });
    }
    EXPECT_DOUBLE_EQ(FontSize(label), 12);
}

TEST(Twips, FormClientAreaIsItsScaleSize) {
    test::TestApp();
    Form form;
    form.resize(600, 485);
    EXPECT_EQ(form.ScaleWidth(), 9000);
    EXPECT_EQ(form.ScaleHeight(), 7275);
    SetWidth(form, 4500);
    EXPECT_EQ(Width(form), 4500);
}

TEST(Startup, OffscreenOnlyWithoutAnyDisplayOrChosenPlatform) {
    const struct {
        const char* display;
        const char* wayland;
        const char* qpa;
        bool offscreen;
    } cases[] = {
        {nullptr, nullptr, nullptr, true}, {"", "", "", true},
        {":0", nullptr, nullptr, false},   {nullptr, "wayland-0", nullptr, false},
        {nullptr, nullptr, "xcb", false},  {nullptr, nullptr, "offscreen", false},
    };
    for (const auto& c : cases) {
        const auto platform = HeadlessPlatform(c.display, c.wayland, c.qpa);
        EXPECT_EQ(platform.has_value(), c.offscreen);
        if (platform) {
            EXPECT_EQ(*platform, "offscreen");
        }
    }
}

TEST(Startup, TestsRunHeadlessAndDoEventsPumpsQt) {
    EXPECT_TRUE(test::TestApp().Headless());
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    dialogs::DoEvents();
    EXPECT_TRUE(ran);
}

TEST(Filters, QtNameFiltersAddBothCases) {
    const QStringList filters = QtNameFilters("HTML File|*.htm;*.html|All|*.*");
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0], "HTML File (*.htm *.HTM *.html *.HTML)");
    EXPECT_EQ(filters[1], "All (*.*)");
    EXPECT_EQ(QtNameFilters("Mixed|*.Dll")[0], "Mixed (*.Dll *.dll *.DLL)");
    EXPECT_TRUE(QtNameFilters("").isEmpty());
}

TEST(ControlArrays, ShareTheNameAndNumberTheIndex) {
    test::TestApp();
    QWidget form;
    const auto boxes = CreateControlArray<QCheckBox, 12>(&form, "ckComp");
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(boxes[static_cast<std::size_t>(i)]->objectName(), "ckComp");
        EXPECT_EQ(ControlIndex(*boxes[static_cast<std::size_t>(i)]), i);
        EXPECT_EQ(boxes[static_cast<std::size_t>(i)]->parent(), &form);
    }
    QCheckBox single(&form);
    EXPECT_FALSE(ControlIndex(single));
}

TEST(StatusBarTest, SimpleTextStaysAsSet) {
    test::TestApp();
    StatusBar bar;
    EXPECT_EQ(bar.SimpleText(), "");
    bar.SetSimpleText("Right-Click for additional menu items");
    EXPECT_EQ(bar.SimpleText(), "Right-Click for additional menu items");
    // Menu hints are temporary messages; they must not wipe the line.
    bar.showMessage("a menu hint");
    bar.clearMessage();
    EXPECT_EQ(bar.SimpleText(), "Right-Click for additional menu items");
    bar.SetSimpleText("<b>C:\\A\\X.DLL</b> flagged for delete.");
    EXPECT_EQ(bar.SimpleText(), "<b>C:\\A\\X.DLL</b> flagged for delete.");
}

}  // namespace
}  // namespace forms
