// The trace control's command line: the -TRACE switch and the argument list.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "controls/debug/QzDebug.h"

namespace Qz_Debug {
namespace {

std::vector<std::string> List(const automation::Variant& v) {
    const auto* array = v.get_if<automation::StringArray>();
    EXPECT_NE(array, nullptr);
    if (array == nullptr) {
        return {};
    }
    EXPECT_EQ(array->LBound(), 0);
    return array->Items();
}

TEST(QzDebugCommandLine, TraceSwitch) {
    const struct {
        const char* commandLine;
        bool traceMode;
        const char* traceType;
        const char* traceFile;  // as read back
    } cases[] = {
        {"", false, "", "GlobalControls.trc"},
        {"-S", false, "", "GlobalControls.trc"},
        {"-TRACE", true, "", "GlobalControls.trc"},
        {"-trace", true, "", "GlobalControls.trc"},
        {"-TRACEREG", true, "REG", "GlobalControls.trc"},
        {"-traceRegFile -S", true, "REGFILE", "GlobalControls.trc"},
        {"-TRACES", true, "S", "GlobalControls.trc"},
        {"-TRACE:night1", true, "", "night1_GlobalControls.trc"},
        {"-TRACEFILE:\"my run\"", true, "FILE", "my run_GlobalControls.trc"},
        {"-TRACE:\"no end", true, "", "no end_GlobalControls.trc"},
        {"-TRACE:Night1", true, "", "Night1_GlobalControls.trc"},
        {"prog.ini -S -TRACEREG:x data.txt", true, "REG", "x_GlobalControls.trc"},
        {"-TRACE:night1 -S", true, "", "night1_GlobalControls.trc"},
        {"-TRACE:night\"1", true, "", "night_GlobalControls.trc"},
        // A colon in a later argument is not the switch's.
        {"-TRACE C:\\data", true, "", "GlobalControls.trc"},
        {"-TRACEREG C:\\data", true, "REG", "GlobalControls.trc"},
        {"/TRACE", false, "", "GlobalControls.trc"},
        {"x-TRACEx", true, "X", "GlobalControls.trc"},
    };
    for (const auto& c : cases) {
        QzDebug debug("GlobalControls");
        debug.SetCommandLine(c.commandLine);
        EXPECT_EQ(debug.CommandLine(), c.commandLine);
        EXPECT_EQ(debug.TraceMode(), c.traceMode) << c.commandLine;
        EXPECT_EQ(debug.TraceType(), c.traceType) << c.commandLine;
        EXPECT_EQ(debug.TraceFile(), c.traceFile) << c.commandLine;
    }
}

TEST(QzDebugCommandLine, LaterCommandLineWithoutSwitchKeepsTracing) {
    QzDebug debug("GlobalControls");
    debug.SetCommandLine("-TRACEREG:first");
    debug.SetCommandLine("plain.txt");
    EXPECT_TRUE(debug.TraceMode());
    EXPECT_EQ(debug.TraceType(), "REG");
    EXPECT_EQ(debug.TraceFile(), "first_GlobalControls.trc");
    // A second switch replaces the filter but keeps a name it does not give.
    debug.SetCommandLine("-TRACE");
    EXPECT_EQ(debug.TraceType(), "");
    EXPECT_EQ(debug.TraceFile(), "first_GlobalControls.trc");
}

TEST(QzDebugCommandLine, CommandLineList) {
    using Strings = std::vector<std::string>;
    const struct {
        const char* commandLine;
        Strings caps;
        Strings asTyped;
    } cases[] = {
        {"prog.ini /q -v data.txt",
         {"PROG.INI", "-Q", "-V", "DATA.TXT"},
         {"prog.ini", "-q", "-v", "data.txt"}},
        {"-s /trace", {"", "-S", "-TRACE"}, {"", "-s", "-trace"}},
        {"a b c", {"A", "B", "C"}, {"a", "b", "c"}},
        {"  first    -x   second  ", {"FIRST", "-X", "SECOND"}, {"first", "-x", "second"}},
        {"file -y z", {"FILE", "-Y", "Z"}, {"file", "-y", "z"}},
        {"\"C:\\My Files\\a.ini\" -s",
         {"\"C:\\MY", "-S", "FILES\\A.INI\""},
         {"\"C:\\My", "-s", "Files\\a.ini\""}},
        {"a\tb", {"A\tB"}, {"a\tb"}},
        {"-", {"", "-"}, {"", "-"}},
        {"/", {"", "-"}, {"", "-"}},
        {"caf\xC3\xA9", {"CAF\xC3\x89"}, {"caf\xC3\xA9"}},
        {"", {}, {}},
        {"     ", {}, {}},
    };
    for (const auto& c : cases) {
        QzDebug debug;
        debug.SetCommandLine(c.commandLine);
        EXPECT_EQ(List(debug.CommandLineList()), c.caps) << c.commandLine;
        EXPECT_EQ(List(debug.CommandLineList(true)), c.caps) << c.commandLine;
        EXPECT_EQ(List(debug.CommandLineList(false)), c.asTyped) << c.commandLine;
    }
}

}  // namespace
}  // namespace Qz_Debug
