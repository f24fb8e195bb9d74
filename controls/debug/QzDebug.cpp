#include "controls/debug/QzDebug.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "controls/debug/SystemSnapshot.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Format.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/ControlAbout.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/kernel32/SystemInfo.h"

namespace Qz_Debug {
namespace {

using automation::Variant;

const automation::ProgIDRegistration kRegistration(QzDebug::kProgID,
                                                   [] { return std::make_shared<QzDebug>(); });

std::string TimeText() {
    return automation::Format(Variant(dialogs::Now()), "hh:nn:ss");
}

std::string DateTimeText() {
    return automation::Format(Variant(dialogs::Now()), "dd mmm yyyy hh:nn:ss");
}

// Tracing must never disturb its host: a trace call that fails for any reason returns quietly.
template <class F>
void IgnoringErrors(F&& body) noexcept {
    try {
        body();
    } catch (const std::exception&) {
        return;
    }
}

std::string CurrentDirectory() {
    return win32::GetCurrentDirectoryA().value_or("");
}

}  // namespace

// The open trace file: one descriptor, each line handed to the system in one write.
class QzDebug::TraceWriter {
  public:
    explicit TraceWriter(int fd) : fd_(fd) {}
    ~TraceWriter() { ::close(fd_); }
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // Creates the file or empties an existing one; nullptr when that fails.
    static std::unique_ptr<TraceWriter> Create(const std::string& windowsPath) {
        const auto host = win32::HostPathOf(windowsPath);
        if (!host) {
            return nullptr;
        }
        // Never waits for a reader: a FIFO or device in the trace file's place is no trace file.
        const int fd =
            ::open(host->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
        if (fd < 0) {
            return nullptr;
        }
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<TraceWriter>(fd);
    }

    void WriteLine(std::string_view line) {
        std::string record(line);
        record += "\r\n";
        std::string_view rest = record;
        while (!rest.empty()) {
            const ssize_t written = ::write(fd_, rest.data(), rest.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return;
            }
            rest.remove_prefix(static_cast<std::size_t>(written));
        }
    }

  private:
    int fd_;
};

QzDebug::QzDebug(std::string hostFormName) : hostFormName_(std::move(hostFormName)) {}

QzDebug::~QzDebug() {
    if (traceState_ == TraceState::NotOpened) {
        return;
    }
    IgnoringErrors([this] {
        WriteLine("Program end: " + DateTimeText());
        WriteSnapshot();
    });
    CloseTraceFile();
    traceState_ = TraceState::NotOpened;
    traceMode_ = false;
}

std::string QzDebug::TracePath() {
    if (tracePath_.empty()) {
        SetTracePath(CurrentDirectory());
    }
    return tracePath_;
}

void QzDebug::SetTracePath(std::string path) {
    if (!path.ends_with('\\')) {
        path += '\\';
    }
    tracePath_ = std::move(path);
}

std::string QzDebug::TraceFile() {
    if (traceFile_.empty()) {
        traceFile_ = DefaultTraceFile();
    }
    return traceFile_;
}

void QzDebug::SetTraceFile(std::string file) {
    const std::size_t tail = file.size() < 4 ? 0 : file.size() - 4;
    if (automation::LCase(std::string_view(file).substr(tail)) != ".trc") {
        file += ".trc";
    }
    traceFile_ = std::move(file);
    PropertyChanged("TraceFile");
}

void QzDebug::SetTraceMode(bool on) {
    traceMode_ = on;
    PropertyChanged("TraceMode");
}

void QzDebug::SetIsDesignMode(bool value) {
    isDesignMode_ = value;
    PropertyChanged("IsDesignMode");
}

void QzDebug::SetSubjectForBugs(std::string subject) {
    subjectForBugs_ = std::move(subject);
    PropertyChanged("SubjectForBugs");
}

void QzDebug::SetDebugEmailAddress(std::string address) {
    debugEmailAddress_ = std::move(address);
    PropertyChanged("DebugEmailAddress");
}

void QzDebug::WriteSubTrace(const std::string& strSubOrFunction, bool& boolInOut) {
    if (traceMode_) {
        IgnoringErrors([&] {
            if (traceState_ == TraceState::NotOpened) {
                OpenTraceFile();
            }
            WriteLine(TimeText() + (boolInOut ? ": -Exit " : ": +Enter ") + strSubOrFunction);
        });
    }
    boolInOut = !boolInOut;
}

void QzDebug::WriteTrace(const std::string& strMsg, const std::string& sTraceType) {
    if (!traceMode_) {
        return;
    }
    if (!sTraceType.empty() && !traceType_.empty() &&
        traceType_.find(sTraceType) == std::string::npos) {
        return;
    }
    IgnoringErrors([&] {
        if (traceState_ == TraceState::NotOpened) {
            OpenTraceFile();
        }
        WriteLine(TimeText() + ":  **" + sTraceType + "*" + strMsg);
    });
}

void QzDebug::OpenTraceFile() {
    // Opened once per run: even when both places fail, no later line tries again.
    traceState_ = TraceState::Open;
    writer_ = TraceWriter::Create(TracePath() + TraceFile());
    if (!writer_) {
        SetTracePath(CurrentDirectory());
        SetTraceFile(DefaultTraceFile());
        writer_ = TraceWriter::Create(TracePath() + TraceFile());
    }
    WriteLine("Start of run: " + DateTimeText());
    WriteSnapshot();
}

void QzDebug::WriteLine(std::string_view line) {
    if (writer_) {
        writer_->WriteLine(line);
    }
}

void QzDebug::WriteSnapshot() {
    if (!writer_) {
        return;
    }
    for (const std::string& line : SnapshotLines(GatherSnapshotFacts())) {
        WriteLine(line);
    }
}

void QzDebug::CloseTraceFile() {
    writer_.reset();
    traceState_ = TraceState::Closed;
}

void QzDebug::ReadProperties(const automation::PropertyBag& bag) {
    debugEmailAddress_ = automation::CStr(bag.ReadProperty("DebugEmailAddress", ""));
    subjectForBugs_ = automation::CStr(bag.ReadProperty("SubjectForBugs", ""));
    isDesignMode_ = automation::CBool(bag.ReadProperty("IsDesignMode", false));
    traceMode_ = automation::CBool(bag.ReadProperty("TraceMode", false));
    traceFile_ = automation::CStr(bag.ReadProperty("TraceFile", DefaultTraceFile()));
}

void QzDebug::WriteProperties(automation::PropertyBag& bag) const {
    bag.WriteProperty("SubjectForBugs", subjectForBugs_, Variant(""));
    bag.WriteProperty("DebugEmailAddress", debugEmailAddress_, Variant(""));
    bag.WriteProperty("IsDesignMode", isDesignMode_, Variant(false));
    bag.WriteProperty("TraceMode", traceMode_, Variant(false));
    bag.WriteProperty("TraceFile", traceFile_.empty() ? DefaultTraceFile() : traceFile_,
                      Variant(DefaultTraceFile()));
}

void QzDebug::AboutDisplay() const {
    dialogs::ShowControlAbout(dialogs::MakerVersion("QzDebug"));
}

void QzDebug::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
    UserControl_Resize();
}

void QzDebug::UserControl_Resize() {
    width_ = kDesignSize;
    height_ = kDesignSize;
}

}  // namespace Qz_Debug
