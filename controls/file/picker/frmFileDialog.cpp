#include "controls/file/picker/frmFileDialog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>
#include <memory>

#include "controls/file/picker/MachineFolders.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/FileDialogWindow.h"
#include "platform/forms/NamedControls.h"
#include "platform/forms/Twips.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/ntdll/LastError.h"

namespace Qz_File {

namespace {

// Client area of the window in twips.
constexpr double kFormWidth = 7320;
constexpr double kFormHeight = 3900;

QLabel* Caption(QWidget* form, const char* name, const char* text, double left, double top,
                double width) {
    auto* label = forms::PlacedControl<QLabel>(form, name, left, top, width, 255);
    label->setText(QString::fromLatin1(text));
    return label;
}

// Characters Windows refuses in a name (the backslash separates folders).
bool ValidName(const std::string& name) {
    if (name.empty() || name.find_first_not_of(" .") == std::string::npos) {
        return false;
    }
    for (const unsigned char c : name) {
        if (c < 32 ||
            std::string_view("/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool IsFolder(const std::string& path) {
    const std::int32_t attributes = win32::GetFileAttributesA(path);
    return attributes != win32::INVALID_FILE_ATTRIBUTES &&
           (attributes & win32::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::string& path) {
    const std::int32_t attributes = win32::GetFileAttributesA(path);
    return attributes != win32::INVALID_FILE_ATTRIBUTES &&
           (attributes & win32::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string Joined(const std::vector<std::string>& patterns) {
    std::string joined;
    for (const std::string& pattern : patterns) {
        joined += (joined.empty() ? "" : ";") + pattern;
    }
    return joined.empty() ? std::string("*.*") : joined;
}

}  // namespace

frmFileDialog::frmFileDialog(bool save) : save_(save) {
    setObjectName("frmFileDialog");
    setWindowTitle(save ? "Save As" : "Open");
    setFixedSize(forms::TwipsToPixels(kFormWidth), forms::TwipsToPixels(kFormHeight));

    lbFileName = Caption(this, "lbFileName", "File &name:", 120, 120, 3060);
    txFileName = forms::PlacedControl<QLineEdit>(this, "txFileName", 120, 390, 3060, 345);
    lbFileName->setBuddy(txFileName);
    File1 = forms::PlacedControl<FileListBox>(this, "File1", 120, 810, 3060, 2040);
    File1->setToolTip("Files in Folder");
    lbFolders = Caption(this, "lbFolders", "&Folders:", 3300, 120, 2460);
    txFolder = forms::PlacedControl<QLineEdit>(this, "txFolder", 3300, 390, 2460, 345);
    txFolder->setReadOnly(true);
    txFolder->setFocusPolicy(Qt::NoFocus);
    Dir1 = forms::PlacedControl<DirListBox>(this, "Dir1", 3300, 810, 2460, 2040);
    Dir1->setToolTip("Folder (Directory)");
    lbFolders->setBuddy(Dir1);
    lbType = Caption(this, "lbType", save ? "Save file as &type:" : "List files of &type:", 120,
                     2970, 3060);
    cboType = forms::PlacedControl<QComboBox>(this, "cboType", 120, 3240, 3060, 345);
    lbType->setBuddy(cboType);
    lbDrives = Caption(this, "lbDrives", "Dri&ves:", 3300, 2970, 2460);
    Drive1 = forms::PlacedControl<DriveListBox>(this, "Drive1", 3300, 3240, 2460, 345);
    Drive1->setToolTip("Drive");
    lbDrives->setBuddy(Drive1);
    OK = forms::PlacedControl<QPushButton>(this, "OK", 5880, 390, 1320, 405);
    OK->setText(save ? "&Save" : "&Open");
    OK->setDefault(true);
    cmdCancel = forms::PlacedControl<QPushButton>(this, "cmdCancel", 5880, 900, 1320, 405);
    cmdCancel->setText("Cancel");
    cmdNewFolder = forms::PlacedControl<QToolButton>(this, "cmdNewFolder", 5880, 1410, 420, 375);
    cmdNewFolder->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    cmdNewFolder->setToolTip("Create New Folder");

    Drive1->Change = [this] { Drive1_Change(); };
    Dir1->Change = [this] { Dir1_Change(); };
    const auto failed = [this](const automation::Error& error) {
        Tell(error.Number() == automation::DeviceUnavailable
                 ? "The drive is not ready. Insert a disk or choose another drive."
                 : "The folder cannot be opened: " + error.Description() + ".");
    };
    Drive1->Failed = failed;
    Dir1->Failed = failed;
    connect(cboType, &QComboBox::activated, this, [this] { cboType_Click(); });
    connect(File1, &QListWidget::itemClicked, this, [this] { File1_Click(); });
    connect(File1, &QListWidget::itemActivated, this, [this] {
        File1_Click();
        OK_Click();
    });
    connect(OK, &QPushButton::clicked, this, [this] { OK_Click(); });
    // Enter in the name box is the Save button's key, as in any file dialog.
    connect(txFileName, &QLineEdit::returnPressed, this, [this] { OK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdNewFolder, &QToolButton::clicked, this, [this] { cmdNewFolder_Click(); });
}

void frmFileDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdCancel_Click();
        return;
    }
    forms::Form::keyPressEvent(event);
}

void frmFileDialog::Form_Load() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        forms::SetLeft(*this, (forms::PixelsToTwips(area.width()) - forms::Width(*this)) / 2);
        forms::SetTop(*this, (forms::PixelsToTwips(area.height()) - forms::Height(*this)) / 2);
    }
    result_.reset();
    if (!Request.dialogTitle.empty()) {
        setWindowTitle(QString::fromStdString(Request.dialogTitle));
    }
    filters_ = dialogs::ParseFilter(Request.filter);
    cboType->clear();
    for (const dialogs::FileFilter& filter : filters_) {
        cboType->addItem(
            QString::fromStdString(filter.description + " (" + Joined(filter.patterns) + ")"));
    }
    if (filters_.empty()) {
        cboType->addItem("All files (*.*)");
    }
    const int index = Request.filterIndex >= 1 && Request.filterIndex <= cboType->count()
                          ? Request.filterIndex - 1
                          : 0;
    cboType->setCurrentIndex(index);
    File1->SetPattern(
        filters_.empty() ? "*.*" : Joined(filters_[static_cast<std::size_t>(index)].patterns));
    // The start folder, or the nearest one there is when it cannot be opened.
    for (const std::string& candidate : StartFolderCandidates(Request.initDir)) {
        try {
            Dir1->SetPath(candidate);
            break;
        } catch (const automation::Error&) {
            // Try the next one; a machine without any drive leaves the lists empty.
        }
    }
    Dir1_Change();
    txFileName->setText(QString::fromStdString(dialogs::FileTitleOf(Request.fileName)));
    txFileName->selectAll();
    txFileName->setFocus();
}

void frmFileDialog::Drive1_Change() {
    try {
        Dir1->SetPath(Drive1->Drive());
    } catch (const automation::Error& error) {
        Drive1->ShowDrive(Dir1->Path());
        Drive1->Failed(error);
    }
}

void frmFileDialog::Dir1_Change() {
    const std::string folder = Dir1->Path();
    try {
        File1->SetPath(folder);
    } catch (const automation::Error&) {
        File1->clear();
    }
    Drive1->ShowDrive(folder);
    txFolder->setText(QString::fromStdString(folder));
    txFolder->setToolTip(QString::fromStdString(folder));
    txFolder->setCursorPosition(0);
}

void frmFileDialog::cboType_Click() {
    const auto index = static_cast<std::size_t>(cboType->currentIndex());
    File1->SetPattern(index < filters_.size() ? Joined(filters_[index].patterns) : "*.*");
}

void frmFileDialog::File1_Click() {
    if (const QListWidgetItem* item = File1->currentItem()) {
        txFileName->setText(item->text());
    }
}

void frmFileDialog::cmdNewFolder_Click() {
    const std::string name =
        dialogs::InputBox("Enter Folder Name", "Create New Folder", "New Folder");
    if (name.empty()) {
        return;
    }
    if (!ValidName(name) || name.find('\\') != std::string::npos) {
        Tell(
            "A folder name cannot be blank or contain any of these characters:\r\n"
            "\\ / : * ? \" < > |");
        return;
    }
    const std::string path = JoinPath(Dir1->Path(), name);
    if (!win32::CreateDirectoryA(path)) {
        const auto number = automation::RunTimeErrorFromWin32(win32::GetLastError());
        Tell("The folder \"" + path + "\" cannot be created: " + automation::ErrorText(number) +
             ".");
        return;
    }
    Dir1->Refresh();
    Dir1->Highlight(name);
}

bool frmFileDialog::OpenFolder(const std::string& folder) {
    try {
        Dir1->SetPath(folder);
        return true;
    } catch (const automation::Error& error) {
        Dir1->Failed(error);
        return false;
    }
}

std::optional<std::string> frmFileDialog::ChosenFile(const std::string& typed) {
    if (typed.empty()) {
        // A folder highlighted but not opened is opened, as a double-click would.
        if (const std::string highlighted = Dir1->Highlighted(); highlighted != Dir1->Path()) {
            OpenFolder(highlighted);
        }
        return std::nullopt;
    }
    // Paths of this dialog are the machine's: "C:\My Documents\A.HTM", never the host's.
    if (typed.find('/') != std::string::npos) {
        Tell(typed +
             " is not a name on this machine.\r\n\r\nType a file name, or a path such as "
             "C:\\My Documents\\" +
             (Request.fileName.empty() ? std::string("REPORT.HTM")
                                       : dialogs::FileTitleOf(Request.fileName)) +
             ".");
        return std::nullopt;
    }
    if (typed.find_first_of("*?") != std::string::npos) {
        File1->SetPattern(typed);
        txFileName->clear();
        return std::nullopt;
    }
    std::string path;
    if (typed.size() >= 2 && typed[1] == ':') {
        path = typed.size() == 2 ? typed + "\\" : typed;
    } else if (typed.starts_with('\\')) {
        path = Dir1->Path().substr(0, 2) + typed;
    } else {
        path = JoinPath(Dir1->Path(), typed);
    }
    if (IsFolder(path) || typed == "..") {
        if (OpenFolder(path)) {
            txFileName->clear();
        }
        return std::nullopt;
    }
    const std::size_t slash = path.rfind('\\');
    const std::string folder = path.substr(0, slash == 2 ? 3 : slash);
    const std::string name = path.substr(slash + 1);
    if (!ValidName(name)) {
        Tell(name + "\r\nThe file name is not valid.");
        return std::nullopt;
    }
    if (!IsFolder(folder)) {
        Tell(path + "\r\nThe folder " + folder + " does not exist.  Check the path.");
        return std::nullopt;
    }
    if (save_) {
        path = dialogs::ApplyDefaultExt(path, Request.defaultExt);
        if (IsFolder(path)) {
            OpenFolder(path);
            return std::nullopt;
        }
        if (IsFile(path) && (Request.flags & dialogs::OFN_OVERWRITEPROMPT) != 0 &&
            dialogs::MsgBox(path + " already exists.\r\nDo you want to replace it?",
                            dialogs::vbYesNo | dialogs::vbExclamation,
                            windowTitle().toStdString()) != dialogs::vbYes) {
            return std::nullopt;
        }
    } else if (!IsFile(path)) {
        Tell(path + "\r\nFile not found.  Check the file name.");
        return std::nullopt;
    }
    return path;
}

void frmFileDialog::OK_Click() {
    const std::string typed(automation::Trim(txFileName->text().toStdString()));
    const std::optional<std::string> chosen = ChosenFile(typed);
    if (!chosen) {
        return;
    }
    result_ = dialogs::FileDialogResult{*chosen, dialogs::FileTitleOf(*chosen),
                                        cboType->currentIndex() + 1};
    hide();
}

void frmFileDialog::cmdCancel_Click() {
    result_.reset();
    hide();
}

void frmFileDialog::Tell(const std::string& message) const {
    dialogs::MsgBox(message, dialogs::vbOKOnly | dialogs::vbExclamation,
                    windowTitle().toStdString());
}

std::optional<dialogs::FileDialogResult> ShowFileDialog(bool save,
                                                        const dialogs::FileDialogRequest& request) {
    if (QApplication::instance() == nullptr) {
        return std::nullopt;
    }
    auto form = std::make_unique<frmFileDialog>(save);
    form->Request = request;
    form->Show(forms::vbModal);
    std::optional<dialogs::FileDialogResult> result = form->Result();
    form->Unload();
    return result;
}

void InstallFileDialog() {
    dialogs::SetFileDialogWindow(&ShowFileDialog);
}

}  // namespace Qz_File
