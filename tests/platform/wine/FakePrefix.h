#pragma once
// A prefix laid out as Wine lays one out, written by the test itself (no Wine needed): the
// three registry files with the keys a test gives, in Wine's text, and dosdevices/ links.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace winetest {

class FakePrefix {
  public:
    // `below`: the prefix lies that far below the temporary folder ("compatdata/10/pfx").
    explicit FakePrefix(const std::filesystem::path& below = {}) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-pfx-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        folder_ = below.empty() ? root_ : root_ / below;
        std::filesystem::create_directories(folder_ / "drive_c" / "windows" / "system32");
        std::filesystem::create_directories(folder_ / "dosdevices");
        Link('c', "../drive_c");
        Hive("system.reg", "REGISTRY\\\\Machine", "");
        Hive("user.reg", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", "");
        Hive("userdef.reg", "REGISTRY\\\\User\\\\.Default", "");
    }
    ~FakePrefix() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FakePrefix(const FakePrefix&) = delete;
    FakePrefix& operator=(const FakePrefix&) = delete;

    const std::filesystem::path& folder() const { return folder_; }

    // `keys`: Wine's key blocks ("[Software\\\\Wine] 1700000000\n#time=...\n\"A\"=\"b\"\n").
    void Hive(const std::string& file, const std::string& relativeTo, const std::string& keys) {
        Write(file, "WINE REGISTRY Version 2\n;; All keys relative to " + relativeTo +
                        "\n\n#arch=win64\n" + keys);
    }
    void Link(char drive, const std::filesystem::path& target) {
        const auto link = folder_ / "dosdevices" / (std::string(1, drive) + ":");
        std::error_code ec;
        std::filesystem::remove(link, ec);
        std::filesystem::create_symlink(target, link);
    }
    void Write(const std::string& file, const std::string& text) const {
        std::ofstream(folder_ / file, std::ios::binary) << text;
    }
    std::string Read(const std::string& file) const {
        std::ifstream in(folder_ / file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

  private:
    std::filesystem::path root_;
    std::filesystem::path folder_;
};

// A key block as Wine writes it.
inline std::string Key(const std::string& path, const std::string& values) {
    return "\n[" + path + "] 1700000000\n#time=1d9f0c5a0b1c2d3\n" + values;
}

}  // namespace winetest
