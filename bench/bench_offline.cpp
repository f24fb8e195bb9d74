// `velto-machine check` on a 10-like Windows installation on a disk (offline::NewInstallation.h)
// holding a generated tree of listed DLL files (default 30,000; a tenth of the names shared by
// several copies; a thousand system files hard-linked into WinSxS), once with the small SOFTWARE
// hive the installation is made with, and once with one grown to the size of a real one
// (default 300,000 keys, two values each): the check copies the whole registry into memory
// before it scans, so the hives' size counts as much as the files.
//
//   bench_offline [--files N] [--keys N] [--store N] [--runs N] [--keep]
//
// The component store (WinSxS) is shaped as a real one: --store N files (default 60,000; a
// third of them DLLs and programs, the rest resources, drivers, catalogs) in a folder per
// component (one per four files), and a component whose files are the thousand linked ones.
// Before the checks, the store's index is timed in this process: the first question (which
// walks WinSxS once), then the question for every listed file.
//
// Each check runs as a process of its own (velto-machine check DIR --json); per run the wall
// and processor time and the peak memory, and the median of the runs.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/TreeGenerator.h"
#include "platform/offline/HiveEditing.h"
#include "platform/offline/NewInstallation.h"
#include "platform/offline/OfflineInstallation.h"
#include "platform/offline/RegfFormat.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsForm.h"

namespace {

namespace fs = std::filesystem;

struct Figures {
    double wall = 0;
    double cpu = 0;
    double peakMb = 0;
    int status = -1;
    std::string listed;
};

Figures Check(const fs::path& root) {
    const fs::path out = root.string() + "-check.json";
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (std::freopen(out.c_str(), "w", stdout) == nullptr) {
            ::_exit(127);
        }
        ::execl(VELTO_MACHINE_TOOL, VELTO_MACHINE_TOOL, "check", root.c_str(), "--json", nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    Figures figures;
    figures.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    figures.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    figures.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // "listed": N, as the report writes it.
    std::FILE* json = std::fopen(out.c_str(), "r");
    if (json != nullptr) {
        char line[256];
        while (std::fgets(line, sizeof line, json) != nullptr) {
            const std::string text = line;
            if (const auto at = text.find("\"listed\": "); at != std::string::npos) {
                figures.listed = text.substr(at + 10, text.find(',') - at - 10);
                break;
            }
        }
        std::fclose(json);
    }
    fs::remove(out);
    return figures;
}

// Keys spread as a real SOFTWARE spreads them: two thousand below Classes\CLSID, the rest
// three levels down in groups of fifty, each with two values. (libhivex lays a key's subkey list
// out anew for every subkey it adds and never reuses the old one: wide keys would bloat the
// hive far beyond a real one.)
void Grow(const fs::path& software, std::size_t keys) {
    constexpr std::size_t kInClsid = 2000;
    constexpr std::size_t kPerProduct = 50;
    constexpr std::size_t kProductsPerVendor = 75;
    offline::Hive hive(software, offline::Hive::Mode::Write, 5);
    const auto clsid = offline::MakeKey(hive, hive.root(), "Classes\\CLSID");
    const auto vendors = offline::MakeKey(hive, hive.root(), "Bench Vendors");
    offline::NodeRef vendor = 0;
    offline::NodeRef group = clsid;
    char name[64];
    for (std::size_t i = 0; i < keys; ++i) {
        if (i >= kInClsid && (i - kInClsid) % kPerProduct == 0) {
            const std::size_t product = (i - kInClsid) / kPerProduct;
            if (product % kProductsPerVendor == 0) {
                vendor = hive.AddChild(vendors,
                                       "Vendor " + std::to_string(product / kProductsPerVendor));
            }
            group = hive.AddChild(vendor, "Product " + std::to_string(product));
        }
        std::snprintf(name, sizeof name, "{%08zx-5A3C-4B1E-9F2D-%012zx}",
                      (i * 2654435761u) % 0xFFFFFFFFu, i);
        const auto key = hive.AddChild(group, name);
        const std::string server =
            "C:\\Program Files\\Bench\\server" + std::to_string(i % 977) + ".dll";
        const std::string model = "Both";
        hive.SetValues(
            key, {offline::RawValue{"", registry::REG_SZ,
                                    registry::WindowsData(registry::REG_SZ,
                                                          std::vector<std::uint8_t>(
                                                              server.begin(), server.end() + 1))},
                  offline::RawValue{"ThreadingModel", registry::REG_SZ,
                                    registry::WindowsData(registry::REG_SZ,
                                                          std::vector<std::uint8_t>(
                                                              model.begin(), model.end() + 1))}});
    }
    hive.WriteTo(software);
}

// The kind's answer for every listed file, as the matching asks it: the first question walks
// the store.
void TimeStoreIndex(const fs::path& root, const std::vector<fs::path>& images) {
    const auto opened = offline::OpenOfflineInstallation(root, std::nullopt, machine::Access::Read);
    const auto start = std::chrono::steady_clock::now();
    std::size_t owned = opened->kind().PlatformFileAt(images.front()) ? 1 : 0;
    const auto first = std::chrono::steady_clock::now();
    for (std::size_t i = 1; i < images.size(); ++i) {
        owned += opened->kind().PlatformFileAt(images[i]) ? 1 : 0;
    }
    const auto end = std::chrono::steady_clock::now();
    std::printf(
        "  component store: first question %.1f ms (WinSxS walked), the other %zu questions "
        "%.1f ms (%.2f us each); %zu files are the store's\n\n",
        std::chrono::duration<double, std::milli>(first - start).count(), images.size() - 1,
        std::chrono::duration<double, std::milli>(end - first).count(),
        std::chrono::duration<double, std::micro>(end - first).count() /
            static_cast<double>(std::max<std::size_t>(1, images.size() - 1)),
        owned);
}

void Report(const std::string& what, std::vector<Figures> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Figures& a, const Figures& b) { return a.wall < b.wall; });
    for (const Figures& run : runs) {
        std::printf("  %-28s wall %7.2f s  cpu %7.2f s  peak %7.1f MB  listed %s  status %d\n",
                    what.c_str(), run.wall, run.cpu, run.peakMb, run.listed.c_str(), run.status);
    }
    const Figures& median = runs[runs.size() / 2];
    std::printf("  %-28s median wall %.2f s, cpu %.2f s, peak %.1f MB\n\n", what.c_str(),
                median.wall, median.cpu, median.peakMb);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t files = 30000;
    std::size_t keys = 300000;
    std::size_t storeFiles = 60000;
    int runs = 3;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--files" && i + 1 < argc) {
            files = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--keys" && i + 1 < argc) {
            keys = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--store" && i + 1 < argc) {
            storeFiles = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--keep") {
            keep = true;
        } else {
            std::fprintf(stderr,
                         "usage: bench_offline [--files N] [--keys N] [--store N] [--runs N] "
                         "[--keep]\n");
            return 2;
        }
    }
    const fs::path root =
        fs::temp_directory_path() / ("velto-bench-offline-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    offline::CreateInstallation(root, offline::Release::Ten);

    benchtree::TreeShape shape;
    shape.imageExtensions = {".dll"};
    shape.imagesPerFolder = 100;
    shape.folders = std::max<std::size_t>(1, files / shape.imagesPerFolder);
    shape.otherFilesPerFolder = 20;
    shape.duplicateShare = 0.1;
    const auto tree = benchtree::GenerateTree(root / "Program Files" / "Bench", shape);
    benchtree::NameTreeShape storeShape;
    storeShape.files = storeFiles;
    storeShape.depth = 1;
    storeShape.fanout = std::max<std::size_t>(1, storeFiles / 4);
    storeShape.matchingShare = 1.0 / 3;
    storeShape.matchingExtensions = {"dll", "exe"};
    storeShape.otherExtensions = {"mui", "sys", "cat", "manifest", "xml"};
    const auto storeCounts = benchtree::GenerateNameTree(root / "Windows" / "WinSxS", storeShape);
    // The component store holds a thousand of them, as Windows projects its own files.
    const fs::path store =
        root / "Windows" / "WinSxS" / "amd64_bench_31bf3856ad364e35_10.0.19041.1_none_0";
    fs::create_directories(store);
    for (std::size_t i = 0; i < std::min<std::size_t>(1000, tree.images.size()); ++i) {
        fs::create_hard_link(
            tree.images[i], store / (std::to_string(i) + "-" + tree.images[i].filename().string()));
    }
    std::printf(
        "bench_offline: a 10-like installation in %s, %zu images and %zu other files in %zu "
        "folders; WinSxS: %zu files (%zu DLLs and programs) in %zu folders\n\n",
        root.c_str(), tree.images.size(), tree.others.size(), tree.folders.size(),
        storeCounts.files + 1000, storeCounts.matching + 1000, storeCounts.folders + 1);
    TimeStoreIndex(root, tree.images);

    const fs::path software = root / "Windows" / "System32" / "config" / "SOFTWARE";
    std::vector<Figures> small;
    for (int i = 0; i < runs; ++i) {
        small.push_back(Check(root));
    }
    Report("SOFTWARE " + std::to_string(fs::file_size(software) / 1024) + " KB", small);

    const auto grow = std::chrono::steady_clock::now();
    Grow(software, keys);
    std::printf("  SOFTWARE grown by %zu keys to %.1f MB in %.1f s\n", keys,
                static_cast<double>(fs::file_size(software)) / (1024.0 * 1024.0),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - grow).count());
    std::vector<Figures> large;
    for (int i = 0; i < runs; ++i) {
        large.push_back(Check(root));
    }
    Report("SOFTWARE " + std::to_string(fs::file_size(software) / (1024 * 1024)) + " MB", large);
    if (keep) {
        std::printf("kept: %s\n", root.c_str());
    } else {
        fs::remove_all(root);
    }
    return 0;
}
