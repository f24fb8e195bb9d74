#pragma once
// The scripting shell object "WScript.Shell", as far as programs use it to make shortcuts:
// CreateShortcut gives a shortcut object for a .lnk path (or an Internet shortcut for a .url
// path); its properties are set and Save writes the file, whole or not at all. A path that
// already holds a shortcut starts out with that shortcut's properties.
//
// Paths are Windows paths of the current machine; relative ones start at its current
// directory.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/automation/Object.h"
#include "platform/win32/shell32/ShellLink.h"

namespace win32 {

class WshShortcut : public automation::Object {
  public:
    explicit WshShortcut(std::string fullName);

    const std::string& FullName() const { return fullName_; }

    const std::string& Arguments() const { return link_.arguments; }
    void SetArguments(const std::string& value) { link_.arguments = value; }
    const std::string& Description() const { return link_.description; }
    void SetDescription(const std::string& value) { link_.description = value; }
    // "Alt+Ctrl+Shift+F", "F12", "" for none. Setting reads any order and case of the
    // modifiers Alt, Ctrl, Shift and Ext with a letter, a digit or F1..F24; anything else
    // raises run-time error 5.
    std::string Hotkey() const;
    void SetHotkey(const std::string& value);
    // "path,index"; ",0" when the target's own icon is used.
    std::string IconLocation() const;
    void SetIconLocation(const std::string& value);
    // Replaces the relative path that Save works out from the target.
    void SetRelativePath(const std::string& value);
    const std::string& TargetPath() const { return link_.targetPath; }
    void SetTargetPath(const std::string& value);
    // 1 normal, 3 maximized, 7 minimized; any other value is taken as 1.
    std::int32_t WindowStyle() const;
    void SetWindowStyle(std::int32_t value);
    const std::string& WorkingDirectory() const { return link_.workingDirectory; }
    void SetWorkingDirectory(const std::string& value) { link_.workingDirectory = value; }

    // Writes the shortcut; raises the Win32 failure as an automation error (0x8007xxxx)
    // when the file cannot be written.
    void Save();

  private:
    std::string fullName_;
    ShellLink link_;
    bool relativeGiven_ = false;
};

class WshURLShortcut : public automation::Object {
  public:
    explicit WshURLShortcut(std::string fullName);

    const std::string& FullName() const { return fullName_; }
    const std::string& TargetPath() const { return target_; }
    void SetTargetPath(const std::string& value) { target_ = value; }
    // Writes "[InternetShortcut]" and "URL=..." lines.
    void Save();

  private:
    std::string fullName_;
    std::string target_;
};

class WshShell : public automation::Object {
  public:
    static constexpr const char* kProgID = "WScript.Shell";

    // A WshShortcut for a path ending in .lnk, a WshURLShortcut for one ending in .url (any
    // case); any other path raises run-time error 5.
    std::shared_ptr<automation::Object> CreateShortcut(const std::string& PathLink);
};

}  // namespace win32
