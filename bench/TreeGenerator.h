#pragma once
// Machines and file trees for benchmarks: a throw-away machine folder, and trees of
// executable images (with version resources, duplicates under the same name in several
// folders, older and newer copies) mixed with unrelated files. Deterministic for a given seed.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace benchtree {

// A machine folder under the system's temporary folder: machine.ini with the defaults and
// drive C: at drives/C. Removed with everything in it when the object goes.
class ScratchMachine {
  public:
    ScratchMachine();
    ~ScratchMachine();
    ScratchMachine(const ScratchMachine&) = delete;
    ScratchMachine& operator=(const ScratchMachine&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path driveC() const { return folder_ / "drives" / "C"; }
    // The folder stays when the object goes, for a look at what a run left.
    void Keep() { keep_ = true; }

  private:
    std::filesystem::path folder_;
    bool keep_ = false;
};

struct TreeShape {
    std::size_t folders = 20;
    std::size_t depth = 3;  // folders nest up to this many levels below the root
    std::size_t imagesPerFolder = 50;
    std::size_t otherFilesPerFolder = 20;
    std::vector<std::string> imageExtensions{".dll", ".ocx", ".drv", ".exe", ".acm", ".vxd"};
    // Share of image names that also occur in other folders.
    double duplicateShare = 0.3;
    // Share of images without a version resource.
    double unversionedShare = 0.1;
    std::uint32_t seed = 1;
};

struct GeneratedTree {
    std::vector<std::filesystem::path> folders;
    std::vector<std::filesystem::path> images;  // every executable image written
    std::vector<std::filesystem::path> others;  // the unrelated files
};

// Writes the tree below `root` (created) and returns what it wrote.
GeneratedTree GenerateTree(const std::filesystem::path& root, const TreeShape& shape);

// A tree of empty files for walking and listing: `depth` levels of `fanout` subfolders below
// the root, `files` files spread evenly over every folder. A `matchingShare` of the names end
// in one of `matchingExtensions` (in upper or lower case), the rest in `otherExtensions`; names
// repeat across folders, as copies of shared files do.
struct NameTreeShape {
    std::size_t files = 100000;
    std::size_t depth = 4;
    std::size_t fanout = 8;
    double matchingShare = 0.1;
    std::vector<std::string> matchingExtensions{"dll", "ocx"};
    std::vector<std::string> otherExtensions{"txt", "exe", "ini", "hlp", "dat", "dllx"};
    std::uint32_t seed = 1;
};

struct NameTreeCounts {
    std::size_t folders = 0;
    std::size_t files = 0;
    std::size_t matching = 0;
};

NameTreeCounts GenerateNameTree(const std::filesystem::path& root, const NameTreeShape& shape);

}  // namespace benchtree
