#include "bench/TreeGenerator.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>

#include "tools/imagewriter/ImageWriter.h"

namespace benchtree {
namespace {

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

imagewriter::ImageSpec RandomImage(std::mt19937& rng, const std::string& name, bool versioned) {
    std::uniform_int_distribution<int> pick(0, 99);
    imagewriter::VersionInfo info;
    const std::uint16_t major = static_cast<std::uint16_t>(1 + pick(rng) % 6);
    const std::uint16_t minor = static_cast<std::uint16_t>(pick(rng));
    const std::uint16_t build = static_cast<std::uint16_t>(pick(rng) * 37);
    info.fixed->fileVersion = {major, minor, build, 0};
    info.fixed->productVersion = {major, minor, 0, 0};
    const std::string version =
        std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build) + ".0";
    const std::string company = pick(rng) < 80 ? "Korvane Software" : "Other Vendor Inc.";
    const std::uint16_t language = pick(rng) < 85 ? 0x0409 : 0x0407;
    info.tables.push_back(
        imagewriter::StringTable{language,
                                 0x04B0,
                                 {{"CompanyName", company},
                                  {"FileDescription", name + " shared library"},
                                  {"FileVersion", version},
                                  {"InternalName", name},
                                  {"LegalCopyright", "Copyright (C) 1998 " + company},
                                  {"OriginalFilename", name},
                                  {"ProductName", "Sample Product"},
                                  {"ProductVersion", version}},
                                 ""});
    const int format = pick(rng);
    const auto chosen = format < 80   ? imagewriter::Format::Pe32
                        : format < 90 ? imagewriter::Format::Pe32Plus
                                      : imagewriter::Format::Ne;
    if (chosen == imagewriter::Format::Ne) {
        info.fixed->os = 0x00010001;  // 16-bit Windows on DOS
    }
    imagewriter::ImageSpec shape = imagewriter::VersionImage(info, chosen, language);
    if (!versioned) {
        shape.resources.clear();
    }
    // Real files are rarely this small; a few pages of code and data keep the reads honest.
    shape.minimumSize = 4096 * static_cast<std::uint64_t>(1 + pick(rng) % 4);
    return shape;
}

}  // namespace

ScratchMachine::ScratchMachine() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        (std::filesystem::path(tmp != nullptr ? tmp : "/tmp") / "velto-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder in " + pattern);
    }
    folder_ = pattern;
    std::filesystem::create_directories(driveC());
    std::ofstream(folder_ / "machine.ini") << "[Machine]\r\nPlatform=9x\r\n";
}

ScratchMachine::~ScratchMachine() {
    if (keep_) {
        return;
    }
    std::error_code ignored;  // a benchmark must not fail over its clean-up
    std::filesystem::remove_all(folder_, ignored);
}

GeneratedTree GenerateTree(const std::filesystem::path& root, const TreeShape& shape) {
    std::mt19937 rng(shape.seed);
    GeneratedTree tree;
    std::filesystem::create_directories(root);
    for (std::size_t f = 0; f < shape.folders; ++f) {
        std::filesystem::path folder = root;
        const std::size_t levels = 1 + f % std::max<std::size_t>(shape.depth, 1);
        for (std::size_t level = 0; level < levels; ++level) {
            folder /= "Folder" + std::to_string(level == levels - 1 ? f : level);
        }
        std::filesystem::create_directories(folder);
        tree.folders.push_back(folder);
    }
    std::uniform_real_distribution<double> share(0.0, 1.0);
    std::size_t unique = 0;
    for (std::size_t f = 0; f < tree.folders.size(); ++f) {
        for (std::size_t i = 0; i < shape.imagesPerFolder; ++i) {
            // Duplicates draw from a small pool of shared names, the rest are unique.
            const std::string stem = share(rng) < shape.duplicateShare
                                         ? "SHARED" + std::to_string(rng() % 64)
                                         : "FILE" + std::to_string(unique++);
            const std::string name =
                stem + shape.imageExtensions[rng() % shape.imageExtensions.size()];
            const auto path = tree.folders[f] / name;
            if (std::filesystem::exists(path)) {
                continue;
            }
            const bool versioned = share(rng) >= shape.unversionedShare;
            WriteFile(path, imagewriter::BuildImage(RandomImage(rng, name, versioned)).bytes);
            tree.images.push_back(path);
        }
        for (std::size_t i = 0; i < shape.otherFilesPerFolder; ++i) {
            const auto path = tree.folders[f] / ("note" + std::to_string(i) + ".txt");
            WriteFile(path, std::vector<std::uint8_t>(100 + rng() % 4000, 'x'));
            tree.others.push_back(path);
        }
    }
    return tree;
}

NameTreeCounts GenerateNameTree(const std::filesystem::path& root, const NameTreeShape& shape) {
    std::vector<std::filesystem::path> folders{root};
    std::filesystem::create_directories(root);
    for (std::size_t first = 0, level = 0; level < shape.depth; ++level) {
        const std::size_t last = folders.size();
        for (std::size_t f = first; f < last; ++f) {
            for (std::size_t k = 0; k < shape.fanout; ++k) {
                folders.push_back(folders[f] /
                                  ("Dir" + std::to_string(level) + "_" + std::to_string(k)));
                std::filesystem::create_directory(folders.back());
            }
        }
        first = last;
    }

    std::mt19937 rng(shape.seed);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    NameTreeCounts counts;
    counts.folders = folders.size();
    // Stems come from a pool about as large as a folder's share of the files, so most names
    // occur in many folders.
    const std::size_t perFolder = std::max<std::size_t>(1, shape.files / folders.size());
    const std::size_t pool = std::max<std::size_t>(perFolder * 4, 16);
    for (std::size_t n = 0; n < shape.files; ++n) {
        const auto& folder = folders[n % folders.size()];
        const bool matching = share(rng) < shape.matchingShare;
        const auto& extensions = matching ? shape.matchingExtensions : shape.otherExtensions;
        std::string extension = extensions[rng() % extensions.size()];
        if (rng() % 4 == 0) {
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        }
        const std::string name = "lib" + std::to_string(rng() % pool) + "_" +
                                 std::to_string(n / folders.size()) + "." + extension;
        const int fd =
            ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            throw std::runtime_error("cannot create " + (folder / name).string() + ": " +
                                     std::strerror(errno));
        }
        ::close(fd);
        ++counts.files;
        counts.matching += matching ? 1 : 0;
    }
    return counts;
}

}  // namespace benchtree
