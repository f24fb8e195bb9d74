// The drive list, folder list and file list boxes of the picker window, over the machine's
// drives and Windows paths. Each keeps the old list box's members (Drive, Path, Pattern,
// ListCount, List, Refresh); change notifications are std::function members.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>
#include <functional>
#include <string>

#include "platform/automation/Errors.h"

namespace Qz_File {

class DriveListBox : public QComboBox {
  public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // The selected drive as "c:"; empty before one is selected.
    std::string Drive() const;
    // Selects the drive that `drive` starts with ("c:\", "C:", "c:\windows") and raises Change
    // when that is another drive. Raises run-time error 68 for a drive the machine lacks or one
    // without a medium; the selection stays as it was.
    void SetDrive(const std::string& drive);
    // Selects the drive without raising Change (the caller already shows its folders).
    void ShowDrive(const std::string& drive);
    // Reads the machine's drives again.
    void Refresh();
    // What the user's choice of entry `index` does: SetDrive, and on failure the selection
    // goes back and Failed hears why.
    void UserPicked(int index);

    std::function<void()> Change;
    std::function<void(const automation::Error&)> Failed;

  private:
    int IndexOf(const std::string& drive) const;

    std::string drive_;
};

class DirListBox : public QTreeWidget {
  public:
    explicit DirListBox(QWidget* parent = nullptr);

    // "C:\" for a root, "C:\WINDOWS\SYSTEM" below it; empty before a path was set.
    const std::string& Path() const { return path_; }
    // Opens an existing folder (see ExistingFolder for the errors) and raises Change when the
    // path changes.
    void SetPath(const std::string& path);
    // Lists the open folder's subfolders again.
    void Refresh();
    // The open folder's subfolders: how many, and the full path of one (0-based).
    int ListCount() const { return static_cast<int>(subFolders_.size()); }
    std::string List(int index) const;
    // The folder the user has highlighted; the open one when there is none.
    std::string Highlighted() const;
    // Highlights a subfolder of the open folder by name, without opening it.
    void Highlight(const std::string& name);
    // What the user's double-click or Enter on an item does: opens its folder; a failure (the
    // folder has gone) refreshes the list and tells Failed.
    void UserOpened(QTreeWidgetItem* item);

    std::function<void()> Change;
    std::function<void(const automation::Error&)> Failed;

  private:
    void Rebuild();

    std::string path_;
    std::vector<std::string> subFolders_;
};

class FileListBox : public QListWidget {
  public:
    explicit FileListBox(QWidget* parent = nullptr);

    const std::string& Path() const { return path_; }
    // An existing folder, as for DirListBox; the list is read again.
    void SetPath(const std::string& path);
    // File names or wildcard patterns separated by ";"; "*.*" until set. The list is read
    // again.
    const std::string& Pattern() const { return pattern_; }
    void SetPattern(const std::string& pattern);
    void Refresh();
    int ListCount() const { return count(); }
    std::string List(int index) const;

  private:
    std::string path_;
    std::string pattern_ = "*.*";
};

}  // namespace Qz_File
