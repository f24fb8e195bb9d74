#include "controls/file/picker/ListBoxes.h"

#include <QApplication>
#include <QStyle>
#include <cctype>

#include "controls/file/picker/MachineFolders.h"
#include "platform/win32/kernel32/SystemInfo.h"

namespace Qz_File {

namespace {

QIcon StandardIcon(QStyle::StandardPixmap pixmap) {
    return QApplication::style()->standardIcon(pixmap);
}

QIcon DriveIcon(const std::string& drive) {
    switch (win32::GetDriveTypeA(drive)) {
        case win32::DRIVE_REMOVABLE:
            return StandardIcon(QStyle::SP_DriveFDIcon);
        case win32::DRIVE_CDROM:
            return StandardIcon(QStyle::SP_DriveCDIcon);
        case win32::DRIVE_REMOTE:
            return StandardIcon(QStyle::SP_DriveNetIcon);
        default:
            return StandardIcon(QStyle::SP_DriveHDIcon);
    }
}

std::string DriveKey(const std::string& drive) {
    if (drive.size() < 2 || drive[1] != ':') {
        return {};
    }
    return std::string{static_cast<char>(std::tolower(static_cast<unsigned char>(drive[0]))), ':'};
}

QTreeWidgetItem* FolderItem(QTreeWidgetItem* parent, const std::string& text,
                            const std::string& path, QStyle::StandardPixmap icon) {
    auto* item = new QTreeWidgetItem(parent, QStringList{QString::fromStdString(text)});
    item->setData(0, Qt::UserRole, QString::fromStdString(path));
    item->setIcon(0, StandardIcon(icon));
    return item;
}

}  // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    Refresh();
    connect(this, &QComboBox::activated, this, [this](int index) { UserPicked(index); });
}

std::string DriveListBox::Drive() const {
    return drive_;
}

int DriveListBox::IndexOf(const std::string& drive) const {
    const std::string key = DriveKey(drive);
    return key.empty() ? -1 : findData(QString::fromStdString(key));
}

void DriveListBox::SetDrive(const std::string& drive) {
    RequireDriveReady(drive);
    const int index = IndexOf(drive);
    if (index < 0) {
        automation::Raise(automation::DeviceUnavailable);
    }
    const std::string key = DriveKey(drive);
    const bool changed = key != drive_;
    drive_ = key;
    setCurrentIndex(index);
    if (changed && Change) {
        Change();
    }
}

void DriveListBox::ShowDrive(const std::string& drive) {
    const int index = IndexOf(drive);
    if (index >= 0) {
        drive_ = DriveKey(drive);
    }
    setCurrentIndex(index >= 0 ? index : IndexOf(drive_));
}

void DriveListBox::Refresh() {
    clear();
    for (const std::string& drive : MachineDrives()) {
        addItem(DriveIcon(drive), QString::fromStdString(DriveCaption(drive)),
                QString::fromStdString(drive));
    }
    setCurrentIndex(IndexOf(drive_));
}

void DriveListBox::UserPicked(int index) {
    try {
        SetDrive(itemData(index).toString().toStdString());
    } catch (const automation::Error& error) {
        setCurrentIndex(IndexOf(drive_));
        if (Failed) {
            Failed(error);
        }
    }
}

DirListBox::DirListBox(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(12);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { UserOpened(item); });
}

void DirListBox::SetPath(const std::string& path) {
    const std::string folder = ExistingFolder(path);
    const bool changed = folder != path_;
    path_ = folder;
    Rebuild();
    if (changed && Change) {
        Change();
    }
}

void DirListBox::Refresh() {
    const std::string highlighted = Highlighted();
    Rebuild();
    for (int i = 0; i < ListCount(); ++i) {
        if (List(i) == highlighted) {
            Highlight(subFolders_[static_cast<std::size_t>(i)]);
        }
    }
}

void DirListBox::Rebuild() {
    clear();
    subFolders_.clear();
    if (path_.empty()) {
        return;
    }
    // The open folder's ancestors from the root down, then its subfolders below it.
    std::string sofar = path_.substr(0, 3);
    QTreeWidgetItem* open = FolderItem(invisibleRootItem(), sofar, sofar, QStyle::SP_DriveHDIcon);
    std::size_t start = 3;
    while (start < path_.size()) {
        const std::size_t end = std::min(path_.find('\\', start), path_.size());
        const std::string name = path_.substr(start, end - start);
        sofar = JoinPath(sofar, name);
        open->setExpanded(true);
        open = FolderItem(open, name, sofar, QStyle::SP_DirOpenIcon);
        start = end + 1;
    }
    subFolders_ = SubFolders(path_);
    for (const std::string& name : subFolders_) {
        FolderItem(open, name, JoinPath(path_, name), QStyle::SP_DirClosedIcon);
    }
    open->setExpanded(true);
    setCurrentItem(open);
}

std::string DirListBox::List(int index) const {
    if (index < 0 || index >= ListCount()) {
        return {};
    }
    return JoinPath(path_, subFolders_[static_cast<std::size_t>(index)]);
}

std::string DirListBox::Highlighted() const {
    const QTreeWidgetItem* item = currentItem();
    return item != nullptr ? item->data(0, Qt::UserRole).toString().toStdString() : path_;
}

void DirListBox::Highlight(const std::string& name) {
    const auto found =
        findItems(QString::fromStdString(name), Qt::MatchFixedString | Qt::MatchRecursive);
    const QString path = QString::fromStdString(JoinPath(path_, name));
    for (QTreeWidgetItem* item : found) {
        if (item->data(0, Qt::UserRole).toString().compare(path, Qt::CaseInsensitive) == 0) {
            setCurrentItem(item);
            return;
        }
    }
}

void DirListBox::UserOpened(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    try {
        SetPath(item->data(0, Qt::UserRole).toString().toStdString());
    } catch (const automation::Error& error) {
        Refresh();
        if (Failed) {
            Failed(error);
        }
    }
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::SetPath(const std::string& path) {
    path_ = ExistingFolder(path);
    Refresh();
}

void FileListBox::SetPattern(const std::string& pattern) {
    pattern_ = pattern.empty() ? "*.*" : pattern;
    Refresh();
}

void FileListBox::Refresh() {
    clear();
    if (path_.empty()) {
        return;
    }
    for (const std::string& name : MatchingFiles(path_, pattern_)) {
        addItem(QString::fromStdString(name));
    }
}

std::string FileListBox::List(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry != nullptr ? entry->text().toStdString() : std::string();
}

}  // namespace Qz_File
