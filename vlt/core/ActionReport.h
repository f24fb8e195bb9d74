// The action report's text: the HTML document that DoActionReport writes and the summary it
// shows in its message box, both made from the action log.
//
// The document's layout is fixed byte for byte (users and support tools compare reports), with
// one exception: every path and message taken from the log, and the program's folder in the
// background attribute, has "&", "<", ">" and '"' written as character references, so that a
// folder named "Tom & Jerry" or "<x>" cannot break the page or put markup into it. The
// document deliberately ends after the footer without closing body or html.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace modVLTFinalize {

// Log codes the report knows (the action log's field 1, as decimal text).
inline constexpr std::int32_t kLogNotation = 1;
inline constexpr std::int32_t kLogBackupError = 2;
inline constexpr std::int32_t kLogBackup = 3;
inline constexpr std::int32_t kLogCopy = 5;
inline constexpr std::int32_t kLogRemoval = 7;
// A shared-library use count changed: the file, and "{before} to {after}: {why}".
inline constexpr std::int32_t kLogCountChange = 8;

// What the report says about the program and the run, besides the log.
struct ReportFacts {
    std::string title;          // the program's title
    std::string version;        // major.minor.revision
    std::string programFolder;  // where watermark.jpg lies, without a trailing backslash
    std::string dateText;       // the run's date and time in the general date format
    std::int32_t fileCount = 0;
    std::string copyright;
};

// The log sorted by kind, each list in log order.
struct ReportLists {
    std::vector<std::pair<std::string, std::string>> backups;  // file, backup file
    std::vector<std::string> removals;
    std::vector<std::pair<std::string, std::string>> copies;  // source, target
    std::vector<std::pair<std::string, std::string>> counts;  // file, change
    std::vector<std::string> notations;

    // Files one log entry into its list: code 3 backups, 7 removals, 5 copies, 8 use counts,
    // 2 (field 0, a blank and field 2) and 1 (field 2 alone) notations; any other code is left
    // out.
    void Add(const std::string& first, std::string_view code, const std::string& second);
};

// "&", "<", ">" and '"' as &amp; &lt; &gt; &quot;; every other byte as it is.
std::string HtmlEscape(std::string_view text);

// The document head up to the file count's row (the table is still open).
std::string ReportHead(const ReportFacts& facts);
// "Total System Files scanned: {n}", then one line per non-empty list; CR LF after each.
std::string ReportSummary(std::int32_t fileCount, const ReportLists& lists);
// The whole document.
std::string ReportDocument(const ReportFacts& facts, const ReportLists& lists);

// The command line that shows the report: the command registered for ".htm" files with the
// report's path in double quotes appended. A command that names its document with a "%1" or
// "%L" placeholder (as most registered commands do) gets the path there instead, since an
// appended path would reach the program as a second document next to a literal "%1".
std::string ViewCommandLine(const std::string& registered, const std::string& reportPath);

}  // namespace modVLTFinalize
