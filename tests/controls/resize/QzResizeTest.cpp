#include "controls/resize/QzResize.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "platform/automation/Errors.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/forms/Form.h"
#include "platform/forms/Twips.h"
#include "tests/platform/forms/QtTestSupport.h"

namespace Qz_Resize {
namespace {

constexpr int kPictureBits = kSkipPictureWidth | kSkipPictureHeight;
constexpr int kEverything = kSkipPosition | kSkipFont | kSkipPicture;

QIcon SquareIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    return QIcon(pixmap);
}

template <typename T>
T* Place(QWidget* parent, const char* name, QRect geometry) {
    auto* control = new T(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    return control;
}

QRect Scaled(QRect r, double x, double y) {
    return QRect(qRound(r.x() * x), qRound(r.y() * y), qRound(r.width() * x),
                 qRound(r.height() * y));
}

// A 400 x 300 pixel form with one control of every kind the scaler meets.
class QzResizeTest : public forms::test::QtFixture {
  protected:
    QzResizeTest() {
        form.setObjectName("frmTest");
        form.resize(400, 300);
        lbTitle = Place<QLabel>(&form, "lbTitle", {20, 10, 200, 20});
        QFont font = lbTitle->font();
        font.setPointSizeF(8);
        lbTitle->setFont(font);
        cmdOK = Place<QPushButton>(&form, "cmdOK", {300, 260, 80, 30});
        nosLogo = Place<QLabel>(&form, "nosLogo", {20, 40, 100, 30});
        nofNote = Place<QLabel>(&form, "nofNote", {20, 80, 200, 20});
        cmdPic = Place<QPushButton>(&form, "cmdPic", {300, 40, 60, 40});
        cmdPic->setIcon(SquareIcon());
        cmdPic->setIconSize({16, 16});
        nopPic = Place<QPushButton>(&form, "nopPic", {300, 100, 60, 40});
        nopPic->setIcon(SquareIcon());
        nopPic->setIconSize({16, 16});
        Line1 = Place<QFrame>(&form, "Line1", {0, 250, 400, 2});
        Line1->setFrameShape(QFrame::HLine);
        frOptions = Place<QGroupBox>(&form, "frOptions", {20, 120, 200, 100});
        ckA = Place<QCheckBox>(frOptions, "ckA", {10, 20, 100, 20});
        nofInner = Place<QLabel>(frOptions, "nofInner", {10, 50, 100, 20});
        Timer1 = new QTimer(&form);
        Timer1->setObjectName("Timer1");
        unnamed = Place<QLabel>(&form, "", {250, 10, 40, 20});
        resizer = new QzResize(&form);
    }

    void AddScrollBars() {
        QzVScroll = Place<QScrollBar>(&form, "QzVScroll", {380, 0, 20, 280});
        QzVScroll->setOrientation(Qt::Vertical);
        QzHScroll = Place<QScrollBar>(&form, "QzHScroll", {0, 280, 380, 20});
        QzHScroll->setOrientation(Qt::Horizontal);
        QzBox = Place<QWidget>(&form, "QzBox", {380, 280, 20, 20});
    }

    // Sets the form's size in pixels and tells the control, as the form's resize event does.
    void ResizeForm(int width, int height) {
        form.resize(width, height);
        resizer->Resize();
    }

    QWidget form;
    QLabel* lbTitle;
    QPushButton* cmdOK;
    QLabel* nosLogo;
    QLabel* nofNote;
    QPushButton* cmdPic;
    QPushButton* nopPic;
    QFrame* Line1;
    QGroupBox* frOptions;
    QCheckBox* ckA;
    QLabel* nofInner;
    QTimer* Timer1;
    QLabel* unnamed;
    QzResize* resizer;
    QScrollBar* QzVScroll = nullptr;
    QScrollBar* QzHScroll = nullptr;
    QWidget* QzBox = nullptr;
};

TEST_F(QzResizeTest, CaptureSetsSkipFlagsFromNamesAndMissingProperties) {
    auto* caseMatters = Place<QLabel>(&form, "NOSlabel", {20, 230, 50, 10});
    auto* child = Place<QDialog>(&form, "dlgChild", {0, 0, 100, 100});
    child->setWindowFlags(Qt::Dialog);
    resizer->Resize();
    const struct {
        QObject* control;
        std::optional<int> flags;
    } cases[] = {
        {lbTitle, kPictureBits},
        {cmdOK, kPictureBits},  // a button without a picture
        {cmdPic, 0},
        {nosLogo, kSkipPosition | kPictureBits},
        {nofNote, kSkipFont | kPictureBits},
        {nopPic, kPictureBits},
        {Line1, kSkipFont | kPictureBits},
        {ckA, kPictureBits},
        {Timer1, kEverything},
        {resizer, kEverything},  // the control is one of the form's controls itself
        {caseMatters, kPictureBits},
        {unnamed, std::nullopt},
        {child, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resizer->SkipFlags(*c.control), c.flags) << c.control->objectName().toStdString();
    }
    EXPECT_TRUE(resizer->Initialised());
    EXPECT_EQ(resizer->DesignWidth(), 6000);
    EXPECT_EQ(resizer->DesignHeight(), 4500);
}

TEST_F(QzResizeTest, FirstResizeOnlyCapturesAFormThatFitsTheScreen) {
    form.resize(600, 450);
    resizer->Resize();
    EXPECT_EQ(lbTitle->geometry(), QRect(20, 10, 200, 20));
    EXPECT_EQ(resizer->DesignWidth(), 9000);
}

TEST_F(QzResizeTest, GrowingScalesPositionsFontsAndPicturesExceptWhereNamesSayNo) {
    resizer->Resize();
    const double titleFont = forms::FontSize(*lbTitle);
    const double noteFont = forms::FontSize(*nofNote);
    const double innerFont = forms::FontSize(*nofInner);
    const double checkFont = forms::FontSize(*ckA);
    const double logoFont = forms::FontSize(*nosLogo);
    ResizeForm(600, 450);

    EXPECT_EQ(lbTitle->geometry(), QRect(30, 15, 300, 30));
    EXPECT_DOUBLE_EQ(forms::FontSize(*lbTitle), titleFont * 1.5);
    EXPECT_EQ(cmdOK->geometry(), QRect(450, 390, 120, 45));
    // "nos": neither moved nor sized, but its font grows.
    EXPECT_EQ(nosLogo->geometry(), QRect(20, 40, 100, 30));
    EXPECT_DOUBLE_EQ(forms::FontSize(*nosLogo), logoFont * 1.5);
    // "nof": moved and sized, font kept, even inside a frame whose font grows.
    EXPECT_EQ(nofNote->geometry(), QRect(30, 120, 300, 30));
    EXPECT_DOUBLE_EQ(forms::FontSize(*nofNote), noteFont);
    EXPECT_DOUBLE_EQ(forms::FontSize(*nofInner), innerFont);
    EXPECT_DOUBLE_EQ(forms::FontSize(*ckA), checkFont * 1.5);
    EXPECT_EQ(ckA->geometry(), QRect(15, 30, 150, 30));
    // Pictures: scaled unless "nop".
    EXPECT_EQ(cmdPic->iconSize(), QSize(24, 24));
    EXPECT_EQ(nopPic->iconSize(), QSize(16, 16));
    // A line at the left edge has a zero Left and gets its other measures one at a time.
    EXPECT_EQ(Line1->geometry(), QRect(0, 375, 600, 3));
    // Not a control: left where it was.
    EXPECT_EQ(unnamed->geometry(), QRect(250, 10, 40, 20));
}

TEST_F(QzResizeTest, ScalingFollowsTheDesignNotThePreviousSize) {
    resizer->Resize();
    for (const QSize size : {QSize(600, 450), QSize(520, 390), QSize(400, 300), QSize(600, 450)}) {
        ResizeForm(size.width(), size.height());
    }
    EXPECT_EQ(lbTitle->geometry(), QRect(30, 15, 300, 30));
    ResizeForm(400, 300);
    EXPECT_EQ(lbTitle->geometry(), QRect(20, 10, 200, 20));
    EXPECT_EQ(cmdPic->iconSize(), QSize(16, 16));
}

TEST_F(QzResizeTest, RatiosAreClampedAndTheFormSnapsBackToTheLimit) {
    const struct {
        const char* name;
        double minSize;
        double maxSize;
        QSize newSize;
        double ratioX;
        double ratioY;
        QSize formAfter;
    } cases[] = {
        {"shrunk below MinSize", 0.8, 0, {200, 150}, 0.8, 0.8, {320, 240}},
        {"one side below MinSize", 0.8, 0, {400, 150}, 1.0, 0.8, {400, 240}},
        {"grown beyond MaxSize", 0.8, 1.5, {760, 570}, 1.5, 1.5, {600, 450}},
        {"grown within MaxSize", 0.8, 1.5, {500, 375}, 1.25, 1.25, {500, 375}},
        {"no MaxSize grows to the screen", 0.8, 0, {760, 570}, 1.9, 1.9, {760, 570}},
        {"MinSize 0 lets it shrink", 0, 0, {200, 150}, 0.5, 0.5, {200, 150}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget host;
        host.setObjectName("frmHost");
        host.resize(400, 300);
        auto* label = Place<QLabel>(&host, "lbOne", {40, 20, 200, 40});
        QzResize control(&host);
        control.SetMinSize(c.minSize);
        control.SetMaxSize(c.maxSize);
        control.Resize();
        host.resize(c.newSize);
        control.Resize();
        EXPECT_EQ(label->geometry(), Scaled({40, 20, 200, 40}, c.ratioX, c.ratioY));
        EXPECT_EQ(host.size(), c.formAfter);
    }
}

TEST_F(QzResizeTest, FontUsesTheSmallerRatio) {
    resizer->Resize();
    const double font = forms::FontSize(*lbTitle);
    ResizeForm(600, 300);
    EXPECT_DOUBLE_EQ(forms::FontSize(*lbTitle), font);
    EXPECT_EQ(lbTitle->geometry(), QRect(30, 10, 300, 20));
    EXPECT_EQ(cmdPic->iconSize(), QSize(24, 16));
}

TEST_F(QzResizeTest, AFormLargerThanTheScreenIsShrunkAndScaledAtOnce) {
    const QSize screen = form.screen()->geometry().size();
    form.resize(screen.width() * 3 / 2, screen.height() * 3 / 2);
    const QRect before = lbTitle->geometry();
    resizer->Resize();
    EXPECT_EQ(form.size(), screen);
    EXPECT_EQ(lbTitle->geometry(), Scaled(before, 2.0 / 3.0, 2.0 / 3.0));
    // The default MinSize of 0.8 was lowered to what fits, or the form would snap back out.
    EXPECT_NEAR(resizer->MinSize(), 2.0 / 3.0, 1e-9);
}

TEST_F(QzResizeTest, AHostFormThatCallsResizeFromItsResizeEventSettlesAtTheLimit) {
    class Host : public forms::Form {
      public:
        Host() {
            setObjectName("frmHost");
            resize(400, 300);
            label = Place<QLabel>(this, "lbOne", {40, 20, 200, 40});
            QzResize1 = new QzResize(this);
        }
        void Form_Load() override { QzResize1->Resize(); }
        void Form_Resize() override {
            ++resizeEvents;
            QzResize1->Resize();
        }
        QLabel* label;
        QzResize* QzResize1;
        int resizeEvents = 0;
    } host;
    host.Show();
    QCoreApplication::processEvents();
    host.resize(200, 150);
    QCoreApplication::processEvents();
    EXPECT_EQ(host.size(), QSize(320, 240));
    EXPECT_EQ(host.label->geometry(), QRect(32, 16, 160, 32));
    EXPECT_GT(host.resizeEvents, 0);
    host.Unload();
}

TEST_F(QzResizeTest, AControlDeletedAfterCaptureIsPassedOver) {
    resizer->Resize();
    delete cmdOK;
    ResizeForm(600, 450);
    EXPECT_EQ(lbTitle->geometry(), QRect(30, 15, 300, 30));
}

TEST_F(QzResizeTest, AFailedWriteSkipsThePropertyFromThenOn) {
    resizer->SetMinSize(0);
    resizer->Resize();
    const double font = forms::FontSize(*lbTitle);
    // A form shrunk to nothing asks for a font size of 0, which no font takes.
    ResizeForm(0, 0);
    EXPECT_EQ(resizer->SkipFlags(*lbTitle).value() & kSkipFont, kSkipFont);
    ResizeForm(600, 450);
    EXPECT_DOUBLE_EQ(forms::FontSize(*lbTitle), font);
    EXPECT_EQ(lbTitle->geometry(), QRect(30, 15, 300, 30));
}

TEST_F(QzResizeTest, ValuesBeyondWhatAControlCanHoldRaiseOverflow) {
    QWidget host;
    host.setObjectName("frmTiny");
    host.resize(1, 1);
    Place<QLabel>(&host, "lbFar", {10000, 0, 10, 10});
    QzResize control(&host);
    control.SetMinSize(0);
    control.Resize();
    host.resize(20000, 1);
    try {
        control.Resize();
        ADD_FAILURE() << "no overflow";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Number(), automation::Overflow);
    }
}

TEST_F(QzResizeTest, PropertyLetsKeepTheLimitsConsistent) {
    std::vector<std::string> changed;
    resizer->PropertyChanged.Connect([&](const std::string& name) { changed.push_back(name); });
    // Before capture the limits are taken as given, whatever their order.
    resizer->SetMaxSize(0.5);
    resizer->SetMinSize(0.9);
    EXPECT_EQ(resizer->MaxSize(), 0.5);
    EXPECT_EQ(resizer->MinSize(), 0.9);
    resizer->SetMinSize(-1);
    resizer->SetMaxSize(-3);
    EXPECT_EQ(resizer->MinSize(), 0);
    EXPECT_EQ(resizer->MaxSize(), 0);
    EXPECT_EQ(changed, (std::vector<std::string>{"MaxSize", "MinSize", "MinSize", "MaxSize"}));
    EXPECT_THROW(resizer->SetMinSize(std::nan("")), automation::Error);

    resizer->Resize();
    const double screenLimit =
        std::min(forms::PixelsToTwips(form.screen()->geometry().width()) / 6000.0,
                 forms::PixelsToTwips(form.screen()->geometry().height()) / 4500.0);
    const struct {
        const char* name;
        double minBefore;
        double maxBefore;
        bool settingMin;
        double value;
        double minAfter;
        double maxAfter;
    } cases[] = {
        {"MinSize above MaxSize", 0.5, 1.2, true, 1.4, 1.2, 1.2},
        {"MinSize without MaxSize", 0.5, 0, true, 1.4, 1.4, 0},
        {"MaxSize below MinSize", 0.9, 1.2, false, 0.7, 0.9, 0.9},
        {"MaxSize 0 stays unlimited", 0.9, 1.2, false, 0, 0.9, 0},
        {"MaxSize beyond the screen", 0.8, 0, false, 100, 0.8, screenLimit},
        {"MinSize beyond the screen", 0.8, 0, true, 100, screenLimit, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        resizer->SetMaxSize(0);
        resizer->SetMinSize(c.minBefore);
        resizer->SetMaxSize(c.maxBefore);
        if (c.settingMin) {
            resizer->SetMinSize(c.value);
        } else {
            resizer->SetMaxSize(c.value);
        }
        EXPECT_DOUBLE_EQ(resizer->MinSize(), c.minAfter);
        EXPECT_DOUBLE_EQ(resizer->MaxSize(), c.maxAfter);
    }
}

TEST_F(QzResizeTest, PersistedPropertiesRoundTripWithTheirDefaults) {
    automation::PropertyBag empty;
    resizer->WriteProperties(empty);
    EXPECT_TRUE(empty.Properties().empty());

    automation::PropertyBag bag;
    bag.WriteProperty("ScaleType", std::int16_t{QzClipForm});
    bag.WriteProperty("MinSize", 0.5);
    bag.WriteProperty("MaxSize", 2.0);
    resizer->ReadProperties(bag);
    EXPECT_EQ(resizer->ScaleType(), QzClipForm);
    EXPECT_EQ(resizer->MinSize(), 0.5);
    EXPECT_EQ(resizer->MaxSize(), 2.0);
    automation::PropertyBag saved;
    resizer->WriteProperties(saved);
    QzResize other(&form, "QzResize2");
    other.ReadProperties(saved);
    EXPECT_EQ(other.ScaleType(), QzClipForm);
    EXPECT_EQ(other.MinSize(), 0.5);
    EXPECT_EQ(other.MaxSize(), 2.0);

    other.ReadProperties(automation::PropertyBag{});
    EXPECT_EQ(other.ScaleType(), QzScaleForm);
    EXPECT_EQ(other.MinSize(), 0.8);
    EXPECT_EQ(other.MaxSize(), 0);
}

TEST_F(QzResizeTest, KeepsItsDesignSizeAndShowsItsAboutBox) {
    resizer->SetSize(3000, 120);
    EXPECT_EQ(resizer->Width(), QzResize::kDesignSize);
    EXPECT_EQ(resizer->Height(), QzResize::kDesignSize);

    auto scripted = std::make_shared<dialogs::ScriptedDialogs>();
    dialogs::ScopedBackend backend(scripted);
    resizer->ShowAboutBox();
    const auto boxes = scripted->MsgBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "About QzResize");
    EXPECT_EQ(boxes[0].prompt.rfind("QzResize\r\nby ", 0), 0u) << boxes[0].prompt;
}

TEST_F(QzResizeTest, ClipModeScrollsTheFormsOwnControlsOverWhatTheFormLost) {
    AddScrollBars();
    resizer->SetScaleType(QzClipForm);
    resizer->Resize();
    EXPECT_EQ(resizer->ClipFlags(*lbTitle), 0);
    EXPECT_EQ(resizer->ClipFlags(*ckA), kClipNever);  // moves with its frame
    EXPECT_EQ(resizer->ClipFlags(*QzVScroll), kClipNever);
    EXPECT_EQ(resizer->ClipFlags(*QzBox), kClipNever);
    EXPECT_EQ(resizer->ClipFlags(*Timer1), kClipNever);

    ResizeForm(300, 200);
    // Nothing was scaled.
    EXPECT_EQ(lbTitle->geometry(), QRect(20, 10, 200, 20));
    EXPECT_FALSE(QzVScroll->isHidden());
    EXPECT_FALSE(QzHScroll->isHidden());
    EXPECT_FALSE(QzBox->isHidden());
    EXPECT_EQ(QzVScroll->maximum(), 1500);
    EXPECT_EQ(QzHScroll->maximum(), 1500);
    EXPECT_EQ(QzVScroll->pageStep(), 375);
    EXPECT_EQ(QzVScroll->singleStep(), 75);
    EXPECT_EQ(QzVScroll->geometry(), QRect(280, 0, 20, 180));
    EXPECT_EQ(QzHScroll->geometry(), QRect(0, 180, 280, 20));
    EXPECT_EQ(QzBox->geometry(), QRect(280, 180, 20, 20));

    QzVScroll->setValue(600);
    QzHScroll->setValue(300);
    resizer->ClipForm();
    EXPECT_EQ(lbTitle->geometry(), QRect(0, -30, 200, 20));
    EXPECT_EQ(frOptions->geometry(), QRect(0, 80, 200, 100));
    EXPECT_EQ(ckA->geometry(), QRect(10, 20, 100, 20));
    EXPECT_EQ(QzVScroll->geometry(), QRect(280, 0, 20, 180));

    // Back at full size the bars go and the controls return with the bars' values at 0.
    ResizeForm(400, 300);
    EXPECT_TRUE(QzVScroll->isHidden());
    EXPECT_TRUE(QzHScroll->isHidden());
    EXPECT_TRUE(QzBox->isHidden());
    EXPECT_EQ(lbTitle->geometry(), QRect(20, 10, 200, 20));
}

TEST_F(QzResizeTest, OnlyTheDirectionTheFormLostScrolls) {
    AddScrollBars();
    resizer->SetScaleType(QzClipForm);
    resizer->Resize();
    ResizeForm(400, 290);
    EXPECT_FALSE(QzVScroll->isHidden());
    EXPECT_TRUE(QzHScroll->isHidden());
    EXPECT_FALSE(QzBox->isHidden());
    EXPECT_EQ(QzVScroll->maximum(), 150);
    // A range this small has no LargeChange worth applying.
    EXPECT_EQ(QzVScroll->pageStep(), 37);
}

TEST_F(QzResizeTest, SwitchingModesShowsAndHidesTheSpecialControls) {
    AddScrollBars();
    resizer->Resize();
    EXPECT_TRUE(QzVScroll->isHidden());
    EXPECT_TRUE(QzHScroll->isHidden());
    EXPECT_TRUE(QzBox->isHidden());
    ResizeForm(600, 450);
    // Entering clip mode takes the current (scaled) layout as the one to scroll.
    resizer->SetScaleType(QzClipForm);
    ResizeForm(500, 450);
    EXPECT_EQ(QzHScroll->maximum(), 1500);
    EXPECT_EQ(lbTitle->geometry(), QRect(30, 15, 300, 30));
    resizer->SetScaleType(QzScaleForm);
    EXPECT_TRUE(QzVScroll->isHidden());
    EXPECT_TRUE(QzHScroll->isHidden());
    EXPECT_TRUE(QzBox->isHidden());
    EXPECT_THROW(resizer->SetScaleType(2), automation::Error);
}

TEST_F(QzResizeTest, ClipModeWithoutTheScrollBarsRaisesClippingError) {
    const auto expectClippingError = [&](const char* what, auto&& call) {
        SCOPED_TRACE(what);
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const automation::Error& e) {
            EXPECT_EQ(static_cast<std::uint32_t>(e.Number()), 0x800403F2u);
            EXPECT_EQ(e.Description(),
                      "Special ScrollBars required for ClipForm Type Scaling: QzVScroll and "
                      "QzHScroll");
            EXPECT_EQ(e.Source(), "frmTest.QzResize1");
        }
    };
    expectClippingError("setting clip", [&] { resizer->SetScaleType(QzClipForm); });
    // The control stays usable in scale mode.
    EXPECT_EQ(resizer->ScaleType(), QzScaleForm);

    automation::PropertyBag bag;
    bag.WriteProperty("ScaleType", std::int16_t{QzClipForm});
    resizer->ReadProperties(bag);
    expectClippingError("first Resize in clip mode", [&] { resizer->Resize(); });
    EXPECT_FALSE(resizer->Initialised());

    resizer->ReadProperties(automation::PropertyBag{});
    resizer->Resize();
    expectClippingError("ClipForm", [&] { resizer->ClipForm(); });

    // Only the vertical bar is not enough.
    Place<QScrollBar>(&form, "QzVScroll", {380, 0, 20, 280});
    expectClippingError("one bar only", [&] { resizer->SetScaleType(QzClipForm); });
}

}  // namespace
}  // namespace Qz_Resize
