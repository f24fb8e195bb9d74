// Writes the seed corpus of fuzz_hive into the folder given as argument: hives made from the
// empty hive through libhivex, as an installation's SOFTWARE, SYSTEM and a user's NTUSER.DAT
// hold what Velto reads, and a pending-rename list.
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <string>

#include "platform/offline/HiveEditing.h"
#include "platform/offline/RegfFormat.h"

namespace {

namespace fs = std::filesystem;

void Seed(const fs::path& folder, const std::string& name, std::uint32_t minor,
          const std::function<void(offline::Hive&)>& fill) {
    const fs::path file = folder / name;
    const auto empty = offline::EmptyHive("ROOT", minor, 0x01D9000000000000);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(empty.data()),
               static_cast<std::streamsize>(empty.size()));
    offline::Hive hive(file, offline::Hive::Mode::Write, minor);
    fill(hive);
    hive.WriteTo(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_hive_seeds FOLDER\n";
        return 2;
    }
    const fs::path folder = argv[1];
    try {
        Seed(folder, "empty", 3, [](offline::Hive&) {});
        Seed(folder, "software", 5, [](offline::Hive& h) {
            const auto version =
                offline::MakeKey(h, h.root(), "Microsoft\\Windows NT\\CurrentVersion");
            offline::PutText(h, version, "CurrentVersion", "6.3");
            offline::PutText(h, version, "CurrentBuildNumber", "19045");
            offline::PutDword(h, version, "CurrentMajorVersionNumber", 10);
            offline::PutDword(h, version, "CurrentMinorVersionNumber", 0);
            offline::PutText(h, version, "ProductName", "Windows 10 Pro \xC3\xA9");
            offline::PutText(h, offline::MakeKey(h, version, "ProfileList\\S-1-5-21-1-2-3-1001"),
                             "ProfileImagePath", "%SystemDrive%\\Users\\Demo", 2);
        });
        Seed(folder, "system", 5, [](offline::Hive& h) {
            offline::PutDword(h, offline::MakeKey(h, h.root(), "Select"), "Current", 1);
            const auto manager =
                offline::MakeKey(h, h.root(), "ControlSet001\\Control\\Session Manager");
            const std::string list("\\??\\C:\\A.TMP\0!\\??\\C:\\B.DLL\0\\??\\C:\\C.DLL\0\0\0", 42);
            offline::PutValue(
                h, manager, "PendingFileRenameOperations", 7,
                std::span(reinterpret_cast<const std::uint8_t*>(list.data()), list.size()));
            offline::PutText(
                h,
                offline::MakeKey(h, h.root(), "ControlSet001\\Control\\ComputerName\\ComputerName"),
                "ComputerName", "DEMO");
        });
        Seed(folder, "ntuser", 3, [](offline::Hive& h) {
            offline::PutText(
                h,
                offline::MakeKey(h, h.root(),
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
                                 "Folders"),
                "Personal", "C:\\Users\\Demo\\Documents");
        });
    } catch (const std::exception& e) {
        std::cerr << "make_hive_seeds: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
