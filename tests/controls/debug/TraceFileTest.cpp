// The trace control's properties and its trace file on a test machine.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/debug/QzDebug.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Date.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "tests/controls/debug/TraceTestSupport.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_Debug {
namespace {

using tracetest::kSnapshot;
using tracetest::TraceLines;

class TraceFile : public ::testing::Test {
  protected:
    TraceFile() : clock_(tracetest::SixDecember()) {}

    testsupport::MachineBuilder machine_;
    tracetest::FixedClock clock_;
};

TEST_F(TraceFile, PathAndNameProperties) {
    QzDebug debug("GlobalControls");
    EXPECT_EQ(debug.TracePath(), "C:\\");
    EXPECT_EQ(debug.TraceFile(), "GlobalControls.trc");

    const struct {
        const char* set;
        const char* path;
    } paths[] = {
        {"C:\\Logs", "C:\\Logs\\"},
        {"C:\\Logs\\", "C:\\Logs\\"},
        {"D:", "D:\\"},
    };
    for (const auto& p : paths) {
        debug.SetTracePath(p.set);
        EXPECT_EQ(debug.TracePath(), p.path) << p.set;
    }
    const struct {
        const char* set;
        const char* file;
    } files[] = {
        {"run", "run.trc"}, {"RUN.TRC", "RUN.TRC"},
        {"a.Trc", "a.Trc"}, {"x.trc.bak", "x.trc.bak.trc"},
        {"trc", "trc.trc"},
    };
    for (const auto& f : files) {
        debug.SetTraceFile(f.set);
        EXPECT_EQ(debug.TraceFile(), f.file) << f.set;
    }
}

TEST_F(TraceFile, TracePathDefaultsToCurrentDirectory) {
    machine_.Folder("C:\\Work");
    ASSERT_TRUE(win32::SetCurrentDirectoryA("C:\\Work"));
    QzDebug debug;
    EXPECT_EQ(debug.TracePath(), "C:\\Work\\");
    // Read once, it stays.
    ASSERT_TRUE(win32::SetCurrentDirectoryA("C:\\"));
    EXPECT_EQ(debug.TracePath(), "C:\\Work\\");
}

TEST_F(TraceFile, PropertyChangesAreSignalled) {
    QzDebug debug;
    std::vector<std::string> changed;
    debug.PropertyChanged.Connect([&](const std::string& name) { changed.push_back(name); });
    debug.SetTraceFile("a");
    debug.SetTraceMode(true);
    debug.SetIsDesignMode(true);
    debug.SetSubjectForBugs("s");
    debug.SetDebugEmailAddress("d");
    debug.SetTracePath("C:\\");
    EXPECT_EQ(changed, (std::vector<std::string>{"TraceFile", "TraceMode", "IsDesignMode",
                                                 "SubjectForBugs", "DebugEmailAddress"}));
}

TEST_F(TraceFile, PropertiesPersist) {
    QzDebug loaded("GlobalControls");
    loaded.ReadProperties(automation::PropertyBag());
    EXPECT_EQ(loaded.DebugEmailAddress(), "");
    EXPECT_EQ(loaded.SubjectForBugs(), "");
    EXPECT_FALSE(loaded.IsDesignMode());
    EXPECT_FALSE(loaded.TraceMode());
    EXPECT_EQ(loaded.TraceFile(), "GlobalControls.trc");

    automation::PropertyBag defaults;
    loaded.WriteProperties(defaults);
    EXPECT_TRUE(defaults.Properties().empty());

    QzDebug saved("GlobalControls");
    saved.SetTraceFile("VLT");
    saved.SetTraceMode(true);
    saved.SetIsDesignMode(true);
    saved.SetSubjectForBugs("Program abend: VLT 1.0.12");
    saved.SetDebugEmailAddress("bugs@korvane.example");
    automation::PropertyBag bag;
    saved.WriteProperties(bag);
    std::vector<std::string> order;
    for (const auto& [name, value] : bag.Properties()) {
        order.push_back(name);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"SubjectForBugs", "DebugEmailAddress",
                                               "IsDesignMode", "TraceMode", "TraceFile"}));
    QzDebug restored("OtherForm");
    restored.ReadProperties(bag);
    EXPECT_EQ(restored.TraceFile(), "VLT.trc");
    EXPECT_TRUE(restored.TraceMode());
    EXPECT_TRUE(restored.IsDesignMode());
    EXPECT_EQ(restored.SubjectForBugs(), "Program abend: VLT 1.0.12");
    EXPECT_EQ(restored.DebugEmailAddress(), "bugs@korvane.example");
}

TEST_F(TraceFile, TracingNeverSwitchedOnWritesNothing) {
    {
        QzDebug debug("GlobalControls");
        bool flag = false;
        debug.WriteSubTrace("modVLTWork.LoadDups", flag);
        EXPECT_TRUE(flag);
        debug.WriteSubTrace("modVLTWork.LoadDups", flag);
        EXPECT_FALSE(flag);
        debug.WriteTrace("message");
    }
    EXPECT_FALSE(machine_.Exists("C:\\GlobalControls.trc"));
}

TEST_F(TraceFile, RunWritesStartSnapshotLinesAndEnd) {
    {
        QzDebug debug("GlobalControls");
        debug.SetTraceMode(true);
        bool flag = false;
        debug.WriteSubTrace("modVLTWork.LoadDups", flag);
        EXPECT_TRUE(flag);
        clock_.Advance(61);
        debug.WriteTrace("Adding Slash to: C:\\TEMP");
        debug.WriteTrace("typed", "REG");
        debug.WriteSubTrace("modVLTWork.LoadDups", flag);
        EXPECT_FALSE(flag);
        // Off stops the writing; on again resumes in the same file.
        debug.SetTraceMode(false);
        debug.WriteTrace("not written");
        debug.WriteSubTrace("not written", flag);
        EXPECT_TRUE(flag);
        debug.SetTraceMode(true);
        debug.WriteTrace("resumed");
    }
    const std::string text = machine_.Read("C:\\GlobalControls.trc");
    EXPECT_EQ(TraceLines(text), (std::vector<std::string>{
                                    "Start of run: 06 Dec 2026 15:16:38",
                                    kSnapshot,
                                    "15:16:38: +Enter modVLTWork.LoadDups",
                                    "15:17:39:  ***Adding Slash to: C:\\TEMP",
                                    "15:17:39:  **REG*typed",
                                    "15:17:39: -Exit modVLTWork.LoadDups",
                                    "15:17:39:  ***resumed",
                                    "Program end: 06 Dec 2026 15:17:39",
                                    kSnapshot,
                                }));
}

TEST_F(TraceFile, TypeFilter) {
    const struct {
        const char* commandLine;
        const char* type;
        bool written;
    } cases[] = {
        {"-TRACEREGFILE", "REG", true},
        {"-TRACEREGFILE", "FILE", true},
        {"-TRACEREGFILE", "GF", true},
        {"-TRACEREGFILE", "", true},
        {"-TRACEREGFILE", "NET", false},
        {"-TRACEREGFILE", "reg", false},
        {"-TRACEREGFILE", "REGX", false},
        {"-TRACE", "NET", true},
        {"-TRACE", "", true},
    };
    for (const auto& c : cases) {
        {
            QzDebug debug("GlobalControls");
            debug.SetCommandLine(c.commandLine);
            debug.WriteTrace("message", c.type);
        }
        const auto lines = TraceLines(machine_.Read("C:\\GlobalControls.trc"));
        const std::string line = "15:16:38:  **" + std::string(c.type) + "*message";
        EXPECT_EQ(std::find(lines.begin(), lines.end(), line) != lines.end(), c.written)
            << c.commandLine << " " << c.type;
    }
}

TEST_F(TraceFile, SecondRunReplacesFirst) {
    for (const char* run : {"first run", "second run"}) {
        QzDebug debug("GlobalControls");
        debug.SetTracePath("C:\\WINDOWS");
        debug.SetTraceFile("VLT");
        debug.SetTraceMode(true);
        debug.WriteTrace(run);
    }
    const auto lines = TraceLines(machine_.Read("C:\\WINDOWS\\VLT.trc"));
    EXPECT_EQ(lines, (std::vector<std::string>{"Start of run: 06 Dec 2026 15:16:38", kSnapshot,
                                               "15:16:38:  ***second run",
                                               "Program end: 06 Dec 2026 15:16:38", kSnapshot}));
}

TEST_F(TraceFile, MissingFolderFallsBackToCurrentDirectory) {
    machine_.Folder("C:\\Work");
    ASSERT_TRUE(win32::SetCurrentDirectoryA("C:\\Work"));
    {
        QzDebug debug("GlobalControls");
        debug.SetTracePath("C:\\Nowhere");
        debug.SetTraceFile("VLT");
        debug.SetTraceMode(true);
        debug.WriteTrace("here");
        EXPECT_EQ(debug.TracePath(), "C:\\Work\\");
        EXPECT_EQ(debug.TraceFile(), "GlobalControls.trc");
    }
    EXPECT_FALSE(machine_.Exists("C:\\Nowhere"));
    const auto lines = TraceLines(machine_.Read("C:\\Work\\GlobalControls.trc"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], "15:16:38:  ***here");
}

TEST_F(TraceFile, NowhereToWriteGoesUntraced) {
    // The fallback's name is taken by a folder, so neither place can hold the file.
    machine_.Folder("C:\\GlobalControls.trc");
    QzDebug debug("GlobalControls");
    debug.SetTracePath("C:\\Nowhere");
    debug.SetTraceMode(true);
    bool flag = false;
    debug.WriteSubTrace("a.b", flag);
    debug.WriteTrace("lost");
    EXPECT_TRUE(flag);
    EXPECT_EQ(debug.TracePath(), "C:\\");
}

TEST_F(TraceFile, TextIsUtf8WithCrLf) {
    {
        QzDebug debug("GlobalControls");
        debug.SetTraceMode(true);
        debug.WriteTrace("caf\xC3\xA9 \xE2\x82\xAC");
    }
    const std::string text = machine_.Read("C:\\GlobalControls.trc");
    EXPECT_NE(text.find("15:16:38:  ***caf\xC3\xA9 \xE2\x82\xAC\r\n"), std::string::npos);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare line feed at " << i;
        }
    }
}

TEST(QzDebugControl, CreatedByProgIDKeepsDesignSizeAndShowsAbout) {
    auto debug = automation::CreateObjectAs<QzDebug>("Qz_Debug.QzDebug");
    ASSERT_TRUE(debug);
    for (const auto& [w, h] : {std::pair{100, 5000}, std::pair{736, 736}, std::pair{0, 0}}) {
        debug->SetSize(w, h);
        EXPECT_EQ(debug->Width(), 736);
        EXPECT_EQ(debug->Height(), 736);
    }
    auto script = std::make_shared<dialogs::ScriptedDialogs>();
    dialogs::ScopedBackend backend(script);
    debug->AboutDisplay();
    ASSERT_EQ(script->MsgBoxes().size(), 1u);
    EXPECT_EQ(script->MsgBoxes()[0].title, "About QzDebug");
    EXPECT_TRUE(script->MsgBoxes()[0].prompt.starts_with("QzDebug\r\nby Korvane\r\n"));
}

}  // namespace
}  // namespace Qz_Debug
