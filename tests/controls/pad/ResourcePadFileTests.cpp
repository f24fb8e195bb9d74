// Velto's own PAD file, shipped in resources/ and installed into every machine's program
// folder: it must load, and it must name the version the build makes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "controls/pad/QzPAD.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_PAD {
namespace {

std::string ResourceText() {
    std::ifstream in(std::string(VELTO_SOURCE_DIR) + "/resources/pad_file.xml", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ResourcePadFile, DescribesThisBuildOfVelto) {
    testsupport::MachineBuilder machine;
    const std::string text = ResourceText();
    ASSERT_FALSE(text.empty());
    machine.File("C:\\pad_file.xml", text);
    QzPAD pad;
    pad.SetPADFile("C:\\pad_file.xml");

    const std::string version = std::to_string(VELTO_VERSION_MAJOR) + "." +
                                std::to_string(VELTO_VERSION_MINOR) + "." +
                                std::to_string(VELTO_VERSION_REVISION);
    EXPECT_EQ(pad.Program_Version(), version);
    EXPECT_FALSE(pad.InvalidPAD());
    EXPECT_EQ(pad.Company_Name(), "Korvane");
    EXPECT_EQ(pad.Program_Name(), "Velto");
    EXPECT_TRUE(pad.Primary_Download_URL().ends_with("/velto-" + version + ".tar.gz"))
        << pad.Primary_Download_URL();
    const automation::Variant languages = pad.Language();
    const auto* names = languages.get_if<automation::StringArray>();
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->Items(), (std::vector<std::string>{"English", "German"}));
    for (const char* language : {"English", "German"}) {
        EXPECT_FALSE(pad.Char_Desc_45(language).empty()) << language;
        EXPECT_LE(pad.Char_Desc_45(language).size(), 50u) << language;
        EXPECT_FALSE(pad.Char_Desc_2000(language).empty()) << language;
    }
    EXPECT_EQ(pad.Char_Desc_80(), pad.Char_Desc_80("English"));
    EXPECT_NE(pad.EULA().find("\r\n"), std::string::npos);
    EXPECT_FALSE(pad.Application_XML_File_URL().empty());
    EXPECT_FALSE(pad.Extension("QZABOUT_Company_Icon_URL").empty());
    EXPECT_FALSE(pad.Extension("QZUPGRADE_Additional_PAD_URL_1").empty());
    // The build number is part of Program_Version; a separate one would be counted twice.
    EXPECT_EQ(pad.Extension("QZUPGRADE_Build"), "");
}

}  // namespace
}  // namespace Qz_PAD
