#include "platform/forms/QtDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <map>

#include "platform/automation/Errors.h"
#include "platform/dialogs/FileDialogWindow.h"
#include "platform/machine/Machine.h"

namespace forms {

namespace {

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

// Old prompts end lines with CR LF; Qt wants LF alone.
QString PlainLines(const std::string& text) {
    QString result = ToQt(text);
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QChar('\r'), QChar('\n'));
    return result;
}

QMessageBox::StandardButton StandardButtonFor(int result) {
    switch (result) {
        case dialogs::vbOK:
            return QMessageBox::Ok;
        case dialogs::vbCancel:
            return QMessageBox::Cancel;
        case dialogs::vbAbort:
            return QMessageBox::Abort;
        case dialogs::vbRetry:
            return QMessageBox::Retry;
        case dialogs::vbIgnore:
            return QMessageBox::Ignore;
        case dialogs::vbYes:
            return QMessageBox::Yes;
        default:
            return QMessageBox::No;
    }
}

QMessageBox::Icon QtIcon(dialogs::MsgBoxIcon icon) {
    switch (icon) {
        case dialogs::MsgBoxIcon::Critical:
            return QMessageBox::Critical;
        case dialogs::MsgBoxIcon::Question:
            return QMessageBox::Question;
        case dialogs::MsgBoxIcon::Exclamation:
            return QMessageBox::Warning;
        case dialogs::MsgBoxIcon::Information:
            return QMessageBox::Information;
        case dialogs::MsgBoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// Qt would pick an escape button by itself (No of a Yes/No box, for instance); the old boxes
// without Cancel ignore Escape and the close box, so this one refuses both unless told.
class MessageBox : public QMessageBox {
  public:
    explicit MessageBox(QWidget* parent) : QMessageBox(parent) {}
    bool escapeAllowed = false;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!escapeAllowed && event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (!escapeAllowed) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

std::shared_ptr<machine::Machine> RequireMachine() {
    auto current = machine::CurrentMachine();
    if (!current) {
        automation::Raise(automation::PathNotFound, "Dialogs",
                          "No machine is open, so there are no drives to choose from");
    }
    return current;
}

// The host folder a dialog opens on: the start folder when it resolves to an existing
// folder, else the root of drive C:, else of the first drive that has a medium.
QString StartFolder(const machine::Machine& machine, const std::string& initDir) {
    if (!initDir.empty()) {
        const machine::ResolvedPath resolved = machine.Resolve(initDir);
        std::error_code error;
        if (resolved && resolved.exists && std::filesystem::is_directory(resolved.host, error)) {
            return QString::fromStdString(resolved.host.string());
        }
    }
    const machine::DriveInfo* fallback = nullptr;
    for (const machine::DriveInfo& drive : machine.paths().drives()) {
        if (drive.hostFolder.empty()) {
            continue;
        }
        if (drive.letter == 'C') {
            return QString::fromStdString(drive.hostFolder.string());
        }
        if (fallback == nullptr) {
            fallback = &drive;
        }
    }
    return fallback ? QString::fromStdString(fallback->hostFolder.string()) : QString();
}

QList<QUrl> DriveUrls(const machine::Machine& machine) {
    QList<QUrl> urls;
    for (const machine::DriveInfo& drive : machine.paths().drives()) {
        if (!drive.hostFolder.empty()) {
            urls.push_back(QUrl::fromLocalFile(QString::fromStdString(drive.hostFolder.string())));
        }
    }
    return urls;
}

// Runs the dialog until the user cancels or picks a path on one of the machine's drives.
std::optional<std::string> RunOnMachine(QFileDialog& dialog, const machine::Machine& machine) {
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty()) {
            continue;
        }
        const std::filesystem::path host(chosen.front().toStdString());
        if (auto windows = machine.ToWindowsPath(host)) {
            return windows;
        }
        QMessageBox::warning(&dialog, dialog.windowTitle(),
                             QObject::tr("%1 is not on one of the machine's drives. Choose a "
                                         "place on a drive of the machine.")
                                 .arg(chosen.front()));
    }
    return std::nullopt;
}

std::optional<dialogs::FileDialogResult> RunFileDialog(bool save,
                                                       const dialogs::FileDialogRequest& request) {
    const auto machine = RequireMachine();
    QFileDialog dialog(QApplication::activeWindow(), ToQt(request.dialogTitle));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!(request.flags & dialogs::OFN_OVERWRITEPROMPT)) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    }
    dialog.setSidebarUrls(DriveUrls(*machine));
    dialog.setDirectory(StartFolder(*machine, request.initDir));
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = request.filterIndex >= 1 && request.filterIndex <= filters.size()
                              ? request.filterIndex - 1
                              : 0;
        dialog.selectNameFilter(filters[index]);
    }
    std::string ext = request.defaultExt;
    if (ext.starts_with('.')) {
        ext.erase(0, 1);
    }
    dialog.setDefaultSuffix(ToQt(ext));
    if (!request.fileName.empty()) {
        dialog.selectFile(ToQt(dialogs::FileTitleOf(request.fileName)));
    }
    const auto chosen = RunOnMachine(dialog, *machine);
    if (!chosen) {
        return std::nullopt;
    }
    const int filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return dialogs::FileDialogResult{*chosen, dialogs::FileTitleOf(*chosen),
                                     filterIndex > 0 ? filterIndex : request.filterIndex};
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
    QStringList result;
    for (const dialogs::FileFilter& entry : dialogs::ParseFilter(filter)) {
        QStringList patterns;
        for (const std::string& pattern : entry.patterns) {
            const QString asGiven = ToQt(pattern);
            for (const QString& variant : {asGiven, asGiven.toLower(), asGiven.toUpper()}) {
                if (!patterns.contains(variant)) {
                    patterns.push_back(variant);
                }
            }
        }
        result.push_back(ToQt(entry.description) + " (" + patterns.join(' ') + ")");
    }
    return result;
}

int QtDialogs::ShowMsgBox(const dialogs::MsgBoxRequest& request,
                          const dialogs::MsgBoxLayout& layout) {
    MessageBox box(QApplication::activeWindow());
    box.setWindowTitle(ToQt(request.title));
    box.setTextFormat(Qt::PlainText);
    box.setText(PlainLines(request.prompt));
    box.setIcon(QtIcon(layout.icon));
    std::map<QAbstractButton*, int> results;
    for (int result : layout.buttons) {
        QPushButton* button = box.addButton(StandardButtonFor(result));
        results[button] = result;
        if (result == layout.defaultButton) {
            box.setDefaultButton(button);
        }
        if (layout.escapeButton && result == *layout.escapeButton) {
            box.setEscapeButton(button);
        }
    }
    box.escapeAllowed = layout.escapeButton.has_value();
    box.exec();
    const auto clicked = results.find(box.clickedButton());
    if (clicked != results.end()) {
        return clicked->second;
    }
    return layout.escapeButton.value_or(layout.leastDestructive);
}

std::optional<std::string> QtDialogs::ShowInputBox(const dialogs::InputBoxRequest& request) {
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(ToQt(request.title));
    dialog.setLabelText(PlainLines(request.prompt));
    dialog.setTextValue(ToQt(request.defaultText));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue().toStdString();
}

std::optional<dialogs::FileDialogResult> QtDialogs::ShowOpen(
    const dialogs::FileDialogRequest& request) {
    if (dialogs::HasFileDialogWindow()) {
        return dialogs::ShowFileDialogWindow(false, request);
    }
    return RunFileDialog(false, request);
}

std::optional<dialogs::FileDialogResult> QtDialogs::ShowSave(
    const dialogs::FileDialogRequest& request) {
    if (dialogs::HasFileDialogWindow()) {
        return dialogs::ShowFileDialogWindow(true, request);
    }
    return RunFileDialog(true, request);
}

std::optional<std::string> QtDialogs::BrowseForFolder(const dialogs::FolderDialogRequest& request) {
    const auto machine = RequireMachine();
    QFileDialog dialog(QApplication::activeWindow(), ToQt(request.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setSidebarUrls(DriveUrls(*machine));
    dialog.setDirectory(StartFolder(*machine, request.initDir));
    return RunOnMachine(dialog, *machine);
}

}  // namespace forms
