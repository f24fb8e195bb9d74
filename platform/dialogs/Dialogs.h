// The dialogs service: message boxes, input boxes and file dialogs with the old style
// flags and result codes. Every box the program shows goes through the current backend, so
// the same code runs interactively (Qt), headless (console) and under test (scripted).
//
// This library deliberately has no Qt dependency: controls that never open a window must
// build and test without Qt Widgets, and the Qt backend registers itself from
// platform/forms when a window system is there.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dialogs {

// Button groups (the low four bits of a style).
inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbAbortRetryIgnore = 2;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbRetryCancel = 5;
// Icons.
inline constexpr int vbCritical = 16;
inline constexpr int vbQuestion = 32;
inline constexpr int vbExclamation = 48;
inline constexpr int vbInformation = 64;
// Default button.
inline constexpr int vbDefaultButton1 = 0;
inline constexpr int vbDefaultButton2 = 256;
inline constexpr int vbDefaultButton3 = 512;
inline constexpr int vbDefaultButton4 = 768;
// Modality and presentation; accepted and passed on, with no effect on the answer.
inline constexpr int vbApplicationModal = 0;
inline constexpr int vbSystemModal = 4096;
inline constexpr int vbMsgBoxHelpButton = 16384;
inline constexpr int vbMsgBoxSetForeground = 65536;
inline constexpr int vbMsgBoxRight = 524288;
inline constexpr int vbMsgBoxRtlReading = 1048576;

// Results.
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbAbort = 3;
inline constexpr int vbRetry = 4;
inline constexpr int vbIgnore = 5;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

// Common-dialog flags that the file dialogs honour.
inline constexpr long OFN_OVERWRITEPROMPT = 0x2;
inline constexpr long OFN_HIDEREADONLY = 0x4;
inline constexpr long OFN_ALLOWMULTISELECT = 0x200;
inline constexpr long OFN_PATHMUSTEXIST = 0x800;
inline constexpr long OFN_FILEMUSTEXIST = 0x1000;
inline constexpr long OFN_CREATEPROMPT = 0x2000;
inline constexpr long OFN_LONGNAMES = 0x200000;

enum class MsgBoxIcon { None, Critical, Question, Exclamation, Information };

// What a style means, decoded once so that every backend shows the same box.
struct MsgBoxLayout {
    std::vector<int> buttons;         // results, left to right
    int defaultButton = vbOK;         // result of the button that Enter presses
    std::optional<int> escapeButton;  // result of Escape / the close box, if the box allows it
    int leastDestructive = vbOK;      // the answer given when nobody can be asked
    MsgBoxIcon icon = MsgBoxIcon::None;
};

// Decodes a style; raises run-time error 5 for a button group that does not exist.
MsgBoxLayout DecodeMsgBoxStyle(int style);
// "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No".
std::string ButtonCaption(int result);

struct MsgBoxRequest {
    std::string prompt;
    int style = vbOKOnly;
    std::string title;
};

struct InputBoxRequest {
    std::string prompt;
    std::string title;
    std::string defaultText;
};

// Paths in file-dialog requests and answers are Windows paths on the current machine.
// `filter` uses the pipe-separated form "HTML File|*.htm;*.html|All files|*.*".
struct FileDialogRequest {
    std::string dialogTitle;
    std::string initDir;
    std::string fileName;
    std::string defaultExt;
    std::string filter;
    int filterIndex = 1;
    long flags = 0;
};

struct FileDialogResult {
    std::string fileName;   // full path
    std::string fileTitle;  // name part only
    int filterIndex = 1;
};

struct FolderDialogRequest {
    std::string title;
    std::string initDir;
    // A file name or wildcard pattern the chosen folder must hold; only the directory picker
    // (DirectoryPicker.h) checks it, the backends' folder dialogs ignore it.
    std::string requiredFile = {};
};

// One backend shows every box; exactly one is current per process.
class DialogsBackend {
  public:
    virtual ~DialogsBackend() = default;
    // Returns one of the results of the request's layout.
    virtual int ShowMsgBox(const MsgBoxRequest& request, const MsgBoxLayout& layout) = 0;
    // std::nullopt when the user cancelled.
    virtual std::optional<std::string> ShowInputBox(const InputBoxRequest& request) = 0;
    virtual std::optional<FileDialogResult> ShowOpen(const FileDialogRequest& request) = 0;
    virtual std::optional<FileDialogResult> ShowSave(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> BrowseForFolder(const FolderDialogRequest& request) = 0;
};

// The current backend; the console backend for this process until another is installed.
std::shared_ptr<DialogsBackend> CurrentBackend();
// Installs a backend (nullptr restores the console default) and returns the previous one.
std::shared_ptr<DialogsBackend> SetBackend(std::shared_ptr<DialogsBackend> backend);

// Installs a backend for the lifetime of the object and puts the previous one back.
class ScopedBackend {
  public:
    explicit ScopedBackend(std::shared_ptr<DialogsBackend> backend);
    ~ScopedBackend();
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;

  private:
    std::shared_ptr<DialogsBackend> previous_;
};

// A missing title is the application's title, as the old runtime did.
int MsgBox(const std::string& prompt, int style = vbOKOnly,
           const std::optional<std::string>& title = std::nullopt);
// The old contract: the typed text, or "" when the user cancelled.
std::string InputBox(const std::string& prompt,
                     const std::optional<std::string>& title = std::nullopt,
                     const std::string& defaultText = "");
std::optional<FileDialogResult> GetOpenFileName(const FileDialogRequest& request);
std::optional<FileDialogResult> GetSaveFileName(const FileDialogRequest& request);
std::optional<std::string> BrowseForFolder(const FolderDialogRequest& request);

// The name part of a Windows path: the text after the last backslash (or slash).
std::string FileTitleOf(const std::string& path);

// One entry of a pipe-separated filter: "HTML File|*.htm;*.html" gives the description
// "HTML File" and the patterns "*.htm", "*.html". A description without patterns is dropped.
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;
};
std::vector<FileFilter> ParseFilter(const std::string& filter);

// The chosen name with "." + defaultExt appended when its name part has no extension, as the
// save dialog does.
std::string ApplyDefaultExt(const std::string& fileName, const std::string& defaultExt);

}  // namespace dialogs
