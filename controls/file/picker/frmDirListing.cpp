#include "controls/file/picker/frmDirListing.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>
#include <memory>

#include "controls/file/picker/MachineFolders.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/NamedControls.h"
#include "platform/forms/Twips.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/ntdll/LastError.h"

namespace Qz_File {

namespace {

// Client area of the window in twips.
constexpr double kFormWidth = 5400;
constexpr double kFormHeight = 5160;

// Names Windows refuses for a folder.
bool ValidFolderName(const std::string& name) {
    if (name.find_first_not_of(" .") == std::string::npos) {
        return false;
    }
    for (const unsigned char c : name) {
        if (c < 32 ||
            std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

}  // namespace

frmDirListing::frmDirListing() {
    setObjectName("frmDirListing");
    setWindowTitle("Select Directory");
    setFixedSize(forms::TwipsToPixels(kFormWidth), forms::TwipsToPixels(kFormHeight));

    Label1 = forms::PlacedControl<QLabel>(this, "Label1", 120, 120, 5160, 285);
    Label1->setText("Current Folder");
    Drive1 = forms::PlacedControl<DriveListBox>(this, "Drive1", 120, 480, 3540, 345);
    Drive1->setToolTip("Drive");
    cmdNewFolder = forms::PlacedControl<QToolButton>(this, "cmdNewFolder", 3840, 465, 420, 375);
    cmdNewFolder->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    cmdNewFolder->setToolTip("Create New Folder");
    Dir1 = forms::PlacedControl<DirListBox>(this, "Dir1", 120, 945, 3540, 2475);
    Dir1->setToolTip("Folder (Directory)");
    OK = forms::PlacedControl<QPushButton>(this, "OK", 3840, 945, 1440, 405);
    OK->setText("OK");
    OK->setToolTip("Press OK when you have selected your folder.");
    cmdCancel = forms::PlacedControl<QPushButton>(this, "cmdCancel", 3840, 1470, 1440, 405);
    cmdCancel->setText("Cancel");
    cmdCancel->setToolTip("Press cancel to abort your selection.");
    Label2 = forms::PlacedControl<QLabel>(this, "Label2", 120, 3540, 3540, 255);
    Label2->setText("Files in selected folder:");
    File1 = forms::PlacedControl<FileListBox>(this, "File1", 120, 3840, 3540, 1200);
    File1->setToolTip("Files in Folder");

    Drive1->Change = [this] { Drive1_Change(); };
    Dir1->Change = [this] { Dir1_Change(); };
    Drive1->Failed = [this](const automation::Error& error) { ReportOpenFailure(error); };
    Dir1->Failed = [this](const automation::Error& error) { ReportOpenFailure(error); };
    connect(OK, &QPushButton::clicked, this, [this] { OK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdNewFolder, &QToolButton::clicked, this, [this] { cmdNewFolder_Click(); });
}

// Escape is the Cancel button's key, as in any dialog; the lists pass it on to the window.
void frmDirListing::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel_Click();
        return;
    }
    forms::Form::keyPressEvent(event);
}

std::string frmDirListing::Pattern() const {
    return RequiredFile.empty() ? "*.*" : RequiredFile;
}

void frmDirListing::Form_Load() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        forms::SetLeft(*this, (forms::PixelsToTwips(area.width()) - forms::Width(*this)) / 2);
        forms::SetTop(*this, (forms::PixelsToTwips(area.height()) - forms::Height(*this)) / 2);
    }
    CancelError = false;
    if (!InitDir.substr(0, 2).empty()) {
        try {
            Drive1->SetDrive(InitDir);
        } catch (const automation::Error& error) {
            // An empty floppy or CD drive: start on C: instead.
            if (error.Number() == automation::DeviceUnavailable) {
                try {
                    Drive1->SetDrive("c:\\");
                    InitDir = "c:\\";
                } catch (const automation::Error&) {
                    // A machine without a usable C: starts wherever OpenStartFolder finds one.
                }
            }
        }
    }
    OpenStartFolder();
    File1->SetPattern(Pattern());
    File1->Refresh();
    resultDir_.clear();
}

void frmDirListing::OpenStartFolder() {
    for (const std::string& candidate : StartFolderCandidates(InitDir)) {
        try {
            Dir1->SetPath(candidate);
            File1->SetPath(Dir1->Path());
            Drive1->ShowDrive(Dir1->Path());
            return;
        } catch (const automation::Error&) {
            // Try the next one; a machine without any drive leaves the lists empty.
        }
    }
}

void frmDirListing::Form_Unload(int& /*cancel*/) {
    if (resultDir_.empty()) {
        CancelError = true;
    }
}

void frmDirListing::Drive1_Change() {
    try {
        Dir1->SetPath(Drive1->Drive());
    } catch (const automation::Error& error) {
        Drive1->ShowDrive(Dir1->Path());
        ReportOpenFailure(error);
        return;
    }
    File1->SetPath(Dir1->Path());
    File1->SetPattern(Pattern());
    Dir1->Refresh();
    Label1->setText(QString::fromStdString(Dir1->Path()));
    File1->Refresh();
}

void frmDirListing::Dir1_Change() {
    try {
        File1->SetPath(Dir1->Path());
    } catch (const automation::Error&) {
        File1->clear();
    }
    File1->SetPattern(Pattern());
    const QString path = QString::fromStdString(Dir1->Path());
    Label1->setText(path);
    Label1->setToolTip("Current Folder: " + path);
    File1->Refresh();
}

void frmDirListing::cmdNewFolder_Click() {
    const std::string name =
        dialogs::InputBox("Enter Folder Name", "Create New Folder", "New Folder");
    if (name.empty()) {
        return;
    }
    if (!ValidFolderName(name)) {
        dialogs::MsgBox(
            "A folder name cannot be blank or contain any of these characters:\r\n"
            "\\ / : * ? \" < > |",
            dialogs::vbOKOnly | dialogs::vbExclamation, "Create New Folder");
        return;
    }
    const std::string path = JoinPath(Dir1->Path(), name);
    if (!win32::CreateDirectoryA(path)) {
        const auto number = automation::RunTimeErrorFromWin32(win32::GetLastError());
        dialogs::MsgBox(
            "The folder \"" + path + "\" cannot be created: " + automation::ErrorText(number) + ".",
            dialogs::vbOKOnly | dialogs::vbExclamation, "Create New Folder");
        return;
    }
    Dir1->Refresh();
    Dir1->Highlight(name);
}

void frmDirListing::OK_Click() {
    // With no drive of the machine readable there is nothing to choose; only Cancel answers.
    if (Dir1->Path().empty()) {
        return;
    }
    // A folder the user has highlighted but not opened is the one meant.
    if (const std::string highlighted = Dir1->Highlighted(); highlighted != Dir1->Path()) {
        try {
            Dir1->SetPath(highlighted);
        } catch (const automation::Error& error) {
            Dir1->Refresh();
            ReportOpenFailure(error);
            return;
        }
    }
    if (RequiredFile.empty()) {
        resultDir_ = Dir1->Path();
        InitDir = resultDir_;
    } else {
        File1->Refresh();
        if (File1->ListCount() > 0) {
            RequiredFileFound = true;
            resultDir_ = Dir1->Path();
            InitDir = resultDir_;
        } else {
            RequiredFileFound = false;
            resultDir_.clear();
        }
    }
    hide();
}

void frmDirListing::cmdCancel_Click() {
    resultDir_.clear();
    CancelError = true;
    hide();
}

void frmDirListing::ReportOpenFailure(const automation::Error& error) {
    const std::string what = error.Number() == automation::DeviceUnavailable
                                 ? "The drive is not ready. Insert a disk or choose another drive."
                                 : "The folder cannot be opened: " + error.Description() + ".";
    dialogs::MsgBox(what, dialogs::vbOKOnly | dialogs::vbExclamation, windowTitle().toStdString());
}

dialogs::DirectoryPickerResult ShowDirListing(const dialogs::FolderDialogRequest& request) {
    if (QApplication::instance() == nullptr) {
        return {};
    }
    auto form = std::make_unique<frmDirListing>();
    form->InitDir = request.initDir;
    form->setWindowTitle(QString::fromStdString(request.title));
    form->RequiredFile = request.requiredFile;
    form->Show(forms::vbModal);
    dialogs::DirectoryPickerResult result;
    result.resultDir = form->ResultDir();
    result.canceled = form->CancelError;
    result.requiredFileFound = !request.requiredFile.empty() && form->RequiredFileFound;
    form->Unload();
    return result;
}

void InstallDirectoryPicker() {
    dialogs::SetDirectoryPicker(&ShowDirListing);
}

}  // namespace Qz_File
