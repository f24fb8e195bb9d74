#include "tools/imagewriter/DemoMachine.h"

#include <array>

#include "tools/imagewriter/ImageWriter.h"

namespace imagewriter {
namespace {

// Fixed dates (UTC).
constexpr std::int64_t k1998Jun30 = 899164800;
constexpr std::int64_t k1998Oct10 = 907977600;
constexpr std::int64_t k1999Apr23 = 924868920;  // the installation itself
constexpr std::int64_t k1999May10 = 926294400;
constexpr std::int64_t k2000Jan15 = 947894400;
constexpr std::int64_t k2000Mar01 = 951868800;
constexpr std::int64_t k2001Feb02 = 981072000;

struct Module {
    std::string company;
    std::string description;
    std::array<std::uint16_t, 4> version;
    Format format = Format::Pe32;
    std::uint32_t type = win32::VFT_DLL;
    // Brings otherwise equal images to different sizes (another build of the same version).
    std::uint64_t minimumSize = 0;
};

std::string VersionText(const std::array<std::uint16_t, 4>& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
           std::to_string(v[3]);
}

std::vector<std::uint8_t> ModuleImage(const std::string& name, const Module& module) {
    VersionInfo info;
    FixedInfo fixed;
    fixed.fileVersion = module.version;
    fixed.productVersion = module.version;
    fixed.type = module.type;
    const bool sixteenBit = module.format == Format::Ne || module.format == Format::Le;
    fixed.os = sixteenBit ? win32::VOS_DOS_WINDOWS16 : win32::VOS_NT_WINDOWS32;
    info.fixed = fixed;
    info.tables.push_back(StringTable{0x0409,
                                      static_cast<std::uint16_t>(sixteenBit ? 0x04E4 : 0x04B0),
                                      {{"CompanyName", module.company},
                                       {"FileDescription", module.description},
                                       {"FileVersion", VersionText(module.version)},
                                       {"InternalName", name.substr(0, name.find('.'))},
                                       {"LegalCopyright", "Copyright (C) " + module.company},
                                       {"OriginalFilename", name},
                                       {"ProductName", module.description},
                                       {"ProductVersion", VersionText(module.version)}},
                                      ""});
    ImageSpec shape = VersionImage(info, module.format);
    shape.dll = module.type != win32::VFT_APP;
    shape.minimumSize = module.minimumSize;
    if (module.format == Format::Ne || module.format == Format::Le) {
        shape.moduleName = name.substr(0, name.find('.'));
    }
    return BuildImage(shape).bytes;
}

std::vector<std::uint8_t> Text(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (const char c : text) {
        if (c == '\n') {
            bytes.push_back('\r');
        }
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
    return bytes;
}

// Deterministic filler bytes for data files.
std::vector<std::uint8_t> Filler(std::uint32_t seed, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

std::string Numbered(const std::string& stem, int n, const std::string& extension) {
    std::string digits = std::to_string(n);
    digits.insert(0, 3 - std::min<std::size_t>(digits.size(), 3), '0');
    return stem + digits + extension;
}

class Drive {
  public:
    void Add(std::string path, std::vector<std::uint8_t> bytes, std::int64_t time) {
        files_.push_back({std::move(path), std::move(bytes), time});
    }
    void Image(const std::string& folder, const std::string& name, const Module& module,
               std::int64_t time) {
        Add(folder + "\\" + name, ModuleImage(name, module), time);
    }
    std::vector<DemoFile> Take() { return std::move(files_); }

  private:
    std::vector<DemoFile> files_;
};

}  // namespace

std::vector<DemoFile> DemoFiles(const DemoLayout& layout) {
    const std::string& win = layout.windowsDir;
    const std::string& sys = layout.systemDir;
    const std::string reports = layout.programFiles + "\\Lumen Reports";
    const std::string ledger = layout.programFiles + "\\Ledger Plus";
    const std::string fax = layout.programFiles + "\\Tessel Fax";
    const std::string orbisOld = layout.programFiles + "\\Orbis Old";
    const std::string orbis = layout.programFiles + "\\Orbis Suite";
    const std::string quill = layout.programFiles + "\\Quill Writer";
    Drive drive;

    // Equal versions, byte-identical, one in the system folder.
    const Module grid{"Lumen Controls Inc.", "Lumen Grid Control", {6, 0, 81, 69}};
    for (const std::string& folder : {sys, reports, ledger}) {
        drive.Image(folder, "LUMGRID.OCX", grid, k1999Apr23);
    }
    // The grid's type library travels with it: identical, and no image at all.
    const auto typeLibrary = Filler(7, 2048);
    drive.Add(sys + "\\LUMGRID.TLB", typeLibrary, k1999Apr23);
    drive.Add(reports + "\\LUMGRID.TLB", typeLibrary, k1999Apr23);

    // Equal versions, but another build of it (size and date differ).
    Module comm{"Tessel Systems", "Tessel Communications Library", {3, 0, 0, 1}};
    drive.Image(sys, "TSSCOMM.DLL", comm, k1999May10);
    comm.minimumSize = 24576;
    drive.Image(fax, "TSSCOMM.DLL", comm, k2000Jan15);

    // An older copy outside the system folder.
    drive.Image(sys, "ORBDATA.DLL", {"Orbis Data Ltd", "Orbis Data Access", {5, 2, 0, 0}},
                k2000Mar01);
    drive.Image(orbisOld, "ORBDATA.DLL", {"Orbis Data Ltd", "Orbis Data Access", {4, 0, 0, 12}},
                k1998Jun30);
    // A newer copy outside the system folder, an older one in it.
    drive.Image(sys, "ORBCALC.DLL", {"Orbis Data Ltd", "Orbis Calculation Engine", {1, 0, 0, 0}},
                k1998Oct10);
    drive.Image(orbis, "ORBCALC.DLL", {"Orbis Data Ltd", "Orbis Calculation Engine", {1, 2, 0, 3}},
                k2001Feb02);
    // An older control in a program's folder.
    drive.Image(sys, "LUMCHART.OCX", {"Lumen Controls Inc.", "Lumen Chart Control", {2, 5, 0, 0}},
                k2000Mar01);
    drive.Image(ledger, "LUMCHART.OCX",
                {"Lumen Controls Inc.", "Lumen Chart Control", {2, 0, 0, 0}}, k1998Oct10);

    // The same name from another maker.
    drive.Image(sys, "TESSUTIL.DLL", {"Tessel Systems", "Tessel Utilities", {2, 0, 0, 0}},
                k1999May10);
    drive.Image(quill, "TESSUTIL.DLL", {"Quill Software", "Quill Text Utilities", {2, 0, 0, 0}},
                k2000Jan15);

    // Byte-identical copies without version information.
    ImageSpec bare;
    const auto helper = BuildImage(bare).bytes;
    for (const std::string& folder : {win, reports, fax}) {
        drive.Add(folder + "\\HELPER32.DLL", helper, k1999Apr23);
    }

    // Other types: a 16-bit printer driver, a virtual device driver, a program, a codec.
    const std::array<std::uint16_t, 4> win98{4, 10, 0, 2222};
    const std::array<std::uint16_t, 4> win95{4, 0, 0, 950};
    drive.Image(sys, "PRNHELP.DRV",
                {"Tessel Systems", "Printer Helper Driver", win98, Format::Ne, win32::VFT_DRV},
                k1999Apr23);
    drive.Image(win, "PRNHELP.DRV",
                {"Tessel Systems", "Printer Helper Driver", win95, Format::Ne, win32::VFT_DRV},
                k1998Jun30);
    drive.Image(sys, "VNETHLP.VXD",
                {"Tessel Systems", "Network Helper Device", win98, Format::Le, win32::VFT_VXD},
                k1999Apr23);
    drive.Image(fax, "VNETHLP.VXD",
                {"Tessel Systems", "Network Helper Device", win95, Format::Le, win32::VFT_VXD},
                k1998Jun30);
    const Module tool{
        "Ledger Soft", "Registration Tool", {1, 0, 0, 4}, Format::Pe32, win32::VFT_APP};
    drive.Image(win, "REGTOOL.EXE", tool, k1999May10);
    drive.Image(ledger, "REGTOOL.EXE", tool, k1999May10);
    drive.Image(sys, "QCODEC.ACM", {"Quill Software", "Quill Audio Codec", {1, 1, 0, 0}},
                k2000Jan15);
    drive.Image(win, "QCODEC.ACM", {"Quill Software", "Quill Audio Codec", {1, 0, 0, 0}},
                k1998Oct10);

    // System files with no duplicates.
    for (int i = 1; i <= 12; ++i) {
        drive.Image(
            sys, Numbered("SYSLIB", i, ".DLL"),
            {"Tessel Systems", "System Library", {4, 10, 0, static_cast<std::uint16_t>(2222 + i)}},
            k1999Apr23);
    }

    // Unrelated files.
    drive.Add(win + "\\WIN.INI",
              Text("[windows]\nload=\nrun=\nNullPort=None\n\n[Desktop]\nWallpaper=(None)\n"),
              k1999Apr23);
    drive.Add(win + "\\SYSTEM.INI", Text("[boot]\nshell=Explorer.exe\n\n[386Enh]\n"), k1999Apr23);
    for (int i = 1; i <= 60; ++i) {
        drive.Add(
            layout.personal + "\\" + Numbered("Letter", i, ".txt"),
            Text("Dear customer,\n\nthis is letter number " + std::to_string(i) + ".\n\nRegards\n"),
            k1999Apr23 + i * 86400);
    }
    for (int i = 1; i <= 40; ++i) {
        drive.Add(win + "\\HELP\\" + Numbered("TOPIC", i, ".HLP"), Filler(100 + i, 600 + 7 * i),
                  k1999Apr23);
    }
    for (int i = 1; i <= 30; ++i) {
        drive.Add(win + "\\FONTS\\" + Numbered("FONT", i, ".TTF"), Filler(200 + i, 1500 + 11 * i),
                  k1999Apr23);
    }
    for (int i = 1; i <= 20; ++i) {
        drive.Add(win + "\\MEDIA\\" + Numbered("SOUND", i, ".WAV"), Filler(300 + i, 900 + 13 * i),
                  k1999Apr23);
    }
    for (int i = 1; i <= 100; ++i) {
        drive.Add(ledger + "\\Data\\" + Numbered("LEDGER", i, ".DAT"), Filler(400 + i, 256 + i),
                  k2000Jan15 + i * 3600);
    }
    for (int i = 1; i <= 30; ++i) {
        drive.Add(sys + "\\" + Numbered("CODEPG", i, ".NLS"), Filler(500 + i, 512), k1999Apr23);
    }
    for (int i = 1; i <= 20; ++i) {
        drive.Add(reports + "\\Templates\\" + Numbered("REPORT", i, ".RPT"),
                  Text("Report template " + std::to_string(i) + "\n"), k1999May10);
    }
    return drive.Take();
}

std::vector<DemoFile> DemoMixedProcessorFiles(const DemoLayout& layout) {
    const std::string& sys = layout.systemDir;
    const std::string& wow = layout.wow64SystemDir;
    const std::string quill64 = layout.programFiles + "\\Quill Writer";
    const std::string quill32 = layout.programFiles32 + "\\Quill Writer";
    const std::string orbis64 = layout.programFiles + "\\Orbis Suite";
    const std::string orbis32 = layout.programFiles32 + "\\Orbis Suite";
    Drive drive;
    const auto runtime = [](std::array<std::uint16_t, 4> version, Format format) {
        return Module{"Quill Software", "Quill Runtime", version, format};
    };
    // One runtime for each processor in the system folders, an older one of each beside a
    // program: each older copy has a newer one for its own processor.
    drive.Image(sys, "QUILLRT.DLL", runtime({2, 1, 0, 0}, Format::Pe32Plus), k2001Feb02);
    drive.Image(wow, "QUILLRT.DLL", runtime({2, 1, 0, 0}, Format::Pe32), k2001Feb02);
    drive.Image(quill64, "QUILLRT.DLL", runtime({1, 8, 0, 0}, Format::Pe32Plus), k2000Jan15);
    drive.Image(quill32, "QUILLRT.DLL", runtime({1, 5, 0, 0}, Format::Pe32), k1999May10);
    // The newest copy is for the other processor than the older one: nothing to spread.
    drive.Image(orbis32, "ORBNET.DLL", {"Orbis Data Ltd", "Orbis Network Access", {3, 0, 0, 0}},
                k2001Feb02);
    drive.Image(orbis64, "ORBNET.DLL",
                {"Orbis Data Ltd", "Orbis Network Access", {2, 0, 0, 0}, Format::Pe32Plus},
                k2000Mar01);
    return drive.Take();
}

std::vector<DemoFile> DemoComponentFiles(const DemoLayout& layout) {
    Drive drive;
    const Module older{
        "Orbis Data Ltd", "Orbis Calculation Engine", {1, 0, 0, 0}, Format::Pe32Plus};
    const Module newer{
        "Orbis Data Ltd", "Orbis Calculation Engine", {1, 2, 0, 3}, Format::Pe32Plus};
    drive.Image(layout.systemDir, "ORBCALC.DLL", older, k1998Oct10);
    drive.Image(layout.programFiles + "\\Orbis Suite", "ORBCALC.DLL", newer, k2001Feb02);
    return drive.Take();
}

std::vector<DemoFile> DemoGameFiles(const std::string& gamesFolder, bool x64) {
    Drive drive;
    drive.Image(gamesFolder + "\\PadGame", "xinput1_3.dll",
                {"Microsoft Corporation",
                 "Microsoft Common Controller API",
                 {9, 18, 944, 0},
                 x64 ? Format::Pe32Plus : Format::Pe32},
                k2001Feb02);
    return drive.Take();
}

std::vector<std::pair<std::string, std::uint32_t>> DemoSharedDllCounts(const DemoLayout& layout) {
    const std::string& sys = layout.systemDir;
    return {{sys + "\\LUMGRID.OCX", 3}, {sys + "\\TSSCOMM.DLL", 2},  {sys + "\\ORBDATA.DLL", 2},
            {sys + "\\ORBCALC.DLL", 1}, {sys + "\\LUMCHART.OCX", 1}, {sys + "\\TESSUTIL.DLL", 1},
            {sys + "\\PRNHELP.DRV", 1}, {sys + "\\VNETHLP.VXD", 1}};
}

DemoPrograms DemoProgramsFor(const DemoLayout& layout, bool win64) {
    DemoLayout programs32 = layout;
    if (win64) {
        programs32.systemDir = layout.wow64SystemDir;
        programs32.programFiles = layout.programFiles32;
    }
    DemoPrograms programs{DemoFiles(programs32), DemoSharedDllCounts(programs32), {}};
    if (win64) {
        for (auto& file : DemoMixedProcessorFiles(layout)) {
            programs.files.push_back(std::move(file));
        }
        programs.counts64.emplace_back(layout.systemDir + "\\QUILLRT.DLL", 2);
        programs.counts32.emplace_back(layout.wow64SystemDir + "\\QUILLRT.DLL", 1);
    }
    return programs;
}

std::vector<std::uint8_t> PlaceholderJpeg() {
    // Baseline, one 8-bit component, 32 x 32 pixels. The Huffman tables hold a single code
    // each ("0": DC difference 0, AC end of block), so every 8 x 8 block is two bits: the
    // picture is uniform grey (level 128).
    std::vector<std::uint8_t> jpeg = {0xFF, 0xD8,                                            // SOI
                                      0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',  0x00,  // APP0
                                      0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00,
                                      0xFF, 0xDB, 0x00, 0x43, 0x00};  // DQT, table 0
    jpeg.insert(jpeg.end(), 64, 0x01);
    const std::uint8_t frame[] = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x20,
                                  0x00, 0x20, 0x01, 0x01, 0x11, 0x00};
    jpeg.insert(jpeg.end(), std::begin(frame), std::end(frame));
    for (const std::uint8_t tableClass : {0x00, 0x10}) {  // DC 0, AC 0
        const std::uint8_t header[] = {0xFF, 0xC4, 0x00, 0x14, tableClass, 0x01};
        jpeg.insert(jpeg.end(), std::begin(header), std::end(header));
        jpeg.insert(jpeg.end(), 15, 0x00);
        jpeg.push_back(0x00);  // the one symbol
    }
    const std::uint8_t scan[] = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00,
                                 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00,  // 16 blocks of two zero bits
                                 0xFF, 0xD9};                         // EOI
    jpeg.insert(jpeg.end(), std::begin(scan), std::end(scan));
    return jpeg;
}

}  // namespace imagewriter
