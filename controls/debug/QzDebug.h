// QzDebug: the host program's trace file, its last-resort error dialogs and its command line.
//
// Trace file. While TraceMode is on, every WriteSubTrace and WriteTrace appends one line to
// TracePath & TraceFile. The file is created (emptying the previous run's file of the same
// name) on the first line of a run, starts with "Start of run: {date}" and a system snapshot,
// and ends when the control is destroyed with "Program end: {date}" and a second snapshot.
// A file that cannot be created where configured is created in the current directory as the
// host form's name + ".trc"; when that fails too the run goes untraced. Trace calls never
// raise.
//
// The file is UTF-8 with CR LF line ends. It is an append-only log: each line is handed to the
// system as one write as soon as it is made, so a crash of the program loses nothing that was
// traced, and the worst a crash of the machine can leave is a torn last line. That is what a
// trace is for, so the file is deliberately not written through a sibling and a rename.
//
// Error dialogs. AbortRetryIgnoreError lets the user retry or skip a failed step or end the
// program; DoError explains a fatal error, offers a problem report as a mail link, seals the
// trace file and raises the error again so that the host ends. RunTimeErrorExit turns that
// error into the platform's standard run-time error box at the program's top level.
//
// Command line. Setting CommandLine looks for a "-TRACE" switch (tracing on, an optional
// filter of trace types and an optional trace file name); CommandLineList splits the command
// line into plain arguments and switches.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/automation/Errors.h"
#include "platform/automation/Events.h"
#include "platform/automation/Object.h"
#include "platform/automation/PropertyBag.h"
#include "platform/automation/Variant.h"

namespace Qz_Debug {

inline constexpr const char* kDefaultUserMessage =
    "This application has received a severe error. What would you like to do?";

class QzDebug : public automation::Object {
  public:
    static constexpr const char* kProgID = "Qz_Debug.QzDebug";
    // Size the control keeps on a form, in twips.
    static constexpr int kDesignSize = 736;

    // `hostFormName` is the Name of the form the control is sited on; it names the default
    // trace file.
    explicit QzDebug(std::string hostFormName = "QzDebug");
    // Writes the end-of-run block when a trace file was opened in this run.
    ~QzDebug() override;
    QzDebug(const QzDebug&) = delete;
    QzDebug& operator=(const QzDebug&) = delete;

    const std::string& HostFormName() const { return hostFormName_; }

    // Always ends in "\"; the current directory when nothing was set.
    std::string TracePath();
    void SetTracePath(std::string path);
    // Always ends in ".trc" (any case); the host form's name + ".trc" when nothing was set.
    std::string TraceFile();
    void SetTraceFile(std::string file);
    bool TraceMode() const { return traceMode_; }
    void SetTraceMode(bool on);
    // The filter of trace types; set only through the command line.
    const std::string& TraceType() const { return traceType_; }
    bool IsDesignMode() const { return isDesignMode_; }
    void SetIsDesignMode(bool value);
    const std::string& SubjectForBugs() const { return subjectForBugs_; }
    void SetSubjectForBugs(std::string subject);
    const std::string& DebugEmailAddress() const { return debugEmailAddress_; }
    void SetDebugEmailAddress(std::string address);

    // "{time}: +Enter {name}" when the flag is False, "{time}: -Exit {name}" when it is True;
    // the flag is inverted in either case, also while tracing is off.
    void WriteSubTrace(const std::string& strSubOrFunction, bool& boolInOut);
    // "{time}:  **{type}*{message}", unless the message has a type that the filter TraceType
    // does not contain.
    void WriteTrace(const std::string& strMsg, const std::string& sTraceType = {});

    // Abort (which goes on to DoError and raises), Retry (4) or Ignore (5).
    int AbortRetryIgnoreError(std::int32_t ErrorNum, const std::string& strErrorText,
                              const std::string& ErroredFunction = "unknown",
                              const std::string& ErroredLocation = "unknown",
                              const std::string& UserMessage = kDefaultUserMessage);
    // Always ends by raising run-time error ErrorNum with strErrorText as its description.
    [[noreturn]] void DoError(std::int32_t ErrorNum, const std::string& strErrorText,
                              const std::string& ErroredFunction = "unknown",
                              const std::string& ErroredLocation = "unknown");

    const std::string& CommandLine() const { return commandLine_; }
    // Stores the command line and applies its "-TRACE" switch, if any.
    void SetCommandLine(std::string commandLine);
    // The command line cut at blanks: the first plain argument (or ""), every switch ("/x"
    // written "-x"), then the other plain arguments; a string array with lower bound 0.
    automation::Variant CommandLineList(bool ConvertToCaps = true) const;

    void ReadProperties(const automation::PropertyBag& bag);
    void WriteProperties(automation::PropertyBag& bag) const;
    void AboutDisplay() const;

    // The control's extent on its form in twips; it keeps its design size whatever it is set to.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);
    void UserControl_Resize();

    automation::PropertyChangedEvent PropertyChanged;

  private:
    class TraceWriter;
    enum class TraceState { NotOpened, Open, Closed };

    std::string DefaultTraceFile() const { return hostFormName_ + ".trc"; }
    void OpenTraceFile();
    void WriteLine(std::string_view line);
    void WriteSnapshot();
    void CloseTraceFile();
    void SealTraceFile(std::int32_t errorNum, const std::string& errorText,
                       const std::string& function, const std::string& location);
    void ParseTraceSwitch();

    std::string hostFormName_;
    std::string tracePath_;
    std::string traceFile_;
    bool traceMode_ = false;
    std::string traceType_;
    bool isDesignMode_ = false;
    std::string subjectForBugs_;
    std::string debugEmailAddress_;
    std::string commandLine_;
    TraceState traceState_ = TraceState::NotOpened;
    std::unique_ptr<TraceWriter> writer_;
    int width_ = kDesignSize;
    int height_ = kDesignSize;
};

// Every character except 0-9, A-Z and a-z as "%" and two upper-case hexadecimal digits, byte
// by byte of its UTF-8 form: a blank is %20, CR LF is %0D%0A.
std::string URLEncode(std::string_view text);

// "mailto:{address}?Subject={subject}&Body={body}" with "&cc=" and "&bcc=" when given; the
// subject (a single blank when empty) and the body are URLEncoded.
std::string MailLink(const std::string& address, const std::string& subject,
                     const std::string& body, const std::string& cc = {},
                     const std::string& bcc = {});
// Hands MailLink's link to the desktop's handler. Nothing comes back: whether a message was
// sent is the mail program's business.
void SendMailLink(const std::string& address, const std::string& subject, const std::string& body,
                  const std::string& cc = {}, const std::string& bcc = {});

// The program's top level: shows the platform's standard box for an error nobody handled
// (critical icon, OK, the program's title, "Run-time error '{number}':" and the description)
// and returns the exit status the program ends with (1).
int RunTimeErrorExit(const automation::Error& error);
// Runs the program's body and turns an unhandled run-time error into RunTimeErrorExit;
// otherwise returns the body's own exit status.
int RunWithRunTimeErrorBox(const std::function<int()>& body);

}  // namespace Qz_Debug
