// The error dialogs: the exact boxes and their order, the problem report's mail link, the
// abend block, and the box an unhandled error ends the program with.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/debug/QzDebug.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/win32/ntdll/Launcher.h"
#include "tests/controls/debug/TraceTestSupport.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"

namespace Qz_Debug {
namespace {

using dialogs::ScriptedDialogs;
using tracetest::kSnapshot;
using tracetest::TraceLines;

class RecordingLauncher : public win32::Launcher {
  public:
    int Launch(const win32::LaunchRequest& request, long& processId) override {
        requests.push_back(request);
        processId = 0;
        return 0;
    }
    std::vector<win32::LaunchRequest> requests;
};

struct Box {
    std::string prompt;
    int style;
    std::string title;
    bool operator==(const Box&) const = default;
};

void PrintTo(const Box& box, std::ostream* os) {
    *os << "{" << box.prompt << " | " << box.style << " | " << box.title << "}";
}

const Box kErrorBox{
    "Error: 53\r\nFile not found\r\nOccurred at function modVLTWork.LoadDups\r\n"
    "Saving Temp Report File: a.htm",
    16, "Application Error"};
const Box kShortEnding{
    "You will see the error repeated.  This is simply to force the program to "
    "end. Please ignore the following error.",
    64, "Application Ending"};
const Box kAlertVendor{"Do you wish to notify the Vendor?", 4, "Alert Vendor to problem?"};
const Box kLongEnding{
    "If you chose to notify the vendor, then your Internet Browser is currently loading.The "
    "Browser is used to send an e-mail to the vendor. \r\n\r\nYou will see the error repeated.  "
    "This is simply to force the program to end. Please ignore the following error.",
    64, "Application Ending"};

class ErrorDialogs : public ::testing::Test {
  protected:
    ErrorDialogs()
        : clock_(tracetest::SixDecember()),
          script_(std::make_shared<ScriptedDialogs>()),
          backend_(script_),
          launcher_(std::make_shared<RecordingLauncher>()) {
        testsupport::SeedRegistry(machine_);
        previousLauncher_ = win32::SetLauncher(launcher_);
    }
    ~ErrorDialogs() override { win32::SetLauncher(previousLauncher_); }

    std::vector<Box> Boxes() const {
        std::vector<Box> boxes;
        for (const auto& shown : script_->MsgBoxes()) {
            boxes.push_back({shown.prompt, shown.style, shown.title});
        }
        return boxes;
    }

    // Runs DoError and returns the number and text of the error it raised.
    std::pair<std::int32_t, std::string> RunDoError(QzDebug& debug) {
        try {
            debug.DoError(53, "File not found", "modVLTWork.LoadDups",
                          "Saving Temp Report File: a.htm");
        } catch (const automation::Error& e) {
            return {e.Number(), e.Description()};
        }
        ADD_FAILURE() << "DoError returned";
        return {};
    }

    std::vector<std::string> Launched() const {
        std::vector<std::string> lines;
        for (const auto& request : launcher_->requests) {
            lines.push_back(win32::DescribeLaunch(request));
        }
        return lines;
    }

    testsupport::MachineBuilder machine_;
    tracetest::FixedClock clock_;
    std::shared_ptr<ScriptedDialogs> script_;
    dialogs::ScopedBackend backend_;
    std::shared_ptr<RecordingLauncher> launcher_;
    std::shared_ptr<win32::Launcher> previousLauncher_;
};

TEST(URLEncode, EncodesAllButLettersAndDigits) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"abcXYZ019", "abcXYZ019"},
        {" ", "%20"},
        {"two words", "two%20words"},
        {"\r\n", "%0D%0A"},
        {"\t\x01", "%09%01"},
        {"a-b_c.d~", "a%2Db%5Fc%2Ed%7E"},
        {"%&=?+", "%25%26%3D%3F%2B"},
        {"caf\xC3\xA9", "caf%C3%A9"},  // non-ASCII as the bytes of its UTF-8 form
        {"\x7F", "%7F"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(URLEncode(c.in), c.out) << c.in;
    }
}

TEST(URLEncode, MailLink) {
    const struct {
        const char* subject;
        const char* body;
        const char* cc;
        const char* bcc;
        const char* link;
    } cases[] = {
        {"Program abend", "a\r\nb", "", "",
         "mailto:x@y.example?Subject=Program%20abend&Body=a%0D%0Ab"},
        {"", "", "", "", "mailto:x@y.example?Subject=%20&Body="},
        {"s", "b", "c@y.example", "", "mailto:x@y.example?Subject=s&Body=b&cc=c@y.example"},
        {"s", "b", "", "d@y.example", "mailto:x@y.example?Subject=s&Body=b&bcc=d@y.example"},
        {"s", "b", "c c", "d", "mailto:x@y.example?Subject=s&Body=b&cc=c c&bcc=d"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MailLink("x@y.example", c.subject, c.body, c.cc, c.bcc), c.link) << c.subject;
    }
}

TEST_F(ErrorDialogs, RetryAndIgnoreReturnAndTouchNothing) {
    QzDebug debug("GlobalControls");
    debug.SetTraceMode(true);
    debug.SetDebugEmailAddress("bugs@korvane.example");
    debug.WriteTrace("before");
    const std::string before = machine_.Read("C:\\GlobalControls.trc");
    for (const int answer : {dialogs::vbRetry, dialogs::vbIgnore}) {
        script_->Clear();
        script_->AnswerMsgBox(answer);
        EXPECT_EQ(debug.AbortRetryIgnoreError(53, "File not found"), answer);
        EXPECT_EQ(Boxes(), (std::vector<Box>{{"This application has received a severe error. What "
                                              "would you like to do?\r\n\r\nThe error received "
                                              "was:\r\n\r\nError 53:\r\nFile not found",
                                              18, "Application Error!"}}));
    }
    EXPECT_EQ(machine_.Read("C:\\GlobalControls.trc"), before);
    EXPECT_TRUE(launcher_->requests.empty());

    script_->Clear();
    script_->AnswerMsgBox(dialogs::vbRetry);
    debug.AbortRetryIgnoreError(-2147221504, "Own text", "f", "l", "Something broke.");
    EXPECT_EQ(
        Boxes()[0].prompt,
        "Something broke.\r\n\r\nThe error received was:\r\n\r\nError -2147221504:\r\nOwn text");
}

TEST_F(ErrorDialogs, AbortGoesOnToDoErrorWithUnknownPlace) {
    QzDebug debug;
    script_->AnswerMsgBox(dialogs::vbAbort);
    script_->AnswerMsgBox(dialogs::vbOK);
    script_->AnswerMsgBox(dialogs::vbOK);
    try {
        debug.AbortRetryIgnoreError(76, "Path not found");
        ADD_FAILURE() << "Abort returned";
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Number(), 76);
        EXPECT_EQ(e.Description(), "Path not found");
    }
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[1],
              (Box{"Error: 76\r\nPath not found\r\nOccurred at function unknown\r\nunknown", 16,
                   "Application Error"}));
    EXPECT_EQ(boxes[2], kShortEnding);
    EXPECT_EQ(script_->Unanswered(), 0u);
}

TEST_F(ErrorDialogs, DoErrorWithoutAddress) {
    QzDebug debug;
    debug.SetTraceMode(true);
    EXPECT_EQ(RunDoError(debug), std::make_pair(53, std::string("File not found")));
    EXPECT_EQ(Boxes(), (std::vector<Box>{kErrorBox, kShortEnding}));
    EXPECT_TRUE(launcher_->requests.empty());
}

TEST_F(ErrorDialogs, DoErrorAnsweredNo) {
    {
        QzDebug debug("GlobalControls");
        debug.SetDebugEmailAddress("bugs@korvane.example");
        debug.SetTraceMode(true);
        debug.WriteTrace("before");
        script_->AnswerMsgBox(dialogs::vbOK);
        script_->AnswerMsgBox(dialogs::vbNo);
        EXPECT_EQ(RunDoError(debug).first, 53);
        EXPECT_EQ(Boxes(), (std::vector<Box>{kErrorBox, kAlertVendor, kLongEnding}));
        EXPECT_TRUE(launcher_->requests.empty());
        // The trace file stays open.
        debug.WriteTrace("after");
    }
    EXPECT_EQ(TraceLines(machine_.Read("C:\\GlobalControls.trc")),
              (std::vector<std::string>{"Start of run: 06 Dec 2026 15:16:38", kSnapshot,
                                        "15:16:38:  ***before", "15:16:38:  ***after",
                                        "Program end: 06 Dec 2026 15:16:38", kSnapshot}));
}

TEST_F(ErrorDialogs, DoErrorAnsweredYesWithoutTracing) {
    QzDebug debug("GlobalControls");
    debug.SetDebugEmailAddress("bugs@korvane.example");
    debug.SetSubjectForBugs("Program abend: VLT 1.0.12");
    script_->AnswerMsgBox(dialogs::vbOK);
    script_->AnswerMsgBox(dialogs::vbYes);
    EXPECT_EQ(RunDoError(debug).first, 53);
    EXPECT_EQ(Boxes(), (std::vector<Box>{kErrorBox, kAlertVendor, kLongEnding}));
    EXPECT_EQ(Launched(),
              (std::vector<std::string>{
                  "xdg-open 'mailto:bugs@korvane.example?Subject=Program%20abend%3A%20VLT%201%2E0%"
                  "2E12&Body=Error%3A%2053%0D%0AAt%20Function%3A%20modVLTWork%2ELoadDups%0D%"
                  "0ASaving%20Temp%20Report%20File%3A%20a%2Ehtm%0D%0APlease%20include%20any%"
                  "20additional%20information%20that%20could%20aid%20in%20resolving%20this%"
                  "20problem%3A'"}));
    EXPECT_FALSE(machine_.Exists("C:\\GlobalControls.trc"));
}

TEST_F(ErrorDialogs, DoErrorAnsweredYesWhileTracing) {
    machine_.Folder("C:\\Program Files\\Velto");
    {
        QzDebug debug("GlobalControls");
        debug.SetDebugEmailAddress("bugs@korvane.example");
        debug.SetTracePath("C:\\Program Files\\Velto");
        debug.SetTraceFile("VLT");
        debug.SetTraceMode(true);
        debug.WriteTrace("before");
        clock_.Advance(2);
        script_->AnswerMsgBox(dialogs::vbOK);
        script_->AnswerMsgBox(dialogs::vbYes);
        script_->AnswerMsgBox(dialogs::vbOK);
        EXPECT_EQ(RunDoError(debug).first, 53);
        // Sealed: nothing more reaches the file, not even the end-of-run block.
        debug.WriteTrace("after");
    }
    EXPECT_EQ(Boxes(),
              (std::vector<Box>{kErrorBox,
                                kAlertVendor,
                                {"Trace file(s) may have been created.  Please attach this to "
                                 "your e-mail to the vendor. The trace files should be in "
                                 "C:\\Program Files\\Velto\\ and all will have the extension "
                                 "\".trc\"",
                                 64, "Trace file created."},
                                kLongEnding}));
    const auto launched = Launched();
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_TRUE(launched[0].starts_with("xdg-open 'mailto:bugs@korvane.example?Subject=%20&Body="))
        << launched[0];
    EXPECT_EQ(launcher_->requests[1].argv,
              (std::vector<std::string>{"xdg-open",
                                        machine_.HostPath("C:\\Program Files\\Velto").string()}));
    EXPECT_EQ(
        TraceLines(machine_.Read("C:\\Program Files\\Velto\\VLT.trc")),
        (std::vector<std::string>{
            "Start of run: 06 Dec 2026 15:16:38", kSnapshot, "15:16:38:  ***before",
            std::string(40, '$'), "  Program Abend at: 06 Dec 2026 15:16:40", "   Error: 53",
            "    File not found", "    In Procedure: modVLTWork.LoadDups",
            "    At Location:  Saving Temp Report File: a.htm", std::string(40, '$'), kSnapshot}));
}

TEST_F(ErrorDialogs, DoErrorBeforeAnyTraceLineStillKeepsTheAbend) {
    {
        QzDebug debug("GlobalControls");
        debug.SetDebugEmailAddress("bugs@korvane.example");
        debug.SetTraceMode(true);
        script_->AnswerMsgBox(dialogs::vbOK);
        script_->AnswerMsgBox(dialogs::vbYes);
        script_->AnswerMsgBox(dialogs::vbOK);
        RunDoError(debug);
    }
    const auto lines = TraceLines(machine_.Read("C:\\GlobalControls.trc"));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Start of run: 06 Dec 2026 15:16:38");
    EXPECT_EQ(lines[3], "  Program Abend at: 06 Dec 2026 15:16:38");
    EXPECT_EQ(lines[9], kSnapshot);
}

TEST_F(ErrorDialogs, UnhandledErrorEndsWithTheRunTimeErrorBox) {
    QzDebug debug;
    const int status = RunWithRunTimeErrorBox([&] {
        debug.DoError(53, "File not found", "modVelto.Main", "Showing Form");
        return 0;
    });
    EXPECT_EQ(status, 1);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2], (Box{"Run-time error '53':\r\n\r\nFile not found", 16, "Velto"}));

    script_->Clear();
    EXPECT_EQ(RunWithRunTimeErrorBox([] { return 0; }), 0);
    EXPECT_EQ(RunWithRunTimeErrorBox([] { return 3; }), 3);
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace Qz_Debug
