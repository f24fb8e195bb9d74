// The App object: what the program knows about itself (folder, title, version, maker).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace dialogs {

class AppObject {
  public:
    // The program's folder on the current machine, as a Windows path without a trailing
    // backslash unless it is a drive root (C:\).
    std::string Path() const;
    // The title boxes show when they are given none; the program may change it.
    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }
    std::string CompanyName() const;
    std::string ProductName() const;
    std::string LegalCopyright() const;
    std::string LegalTrademarks() const;
    int Major() const;
    int Minor() const;
    int Revision() const;
    // The running program's file name without its folder (host programs have no extension).
    std::string EXEName() const;
    // The host folder of the files the program ships with: share/velto beside the folder the
    // running program is in (P/bin/vlt reads P/share/velto; the build tree stages a copy the
    // same way). nullopt when there is none.
    std::optional<std::filesystem::path> DataFolder() const;
    // A second copy of the program is never told apart from the first.
    bool PrevInstance() const { return false; }

  private:
    std::string title_ = "Velto";
};

// The process's App object.
AppObject& App();

}  // namespace dialogs
