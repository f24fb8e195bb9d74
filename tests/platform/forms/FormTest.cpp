#include "platform/forms/Form.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <algorithm>
#include <string>
#include <vector>

#include "platform/automation/Errors.h"
#include "tests/platform/forms/QtTestSupport.h"

namespace forms {
namespace {

// A form that records its events and can refuse to unload.
class RecordingForm : public Form {
  public:
    std::vector<std::string> events;
    bool refuseQuery = false;
    bool refuseUnload = false;

    void Form_Load() override { events.push_back("Load"); }
    void Form_Resize() override { events.push_back("Resize"); }
    void Form_QueryUnload(int& cancel, int unloadMode) override {
        events.push_back("QueryUnload " + std::to_string(unloadMode));
        if (refuseQuery) {
            cancel = 1;
        }
    }
    void Form_Unload(int& cancel) override {
        events.push_back("Unload");
        if (refuseUnload) {
            cancel = 1;
        }
    }
    bool Saw(const std::string& event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
};

bool IsLoaded(const Form& form) {
    const auto forms = LoadedForms();
    return std::find(forms.begin(), forms.end(), &form) != forms.end();
}

class FormTest : public test::QtFixture {
  protected:
    RecordingForm form;
};

TEST_F(FormTest, LoadRunsOnceAndShowLoadsFirst) {
    form.Show();
    form.Load();
    form.Show();
    EXPECT_EQ(std::count(form.events.begin(), form.events.end(), "Load"), 1);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(IsLoaded(form));
}

TEST_F(FormTest, UnloadAsksBothHandlersThenHidesAndForgetsTheForm) {
    int unloaded = 0;
    form.Unloaded = [&](Form& f) {
        EXPECT_EQ(&f, &form);
        ++unloaded;
    };
    form.Show();
    EXPECT_TRUE(form.Unload());
    EXPECT_EQ(form.events, (std::vector<std::string>{"Load", "Resize", "QueryUnload 1", "Unload"}));
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.Loaded());
    EXPECT_FALSE(IsLoaded(form));
    EXPECT_EQ(unloaded, 1);
    // Unloading an unloaded form does nothing; showing it again loads it afresh.
    EXPECT_TRUE(form.Unload());
    EXPECT_EQ(unloaded, 1);
    form.Show();
    EXPECT_EQ(std::count(form.events.begin(), form.events.end(), "Load"), 2);
}

TEST_F(FormTest, EitherHandlerCanCancelTheUnload) {
    for (const bool query : {true, false}) {
        RecordingForm f;
        f.refuseQuery = query;
        f.refuseUnload = !query;
        f.Show();
        EXPECT_FALSE(f.Unload());
        EXPECT_TRUE(f.isVisible());
        EXPECT_TRUE(f.Loaded());
        EXPECT_EQ(f.Saw("Unload"), !query);
    }
}

TEST_F(FormTest, CloseBoxUnloadsWithTheControlMenuReason) {
    form.Show();
    form.refuseQuery = true;
    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    form.refuseQuery = false;
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.Loaded());
    EXPECT_EQ(std::count(form.events.begin(), form.events.end(), "QueryUnload 0"), 2);
}

TEST_F(FormTest, UnloadFromInsideAHandlerDoesNotStartASecondRound) {
    struct SelfUnloading : RecordingForm {
        void Form_Unload(int& cancel) override {
            RecordingForm::Form_Unload(cancel);
            EXPECT_TRUE(Unload());
        }
    } f;
    f.Show();
    EXPECT_TRUE(f.Unload());
    EXPECT_EQ(std::count(f.events.begin(), f.events.end(), "Unload"), 1);
    EXPECT_FALSE(f.Loaded());
}

TEST_F(FormTest, ResizeEventsOnlyReachALoadedForm) {
    form.resize(200, 100);
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.events.empty());
    form.Show();
    form.resize(300, 120);
    QCoreApplication::processEvents();
    // Showing delivers the first, resizing the second.
    ASSERT_GE(form.events.size(), 3u);
    EXPECT_EQ(form.events[0], "Load");
    EXPECT_EQ(form.events.back(), "Resize");
    EXPECT_EQ(form.ScaleWidth(), 4500);
}

TEST_F(FormTest, ModalShowWaitsUntilTheFormIsHidden) {
    bool wasModal = false;
    QTimer::singleShot(20, [&] {
        wasModal = form.ShownModal() && form.isModal();
        form.hide();
    });
    form.Show(vbModal);
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(form.ShownModal());
    EXPECT_FALSE(form.isModal());
    EXPECT_TRUE(form.Loaded());  // hidden, not unloaded
}

TEST_F(FormTest, ModalShowEndsWhenTheFormUnloads) {
    test::OnModal<RecordingForm>([](RecordingForm* f) { f->Unload(); }, "modal form");
    form.Show(vbModal);
    EXPECT_FALSE(form.Loaded());
}

TEST_F(FormTest, ModalDriverDrivesTheFormInsteadOfAUser) {
    int driven = 0;
    ScopedModalDriver driver([&](Form& f) {
        ++driven;
        EXPECT_TRUE(f.isVisible());
        EXPECT_TRUE(f.ShownModal());
        EXPECT_TRUE(f.Unload());
    });
    form.Show(vbModal);
    EXPECT_EQ(driven, 1);
    EXPECT_FALSE(form.Loaded());
    EXPECT_TRUE(form.Saw("QueryUnload 1"));
}

TEST_F(FormTest, ModalDriverThatLeavesTheFormOpenClosesItLikeTheCloseBox) {
    ScopedModalDriver driver([](Form&) {});
    form.Show(vbModal);
    EXPECT_TRUE(form.Saw("QueryUnload 0"));
    EXPECT_FALSE(form.isVisible());
}

TEST_F(FormTest, FormThatRefusesToCloseAfterItsDriverIsATestFault) {
    ScopedModalDriver driver([](Form&) {});
    form.refuseQuery = true;
    EXPECT_THROW(form.Show(vbModal), std::logic_error);
    EXPECT_FALSE(form.ShownModal());
    EXPECT_FALSE(form.isModal());
    form.refuseQuery = false;
}

TEST_F(FormTest, ShowingModallyAFormAlreadyShownRaises400) {
    form.Show();
    try {
        form.Show(vbModal);
        FAIL() << "no error";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Number(), 400);
    }
    EXPECT_TRUE(form.isVisible());
}

TEST_F(FormTest, WindowStates) {
    form.Show();
    EXPECT_EQ(form.WindowState(), vbNormal);
    form.SetWindowState(vbMinimized);
    EXPECT_EQ(form.WindowState(), vbMinimized);
    form.SetWindowState(vbMaximized);
    EXPECT_EQ(form.WindowState(), vbMaximized);
    form.SetWindowState(vbNormal);
    EXPECT_EQ(form.WindowState(), vbNormal);
    EXPECT_THROW(form.SetWindowState(3), automation::Error);
}

}  // namespace
}  // namespace forms
