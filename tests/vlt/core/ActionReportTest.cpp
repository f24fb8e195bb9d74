#include "vlt/core/ActionReport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace modVLTFinalize {
namespace {

struct LogLine {
    std::string first;
    std::string code;
    std::string second;
};

ReportLists Sorted(const std::vector<LogLine>& log) {
    ReportLists lists;
    for (const auto& line : log) {
        lists.Add(line.first, line.code, line.second);
    }
    return lists;
}

ReportFacts Facts() {
    ReportFacts facts;
    facts.title = "Velto";
    facts.version = "1.0.12";
    facts.programFolder = "C:\\Program Files\\Velto";
    facts.dateText = "3/5/2003 2:07:09 PM";
    facts.fileCount = 42;
    facts.copyright = "Copyright (C) 2026 Korvane";
    return facts;
}

const std::string kHead =
    "<html><head><title>Velto version 1.0.12 Action Report</title></head>"
    "<body background=\"C:\\Program Files\\Velto\\watermark.jpg\" bgcolor=\"#FFFFFF\">"
    "<h3>Velto version 1.0.12 Action Report</h3>"
    "<b><font size=\"2\">3/5/2003 2:07:09 PM</font></b>"
    "<table border=\"0\" cellpadding=\"1\" cellspacing=\"1\">"
    "<tr><td width=\"50%\"><font size=\"2\"><b>Total System Files Scanned</b></font></td>"
    "<td width=\"50%\">42</td></tr>";
const std::string kFooter =
    "</table>\r\n<hr><center><font size=\"1\">Copyright (C) 2026 Korvane"
    "</font></center>\r\n";

TEST(ActionReport, TwoBackupsAndOneRemovalGiveTheExactDocument) {
    const auto lists = Sorted({
        {"C:\\WINDOWS\\SYSTEM\\A.DLL", "3", "C:\\BACK\\C~~WINDOWS~SYSTEM~A.DLL.backup"},
        {"C:\\APPS\\A.DLL", "7", ""},
        {"C:\\APPS\\A.DLL", "3", "C:\\BACK\\C~~APPS~A.DLL.backup"},
    });
    const std::string expected =
        kHead +
        "\r\n<tr><td width=\"50%\"><font size=\"1\">Files Backed Up:</font></td>"
        "<td width=\"50%\">2</td></tr>"
        "\r\n<tr><td width=\"50%\"><font size=\"1\">Files to remove on restart:</font></td>"
        "<td width=\"50%\">1</td></tr>"
        "</table>"
        "<p><table border=\"1\" cellpadding=\"1\" cellspacing=\"1\">"
        "<th colspan=\"2\"><font size=\"1\">Files Backed Up</font></th></tr>"
        "<tr><th><font size=\"1\">Source</font></th><th><font size=\"1\">Target</font></th>"
        "\r\n<tr><td width=\"50%\"><font size=\"1\">C:\\WINDOWS\\SYSTEM\\A.DLL</font></td>"
        "<td width=\"50%\"><font size=\"1\">C:\\BACK\\C~~WINDOWS~SYSTEM~A.DLL.backup</font></td>"
        "</tr>"
        "\r\n<tr><td width=\"50%\"><font size=\"1\">C:\\APPS\\A.DLL</font></td>"
        "<td width=\"50%\"><font size=\"1\">C:\\BACK\\C~~APPS~A.DLL.backup</font></td></tr>"
        "<th colspan=\"2\"><font size=\"1\">Files To Be Removed on restart</font></th>"
        "\r\n<tr><td colspan=\"2\" width=\"100%\"><font size=\"1\">C:\\APPS\\A.DLL</font></td>"
        "\r\n</tr>" +
        kFooter;
    EXPECT_EQ(ReportDocument(Facts(), lists), expected);
    EXPECT_EQ(ReportSummary(42, lists),
              "Total System Files scanned: 42\r\nFiles backed up: 2\r\n"
              "Files to remove on restart: 1\r\n");
}

TEST(ActionReport, CopiesCountsAndNotationsFollowInTheirOwnSections) {
    const auto lists = Sorted({
        {"C:\\GONE.DLL", "2", "Error: File does not exist"},
        {"C:\\A\\X.OCX", "5", "C:\\WINDOWS\\SYSTEM\\X.OCX"},
        {"C:\\WINDOWS\\SYSTEM\\X.OCX", "8", "1 to 2: takes over the use of C:\\A\\X.OCX"},
        {"", "1", "MSVCRT.DLL: not repaired"},
    });
    const std::string expected =
        kHead +
        "\r\n<tr><td width=\"50%\"><font size=\"1\">Files to copy on restart:</font></td>"
        "<td width=\"50%\">1</td></tr>"
        "\r\n<tr><td width=\"50%\"><font size=\"1\">Use counts changed:</font></td>"
        "<td width=\"50%\">1</td></tr>"
        "</table>"
        "<p><table border=\"1\" cellpadding=\"1\" cellspacing=\"1\">"
        "<th colspan=\"2\"><font size=\"1\">Files to Copy on restart</font></th></tr>"
        "<tr><th><font size=\"1\">Source</font></th><th><font size=\"1\">Target</font></th>"
        "\r\n<tr><td width=\"50%\"><font size=\"1\">C:\\A\\X.OCX</font></td>"
        "<td width=\"50%\"><font size=\"1\">C:\\WINDOWS\\SYSTEM\\X.OCX</font></td></tr>"
        "<th colspan=\"2\"><font size=\"1\">Shared-Library Use Counts</font></th></tr>"
        "<tr><th><font size=\"1\">File</font></th><th><font size=\"1\">Use count</font></th>"
        "\r\n<tr><td width=\"50%\"><font size=\"1\">C:\\WINDOWS\\SYSTEM\\X.OCX</font></td>"
        "<td width=\"50%\"><font size=\"1\">1 to 2: takes over the use of C:\\A\\X.OCX"
        "</font></td></tr>"
        "<th colspan=\"2\"><font size=\"1\">Notations</font></th>"
        "\r\n<tr><td colspan=\"2\" width=\"100%\"><font size=\"1\">C:\\GONE.DLL Error: File "
        "does not exist</font></td>\r\n</tr>"
        "\r\n<tr><td colspan=\"2\" width=\"100%\"><font size=\"1\">MSVCRT.DLL: not repaired"
        "</font></td>\r\n</tr>" +
        kFooter;
    EXPECT_EQ(ReportDocument(Facts(), lists), expected);
    EXPECT_EQ(ReportSummary(42, lists),
              "Total System Files scanned: 42\r\nFiles to copy on restart: 1\r\nUse counts "
              "changed: 1\r\n");
}

TEST(ActionReport, LogCodesAreSortedAndUnknownOnesLeftOut) {
    struct Case {
        LogLine line;
        size_t backups, removals, copies, notations;
    };
    const std::vector<Case> cases = {
        {{"a", "3", "b"}, 1, 0, 0, 0},  {{"a", "7", ""}, 0, 1, 0, 0},
        {{"a", "5", "b"}, 0, 0, 1, 0},  {{"a", "2", "b"}, 0, 0, 0, 1},
        {{"a", "1", "b"}, 0, 0, 0, 1},  {{"a", "4", "b"}, 0, 0, 0, 0},
        {{"a", "", "b"}, 0, 0, 0, 0},   {{"a", "3x", "b"}, 0, 0, 0, 0},
        {{"a", "-3", "b"}, 0, 0, 0, 0}, {{"a", "8", "b"}, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("code '" + c.line.code + "'");
        const auto lists = Sorted({c.line});
        EXPECT_EQ(lists.backups.size(), c.backups);
        EXPECT_EQ(lists.removals.size(), c.removals);
        EXPECT_EQ(lists.copies.size(), c.copies);
        EXPECT_EQ(lists.notations.size(), c.notations);
        EXPECT_EQ(lists.counts.size(), c.line.code == "8" ? 1u : 0u);
    }
    EXPECT_EQ(Sorted({{"C:\\X", "2", "Error"}}).notations.front(), "C:\\X Error");
    EXPECT_EQ(Sorted({{"ignored", "1", "why"}}).notations.front(), "why");
}

TEST(ActionReport, MarkupCharactersInPathsAreEscapedEverywhere) {
    auto facts = Facts();
    facts.programFolder = "C:\\Tom & Jerry\\\"Velto\"";
    const auto lists = Sorted({
        {"C:\\Tom & Jerry\\A.DLL", "3", "C:\\<x>\\C~~Tom & Jerry~A.DLL.backup"},
        {"C:\\x>y\\B.DLL", "7", ""},
        {"C:\\a\"b\\C.DLL", "5", "C:\\WINDOWS\\SYSTEM\\C.DLL"},
        {"C:\\<script>", "2", "Error: File does not exist"},
    });
    const std::string text = ReportDocument(facts, lists);
    for (const char* raw : {"Tom & Jerry", "<x>", "x>y", "a\"b", "<script>", "\"Velto\""}) {
        EXPECT_EQ(text.find(raw), std::string::npos) << raw;
    }
    for (const char* escaped :
         {"background=\"C:\\Tom &amp; Jerry\\&quot;Velto&quot;\\watermark.jpg\"",
          ">C:\\Tom &amp; Jerry\\A.DLL<", ">C:\\&lt;x&gt;\\C~~Tom &amp; Jerry~A.DLL.backup<",
          ">C:\\x&gt;y\\B.DLL<", ">C:\\a&quot;b\\C.DLL<",
          ">C:\\&lt;script&gt; Error: File does not exist<"}) {
        EXPECT_NE(text.find(escaped), std::string::npos) << escaped;
    }
}

TEST(ActionReport, HtmlEscapeTouchesOnlyTheFourCharacters) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"C:\\WINDOWS\\SYSTEM\\A.DLL", "C:\\WINDOWS\\SYSTEM\\A.DLL"},
        {"&<>\"", "&amp;&lt;&gt;&quot;"},
        {"&amp;", "&amp;amp;"},
        {"it's ~ 100% é", "it's ~ 100% é"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(HtmlEscape(in), out) << in;
    }
}

TEST(ActionReport, TheViewCommandGetsTheQuotedReportPath) {
    const std::string report = "C:\\WINDOWS\\TEMP\\VLT1A.tmp";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"browser.exe", "browser.exe \"C:\\WINDOWS\\TEMP\\VLT1A.tmp\""},
        {"xdg-open \"%1\"", "xdg-open \"C:\\WINDOWS\\TEMP\\VLT1A.tmp\""},
        {"xdg-open %1", "xdg-open \"C:\\WINDOWS\\TEMP\\VLT1A.tmp\""},
        {"viewer -n %L -q", "viewer -n \"C:\\WINDOWS\\TEMP\\VLT1A.tmp\" -q"},
        {"\"C:\\Program Files\\Web\\web.exe\" -nohome",
         "\"C:\\Program Files\\Web\\web.exe\" -nohome \"C:\\WINDOWS\\TEMP\\VLT1A.tmp\""},
        {"", " \"C:\\WINDOWS\\TEMP\\VLT1A.tmp\""},
    };
    for (const auto& [registered, command] : cases) {
        EXPECT_EQ(ViewCommandLine(registered, report), command) << registered;
    }
}

}  // namespace
}  // namespace modVLTFinalize
