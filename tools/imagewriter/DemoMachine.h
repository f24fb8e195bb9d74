#pragma once
// The contents of the demo machine's drive C:, a Windows 98 style installation holding real
// duplicate system files, so that a new user sees every kind of verdict:
//   - copies with equal versions, one of them in the system folder, byte-identical or not;
//   - an older copy beside a newer one, on either side of the system folder;
//   - copies whose company names differ;
//   - byte-identical copies without version information;
//   - copies of other types: .ocx, .drv (16-bit), .vxd, .exe, .acm and .tlb;
//   - a few hundred unrelated files (documents, fonts, help, sounds, data).
// Everything is fixed: the same bytes and dates every time, so tests and screenshots repeat.
// Text files are written with CR LF line ends.

#include <cstdint>
#include <string>
#include <vector>

namespace imagewriter {

// Where the machine keeps its folders (Windows paths, no trailing backslash).
struct DemoLayout {
    std::string windowsDir = "C:\\WINDOWS";
    std::string systemDir = "C:\\WINDOWS\\SYSTEM";
    std::string programFiles = "C:\\Program Files";
    std::string personal = "C:\\My Documents";
    // A 64-bit Windows: its 32-bit system and program folders.
    std::string wow64SystemDir = "C:\\WINDOWS\\SysWOW64";
    std::string programFiles32 = "C:\\Program Files (x86)";
};

struct DemoFile {
    std::string path;  // full Windows path
    std::vector<std::uint8_t> bytes;
    std::int64_t writeTime = 0;  // seconds since 1970, UTC
};

// In a fixed order: the duplicate groups first, then the unrelated files.
std::vector<DemoFile> DemoFiles(const DemoLayout& layout);

// The duplicates of a 64-bit Windows: 64-bit and 32-bit images of the same names in the two
// system folders and in the two program folders, so that copies for one processor are never
// spread over copies for the other.
std::vector<DemoFile> DemoMixedProcessorFiles(const DemoLayout& layout);

// A Windows component that a 64-bit program brings a newer copy of: ORBCALC.DLL, 64-bit, in
// the system folder and in the program's folder. On a Windows with a component store the
// system folder's file is the store's (the caller links it there).
std::vector<DemoFile> DemoComponentFiles(const DemoLayout& layout);

// A game that ships its own build of a library Wine provides (xinput1_3.dll beside
// PadGame.exe), for a 64-bit or a 32-bit Windows: a prefix's demo shows how such a group is
// left to Wine.
std::vector<DemoFile> DemoGameFiles(const std::string& gamesFolder, bool x64);

// Use counts of shared files in the system folder, as setup programs leave them under
// HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs: full path and count.
std::vector<std::pair<std::string, std::uint32_t>> DemoSharedDllCounts(const DemoLayout& layout);

// The demo's programs, with their use counts, on a Windows of either width. They are 32-bit
// programs: on a 64-bit Windows their setup programs put them where 32-bit programs go (the
// 32-bit system and program folders) and count them in the 32-bit registry view, and 64-bit
// programs bring images of the same names beside them (DemoMixedProcessorFiles).
struct DemoPrograms {
    std::vector<DemoFile> files;
    // The 32-bit programs' counts (the 32-bit view on a 64-bit Windows), the 64-bit ones'.
    std::vector<std::pair<std::string, std::uint32_t>> counts32;
    std::vector<std::pair<std::string, std::uint32_t>> counts64;
};
DemoPrograms DemoProgramsFor(const DemoLayout& layout, bool win64);

// A small valid JPEG (32 x 32, mid grey) standing in for the program's watermark picture.
std::vector<std::uint8_t> PlaceholderJpeg();

}  // namespace imagewriter
