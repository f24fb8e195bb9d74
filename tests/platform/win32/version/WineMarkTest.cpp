// Wine's mark on the modules it installs, read from real files of Debian's Wine package, from
// a placeholder and native images the test writes, and from files too short to hold it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/version/VersionFile.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

namespace fs = std::filesystem;
using win32::WineMark;

// Where Debian's wine64 keeps its 64-bit PE builtins.
const fs::path kWineLibraries = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";

// A native image, or with `signature` written where Wine writes its own.
std::vector<std::uint8_t> Image(const std::string& signature = "") {
    imagewriter::ImageSpec shape = imagewriter::VersionImage({}, imagewriter::Format::Pe32Plus);
    shape.wineSignature = signature;
    return imagewriter::BuildImage(shape).bytes;
}

struct Case {
    const char* name;
    // A file of Debian's Wine, or bytes the test writes.
    const char* wineFile;
    std::vector<std::uint8_t> bytes;
    WineMark mark;
    bool preferNative;
};

class WineMarkTest : public testing::Test {
  protected:
    fs::path Write(const std::vector<std::uint8_t>& bytes) {
        const fs::path file =
            fs::temp_directory_path() / ("velto-winemark-" + std::to_string(::getpid()) + ".dll");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        written_ = file;
        return file;
    }
    void TearDown() override {
        if (written_) {
            fs::remove(*written_);
        }
    }
    std::optional<fs::path> written_;
};

TEST_F(WineMarkTest, TellsWinesOwnFilesFromTheirBytes) {
    std::vector<std::uint8_t> truncated = Image("Wine builtin DLL");
    truncated.resize(win32::kWineSignatureOffset + win32::kWineSignatureSize - 1);
    std::vector<std::uint8_t> notAnImage = Image("Wine builtin DLL");
    notAnImage[0] = 'Z';
    const std::vector<Case> cases = {
        // Wine's builtins: a library, a program, one whose PE header follows the signature at
        // once (a resource-only module), one that makes way for a native copy.
        {"kernel32", "kernel32.dll", {}, WineMark::Builtin, false},
        {"notepad", "notepad.exe", {}, WineMark::Builtin, false},
        {"lz32", "lz32.dll", {}, WineMark::Builtin, false},
        {"d3dx9_43", "d3dx9_43.dll", {}, WineMark::Builtin, true},
        {"xinput1_3", "xinput1_3.dll", {}, WineMark::Builtin, false},
        {"placeholder", nullptr, Image("Wine placeholder DLL"), WineMark::Placeholder, false},
        {"native", nullptr, Image(), WineMark::None, false},
        // A signature must end where Wine's does: "Wine builtin DLLs" is not one.
        {"longer text", nullptr, Image("Wine builtin DLLs"), WineMark::None, false},
        {"ends inside the signature field", nullptr, truncated, WineMark::None, false},
        {"no MZ header", nullptr, notAnImage, WineMark::None, false},
        {"empty", nullptr, {}, WineMark::None, false},
        {"two bytes", nullptr, {'M', 'Z'}, WineMark::None, false},
    };
    std::string missing;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path file;
        if (c.wineFile != nullptr) {
            file = kWineLibraries / c.wineFile;
            if (!fs::exists(file)) {
                missing += " " + file.string();
                continue;
            }
        } else {
            file = Write(c.bytes);
        }
        const win32::WineModule module = win32::WineModuleOfFile(file);
        EXPECT_EQ(module.mark, c.mark);
        EXPECT_EQ(module.preferNative, c.preferNative);
        // The facts a scan reads carry the same mark.
        EXPECT_EQ(win32::ReadImageFacts(file).wine.mark, c.mark);
    }
    EXPECT_EQ(win32::WineModuleOfFile("/nonexistent/velto.dll").mark, WineMark::None);
    if (!missing.empty()) {
        GTEST_SKIP() << "Debian's wine64 is not installed:" << missing;
    }
}

}  // namespace
