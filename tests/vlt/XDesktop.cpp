#include "tests/vlt/XDesktop.h"

#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"

namespace vltdesktop {
namespace {

using namespace std::chrono_literals;

constexpr auto kWindowWait = 30s;

// The screen as Xvfb keeps it in its frame-buffer file: an X window dump (XWD), a header of
// big-endian 32-bit fields, the colour map, then the pixels in ZPixmap layout.
QImage ReadScreen(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto field = [&](std::size_t index) -> std::uint32_t {
        const std::size_t at = index * 4;
        if (at + 4 > bytes.size()) {
            return 0;
        }
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
        return (std::uint32_t{byte(0)} << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
    };
    const std::uint32_t headerSize = field(0), width = field(4), height = field(5),
                        byteOrder = field(7), bitsPerPixel = field(11), bytesPerLine = field(12),
                        colours = field(19);
    const std::size_t start = headerSize + colours * 12;
    // Xvfb writes 32-bit pixels in the host's order: on a little-endian host (byte order 0)
    // they are what QImage's RGB32 holds.
    if (bitsPerPixel != 32 || byteOrder != 0 ||
        start + std::size_t{bytesPerLine} * height > bytes.size()) {
        return {};
    }
    return QImage(reinterpret_cast<const uchar*>(bytes.data() + start), static_cast<int>(width),
                  static_cast<int>(height), static_cast<qsizetype>(bytesPerLine),
                  QImage::Format_RGB32)
        .copy();
}

}  // namespace

ScopedVariable::ScopedVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
}

ScopedVariable::~ScopedVariable() {
    if (old_) {
        ::setenv(name_, old_->c_str(), 1);
    } else {
        ::unsetenv(name_);
    }
}

Desktop::Desktop() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-xvfb-XXXXXX").string();
    frameBuffers_ = ::mkdtemp(pattern.data());
}

Desktop::~Desktop() {
    server_.reset();
    std::error_code ec;
    std::filesystem::remove_all(frameBuffers_, ec);
}

std::string Desktop::Start() {
    const std::string xvfb = testsupport::FindOnPath("Xvfb");
    xdotool_ = testsupport::FindOnPath("xdotool");
    if (xvfb.empty() || xdotool_.empty()) {
        return "Xvfb or xdotool is not installed (tools/install-deps.sh installs both)";
    }
    // -displayfd: the server picks a free display and prints its number once it listens.
    // -fbdir: it keeps the screen in a file, for pictures.
    server_.emplace(std::vector<std::string>{xvfb, "-displayfd", "1", "-screen", "0",
                                             "1280x1024x24", "-nolisten", "tcp", "-fbdir",
                                             frameBuffers_});
    for (auto until = std::chrono::steady_clock::now() + 15s;
         std::chrono::steady_clock::now() < until;) {
        const std::string out = server_->Out();
        if (out.find('\n') != std::string::npos) {
            display_.emplace("DISPLAY", ":" + out.substr(0, out.find('\n')));
            return {};
        }
        if (server_->WaitFor(100ms)) {
            break;
        }
    }
    return "Xvfb did not start: " + server_->Err();
}

std::string Desktop::Xdotool(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{xdotool_};
    argv.insert(argv.end(), args.begin(), args.end());
    return testsupport::RunProgram(argv).out;
}

std::string Desktop::WaitForWindow(const std::string& title) const {
    for (auto until = std::chrono::steady_clock::now() + kWindowWait;
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(100ms)) {
        std::string found = Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
        if (const auto end = found.find('\n'); end != std::string::npos) {
            return found.substr(0, end);
        }
    }
    return {};
}

bool Desktop::FocusWindow(const std::string& title) const {
    const std::string window = WaitForWindow(title);
    if (window.empty()) {
        ADD_FAILURE() << "no window \"" << title << "\"; windows: " << Titles();
        return false;
    }
    for (int attempt = 0; attempt < 50; ++attempt) {
        Xdotool({"windowfocus", window});
        if (Xdotool({"getwindowfocus"}).starts_with(window)) {
            return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    ADD_FAILURE() << "\"" << title << "\" does not take the keyboard";
    return false;
}

void Desktop::Keys(const std::vector<std::string>& keys) const {
    for (const std::string& key : keys) {
        Xdotool({"key", "--clearmodifiers", key});
        // Let the program take each key before the next, as a typist's pace does.
        std::this_thread::sleep_for(150ms);
    }
}

void Desktop::Type(const std::string& text) const {
    Xdotool({"type", "--delay", "50", text});
}

void Desktop::ClickIn(const std::string& title, int x, int y) const {
    Xdotool({"mousemove", "--window", WaitForWindow(title), std::to_string(x), std::to_string(y),
             "click", "1"});
}

std::string Desktop::Titles() const {
    return Xdotool({"search", "--onlyvisible", "--name", ".", "getwindowname", "%@"});
}

std::string Desktop::Picture(const std::string& title, const std::string& file) const {
    const std::string window = WaitForWindow(title);
    if (window.empty()) {
        return "no window \"" + title + "\"";
    }
    // X=, Y=, WIDTH=, HEIGHT= lines; the window has no frame, the server runs no window manager.
    const std::string shell = Xdotool({"getwindowgeometry", "--shell", window});
    const auto value = [&](const std::string& name) {
        const std::size_t at = shell.find(name + "=");
        return at == std::string::npos ? -1 : std::atoi(shell.c_str() + at + name.size() + 1);
    };
    // The pointer out of the picture, and the server given time to draw what the program sent.
    Xdotool({"mousemove", "0", "1023"});
    std::this_thread::sleep_for(500ms);
    const QImage screen = ReadScreen(std::filesystem::path(frameBuffers_) / "Xvfb_screen0");
    const QRect area(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
    if (screen.isNull() || !screen.rect().contains(area)) {
        return "the screen cannot be read from " + frameBuffers_;
    }
    return screen.copy(area).save(QString::fromStdString(file), "PNG") ? ""
                                                                       : "cannot write " + file;
}

}  // namespace vltdesktop
