#include "vlt/core/ActionReport.h"

#include <charconv>

namespace modVLTFinalize {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string Count(std::size_t n) {
    return std::to_string(n);
}

// A table row of two half-width cells, as the backup and copy sections write them.
std::string PairRow(const std::pair<std::string, std::string>& row) {
    return std::string(kCrLf) + "<tr><td width=\"50%\"><font size=\"1\">" + HtmlEscape(row.first) +
           "</font></td>" + "<td width=\"50%\"><font size=\"1\">" + HtmlEscape(row.second) +
           "</font></td></tr>";
}

// A row of one full-width cell, as the removal and notation sections write them.
std::string WideRow(const std::string& text) {
    return std::string(kCrLf) + "<tr><td colspan=\"2\" width=\"100%\"><font size=\"1\">" +
           HtmlEscape(text) + "</font></td>" + std::string(kCrLf) + "</tr>";
}

std::string SummaryRow(std::string_view label, std::size_t n) {
    return std::string(kCrLf) + "<tr><td width=\"50%\"><font size=\"1\">" + std::string(label) +
           "</font></td><td width=\"50%\">" + Count(n) + "</td></tr>";
}

std::string SectionHeader(std::string_view caption) {
    return "<th colspan=\"2\"><font size=\"1\">" + std::string(caption) + "</font></th>";
}

constexpr std::string_view kSourceTargetHeader =
    "</tr><tr><th><font size=\"1\">Source</font></th><th><font size=\"1\">Target</font></th>";

}  // namespace

void ReportLists::Add(const std::string& first, std::string_view code, const std::string& second) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), value);
    if (error != std::errc() || end != code.data() + code.size()) {
        return;
    }
    switch (value) {
        case kLogBackup:
            backups.emplace_back(first, second);
            break;
        case kLogRemoval:
            removals.push_back(first);
            break;
        case kLogCopy:
            copies.emplace_back(first, second);
            break;
        case kLogCountChange:
            counts.emplace_back(first, second);
            break;
        case kLogBackupError:
            notations.push_back(first + " " + second);
            break;
        case kLogNotation:
            notations.push_back(second);
            break;
        default:
            break;
    }
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out.push_back(c);
                break;
        }
    }
    return out;
}

std::string ReportHead(const ReportFacts& facts) {
    const std::string caption = facts.title + " version " + facts.version + " Action Report";
    return "<html><head><title>" + caption + "</title></head><body background=\"" +
           HtmlEscape(facts.programFolder) + "\\watermark.jpg\" bgcolor=\"#FFFFFF\">" + "<h3>" +
           caption + "</h3>" + "<b><font size=\"2\">" + facts.dateText + "</font></b>" +
           "<table border=\"0\" cellpadding=\"1\" cellspacing=\"1\">" +
           "<tr><td width=\"50%\"><font size=\"2\"><b>Total System Files Scanned</b></font></td>" +
           "<td width=\"50%\">" + std::to_string(facts.fileCount) + "</td></tr>";
}

std::string ReportSummary(std::int32_t fileCount, const ReportLists& lists) {
    std::string summary = "Total System Files scanned: " + std::to_string(fileCount) + "\r\n";
    if (!lists.backups.empty()) {
        summary += "Files backed up: " + Count(lists.backups.size()) + "\r\n";
    }
    if (!lists.removals.empty()) {
        summary += "Files to remove on restart: " + Count(lists.removals.size()) + "\r\n";
    }
    if (!lists.copies.empty()) {
        summary += "Files to copy on restart: " + Count(lists.copies.size()) + "\r\n";
    }
    if (!lists.counts.empty()) {
        summary += "Use counts changed: " + Count(lists.counts.size()) + "\r\n";
    }
    return summary;
}

std::string ReportDocument(const ReportFacts& facts, const ReportLists& lists) {
    std::string text = ReportHead(facts);
    if (!lists.backups.empty()) {
        text += SummaryRow("Files Backed Up:", lists.backups.size());
    }
    if (!lists.removals.empty()) {
        text += SummaryRow("Files to remove on restart:", lists.removals.size());
    }
    if (!lists.copies.empty()) {
        text += SummaryRow("Files to copy on restart:", lists.copies.size());
    }
    if (!lists.counts.empty()) {
        text += SummaryRow("Use counts changed:", lists.counts.size());
    }
    text += "</table>";

    text += "<p><table border=\"1\" cellpadding=\"1\" cellspacing=\"1\">";
    if (!lists.backups.empty()) {
        text += SectionHeader("Files Backed Up") + std::string(kSourceTargetHeader);
        for (const auto& row : lists.backups) {
            text += PairRow(row);
        }
    }
    if (!lists.removals.empty()) {
        text += SectionHeader("Files To Be Removed on restart");
        for (const auto& file : lists.removals) {
            text += WideRow(file);
        }
    }
    if (!lists.copies.empty()) {
        text += SectionHeader("Files to Copy on restart") + std::string(kSourceTargetHeader);
        for (const auto& row : lists.copies) {
            text += PairRow(row);
        }
    }
    if (!lists.counts.empty()) {
        text += SectionHeader("Shared-Library Use Counts") +
                "</tr><tr><th><font size=\"1\">File</font></th><th><font size=\"1\">Use "
                "count</font></th>";
        for (const auto& row : lists.counts) {
            text += PairRow(row);
        }
    }
    if (!lists.notations.empty()) {
        text += SectionHeader("Notations");
        for (const auto& note : lists.notations) {
            text += WideRow(note);
        }
    }
    text += "</table>";
    text += std::string(kCrLf) + "<hr><center><font size=\"1\">" + facts.copyright +
            "</font></center>" + std::string(kCrLf);
    return text;
}

std::string ViewCommandLine(const std::string& registered, const std::string& reportPath) {
    const std::string quoted = "\"" + reportPath + "\"";
    for (const std::string_view placeholder : {"%1", "%L", "%l"}) {
        const auto at = registered.find(placeholder);
        if (at == std::string::npos) {
            continue;
        }
        const bool inQuotes = at > 0 && registered[at - 1] == '"' &&
                              at + placeholder.size() < registered.size() &&
                              registered[at + placeholder.size()] == '"';
        return registered.substr(0, at) + (inQuotes ? reportPath : quoted) +
               registered.substr(at + placeholder.size());
    }
    return registered + " " + quoted;
}

}  // namespace modVLTFinalize
