// Tracing of procedures and error handling by steps.
#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/automation/Errors.h"
#include "tests/vlt/core/CoreTestSupport.h"
#include "vlt/core/GlobalControls.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"

namespace {

using coretest::CoreTest;

class StepsTest : public CoreTest {
  protected:
    StepsTest() { LoadHost("-TRACE"); }

    // The trace lines that follow the start-up, without their times.
    std::string TraceAfterStart() const {
        const std::string text = machine.Read(std::string(coretest::kProgramDir) + "\\VLT.trc");
        std::string lines;
        for (std::size_t at = text.find("-Exit QzBase.LoadControlHost\r\n");
             at != std::string::npos;) {
            at = text.find("\r\n", at) + 2;
            const std::size_t end = text.find("\r\n", at);
            if (end == std::string::npos) {
                break;
            }
            lines += text.substr(at + 10, end - at - 10) + "\n";
            at = end;
        }
        return lines;
    }
};

TEST_F(StepsTest, AScopeWritesItsEntryAndItsExitOnce) {
    {
        vlt::TraceScope outer("modTest.Outer");
        { vlt::TraceScope inner("modTest.Inner"); }
        outer.Exit();
        vlt::Trace("after the exit");
    }
    EXPECT_EQ(TraceAfterStart(),
              "+Enter modTest.Outer\n+Enter modTest.Inner\n-Exit modTest.Inner\n"
              "-Exit modTest.Outer\n ***after the exit\n");
}

TEST_F(StepsTest, AScopeOutlivingTheControlHostWritesNothingMore) {
    {
        vlt::TraceScope scope("modTest.Closing");
        vlt::TheGlobalControls().Unload();
    }
    vlt::Trace("nobody hears this");
    const std::string text = machine.Read(std::string(coretest::kProgramDir) + "\\VLT.trc");
    EXPECT_EQ(text.find("-Exit modTest.Closing"), std::string::npos);
    EXPECT_EQ(text.find("nobody hears this"), std::string::npos);
}

TEST_F(StepsTest, RetryRunsTheStepAgainAndIgnoreGoesOn) {
    dialogs->AnswerMsgBox(dialogs::vbRetry);
    dialogs->AnswerMsgBox(dialogs::vbIgnore);
    vlt::Steps steps("modTest.Work");
    int runs = 0;
    EXPECT_FALSE(steps.run("Copying", [&] {
        ++runs;
        automation::Raise(automation::PermissionDenied);
    }));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(steps.step(), "Copying");
    const auto boxes = dialogs->MsgBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Application Error!");
    EXPECT_EQ(boxes[0].style, dialogs::vbAbortRetryIgnore | dialogs::vbCritical);
    EXPECT_NE(boxes[0].prompt.find("Error 70:\r\nPermission denied"), std::string::npos);

    int later = 0;
    EXPECT_TRUE(steps.run("Next", [&] { ++later; }));
    EXPECT_EQ(later, 1);
}

TEST_F(StepsTest, RetryThatSucceedsCompletesTheStep) {
    dialogs->AnswerMsgBox(dialogs::vbRetry);
    vlt::Steps steps("modTest.Work");
    int runs = 0;
    EXPECT_TRUE(steps.run("Flaky", [&] {
        if (++runs == 1) {
            throw std::runtime_error("device busy");
        }
    }));
    EXPECT_EQ(runs, 2);
    EXPECT_NE(dialogs->MsgBoxes()[0].prompt.find("Error 51:\r\ndevice busy"), std::string::npos);
}

TEST_F(StepsTest, AbortEndsTheProgramThroughDoErrorWithTheStepAndProcedure) {
    dialogs->AnswerMsgBox(dialogs::vbAbort);
    vlt::Steps steps("modVelto.Main");
    try {
        steps.run("Checking if GoScan", [] { automation::Raise(automation::FileNotFound); });
        FAIL() << "Abort did not end the step";
    } catch (const vlt::ProgramAborted& aborted) {
        EXPECT_EQ(aborted.error.Number(), automation::FileNotFound);
    }
    const auto boxes = dialogs->MsgBoxes();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].title, "Application Error");
    EXPECT_EQ(boxes[1].prompt,
              "Error: 53\r\nFile not found\r\nOccurred at function modVelto.Main\r\nChecking if "
              "GoScan");
}

TEST_F(StepsTest, AnAbortedStepIsNotOfferedAgainByTheStepsAroundIt) {
    dialogs->AnswerMsgBox(dialogs::vbAbort);
    vlt::Steps outer("modTest.Outer");
    vlt::Steps inner("modTest.Inner");
    bool after = false;
    EXPECT_THROW(outer.run("Outer step",
                           [&] {
                               inner.run("Inner step",
                                         [] { automation::Raise(automation::DiskFull); });
                               after = true;
                           }),
                 vlt::ProgramAborted);
    EXPECT_FALSE(after);
    const auto boxes = dialogs->MsgBoxes();
    EXPECT_EQ(std::count_if(boxes.begin(), boxes.end(),
                            [](const auto& box) { return box.title == "Application Error!"; }),
              1);
}

TEST_F(StepsTest, AnAbortedProgramEndsItsEventHandlerAsAnAbend) {
    dialogs->AnswerMsgBox(dialogs::vbAbort);
    vlt::RunEventHandler([] {
        vlt::Steps("modTest.Handler").run("Step", [] { automation::Raise(automation::DiskFull); });
    });
    EXPECT_TRUE(vlt::State().Abended);
    EXPECT_EQ(dialogs->MsgBoxes().back().prompt, "Run-time error '61':\r\n\r\nDisk full");
}

TEST_F(StepsTest, ProgrammingFaultsAreNotOfferedToTheUser) {
    vlt::Steps steps("modTest.Work");
    EXPECT_THROW(steps.run("Bug", [] { throw std::logic_error("broken invariant"); }),
                 std::logic_error);
    EXPECT_TRUE(dialogs->History().empty());
}

TEST_F(CoreTest, WithoutTheControlHostAFailedStepLeavesTheProcedure) {
    vlt::Steps steps("modTest.Early");
    EXPECT_THROW(steps.run("Too early", [] { automation::Raise(automation::PathNotFound); }),
                 automation::Error);
    EXPECT_TRUE(dialogs->History().empty());
}

}  // namespace
