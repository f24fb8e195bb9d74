// The last line of defence against run-time errors: the Abort/Retry/Ignore box, the fatal
// error path with its problem report, and the box an unhandled error ends the program with.

#include "controls/debug/Desktop.h"
#include "controls/debug/QzDebug.h"
#include "platform/automation/Format.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/Dialogs.h"

namespace Qz_Debug {
namespace {

constexpr const char* kCrLf = "\r\n";
constexpr std::string_view kDollars = "$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$$";

}  // namespace

std::string URLEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= 'a' && byte <= 'z')) {
            out += ch;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

std::string MailLink(const std::string& address, const std::string& subject,
                     const std::string& body, const std::string& cc, const std::string& bcc) {
    std::string link = "mailto:" + address +
                       "?Subject=" + URLEncode(subject.empty() ? " " : subject) +
                       "&Body=" + URLEncode(body);
    if (!cc.empty()) {
        link += "&cc=" + cc;
    }
    if (!bcc.empty()) {
        link += "&bcc=" + bcc;
    }
    return link;
}

void SendMailLink(const std::string& address, const std::string& subject, const std::string& body,
                  const std::string& cc, const std::string& bcc) {
    OpenLinkOnDesktop(MailLink(address, subject, body, cc, bcc));
}

int QzDebug::AbortRetryIgnoreError(std::int32_t ErrorNum, const std::string& strErrorText,
                                   const std::string& ErroredFunction,
                                   const std::string& ErroredLocation,
                                   const std::string& UserMessage) {
    const std::string text = UserMessage + kCrLf + kCrLf + "The error received was:" + kCrLf +
                             kCrLf + "Error " + std::to_string(ErrorNum) + ":" + kCrLf +
                             strErrorText;
    const int answer = dialogs::MsgBox(text, dialogs::vbAbortRetryIgnore | dialogs::vbCritical,
                                       "Application Error!");
    if (answer == dialogs::vbAbort) {
        DoError(ErrorNum, strErrorText, ErroredFunction, ErroredLocation);
    }
    return answer;
}

void QzDebug::DoError(std::int32_t ErrorNum, const std::string& strErrorText,
                      const std::string& ErroredFunction, const std::string& ErroredLocation) {
    dialogs::MsgBox("Error: " + std::to_string(ErrorNum) + kCrLf + strErrorText + kCrLf +
                        "Occurred at function " + ErroredFunction + kCrLf + ErroredLocation,
                    dialogs::vbOKOnly | dialogs::vbCritical, "Application Error");
    if (debugEmailAddress_.empty()) {
        dialogs::MsgBox(
            "You will see the error repeated.  This is simply to force the program to end. "
            "Please ignore the following error.",
            dialogs::vbOKOnly | dialogs::vbInformation, "Application Ending");
    } else {
        const int answer = dialogs::MsgBox("Do you wish to notify the Vendor?", dialogs::vbYesNo,
                                           "Alert Vendor to problem?");
        if (answer == dialogs::vbYes) {
            SendMailLink(debugEmailAddress_, subjectForBugs_,
                         "Error: " + std::to_string(ErrorNum) + kCrLf +
                             "At Function: " + ErroredFunction + kCrLf + ErroredLocation + kCrLf +
                             "Please include any additional information that could aid in "
                             "resolving this problem:");
            if (traceMode_) {
                SealTraceFile(ErrorNum, strErrorText, ErroredFunction, ErroredLocation);
                const std::string folder = TracePath();
                dialogs::MsgBox(
                    "Trace file(s) may have been created.  Please attach this to your e-mail to "
                    "the vendor. The trace files should be in " +
                        folder + " and all will have the extension \".trc\"",
                    dialogs::vbOKOnly | dialogs::vbInformation, "Trace file created.");
                ShowFolderInFileManager(folder);
            }
        }
        dialogs::MsgBox(
            std::string("If you chose to notify the vendor, then your Internet Browser is "
                        "currently loading.The Browser is used to send an e-mail to the vendor. ") +
                kCrLf + kCrLf +
                "You will see the error repeated.  This is simply to force the program to end. "
                "Please ignore the following error.",
            dialogs::vbOKOnly | dialogs::vbInformation, "Application Ending");
    }
    automation::Raise(ErrorNum, kProgID, strErrorText);
}

// The abend block and a snapshot, then the file is closed for the rest of the run. A run that
// has traced nothing yet opens its file first: the abend is the one thing worth keeping.
void QzDebug::SealTraceFile(std::int32_t errorNum, const std::string& errorText,
                            const std::string& function, const std::string& location) {
    if (traceState_ == TraceState::NotOpened) {
        OpenTraceFile();
    }
    WriteLine(kDollars);
    WriteLine("  Program Abend at: " +
              automation::Format(automation::Variant(dialogs::Now()), "dd mmm yyyy hh:nn:ss"));
    WriteLine("   Error: " + std::to_string(errorNum));
    WriteLine("    " + errorText);
    WriteLine("    In Procedure: " + function);
    WriteLine("    At Location:  " + location);
    WriteLine(kDollars);
    WriteSnapshot();
    CloseTraceFile();
}

int RunTimeErrorExit(const automation::Error& error) {
    dialogs::MsgBox("Run-time error '" + std::to_string(error.Number()) + "':" + kCrLf + kCrLf +
                        error.Description(),
                    dialogs::vbOKOnly | dialogs::vbCritical, dialogs::App().Title());
    return 1;
}

int RunWithRunTimeErrorBox(const std::function<int()>& body) {
    try {
        return body();
    } catch (const automation::Error& error) {
        return RunTimeErrorExit(error);
    }
}

}  // namespace Qz_Debug
