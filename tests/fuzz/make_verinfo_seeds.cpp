// Writes the seed corpus of fuzz_verinfo: images from the image writer in every format, with
// several languages and names, and damaged variants, into the folder given as argument.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/imagewriter/ImageWriter.h"

namespace {

using namespace imagewriter;

void Write(const std::filesystem::path& folder, const std::string& name,
           const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write seed " + name);
    }
}

VersionInfo Info(std::uint16_t language, const std::string& company) {
    VersionInfo info;
    info.tables.push_back(StringTable{language,
                                      0x04B0,
                                      {{"CompanyName", company},
                                       {"FileDescription", "Seed \u00e9"},
                                       {"FileVersion", "1.0"},
                                       {"Comments", ""},
                                       {"SpecialBuild", "x", false}},
                                      ""});
    return info;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_verinfo_seeds FOLDER\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const std::pair<const char*, Format> formats[] = {{"pe32", Format::Pe32},
                                                      {"pe32plus", Format::Pe32Plus},
                                                      {"ne", Format::Ne},
                                                      {"le", Format::Le}};
    for (const auto& [name, format] : formats) {
        const Image image = BuildImage(VersionImage(Info(0x0409, "Korvane"), format));
        Write(folder, std::string(name) + ".bin", image.bytes);
        for (int c = 0; c <= static_cast<int>(Corruption::HugeAlignmentShift); ++c) {
            try {
                Write(folder, std::string(name) + "-corrupt" + std::to_string(c) + ".bin",
                      Corrupt(image, static_cast<Corruption>(c)));
            } catch (const std::invalid_argument&) {
                // Not every damage applies to every format.
            }
        }
    }
    ImageSpec many;
    for (const std::uint16_t language : {0x0407, 0x0409, 0x0000, 0x040C}) {
        Resource r;
        r.language = language;
        r.data = BuildVersionBlock(Info(language, "L" + std::to_string(language)));
        many.resources.push_back(r);
    }
    Resource named = many.resources.front();
    named.name = std::string("VS_VERSION_INFO");
    many.resources.push_back(named);
    Resource other;
    other.type = std::uint16_t{24};
    other.data = {'<', 'a', '/', '>'};
    many.resources.push_back(other);
    Write(folder, "languages.bin", BuildImage(many).bytes);
    Write(folder, "block32.bin", BuildVersionBlock(Info(0x0409, "block")));
    Write(folder, "block16.bin", BuildVersionBlock(Info(0x0409, "block"), true));
    return 0;
}
