// velto-machine verinfo, run as a separate process on host files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

using imagewriter::Format;
using imagewriter::StringEntry;
using imagewriter::StringTable;
using imagewriter::VersionInfo;

class Verinfo : public testing::Test {
  protected:
    Verinfo() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-verinfo-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            dir_ = pattern;
        }
    }
    ~Verinfo() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    std::string Image(const std::string& name, const VersionInfo& info,
                      Format format = Format::Pe32) {
        return Write(name, imagewriter::BuildImage(imagewriter::VersionImage(info, format)).bytes);
    }

    static testsupport::ProgramRun Tool(std::vector<std::string> args) {
        args.insert(args.begin(), VELTO_MACHINE_TOOL);
        return testsupport::RunProgram(args);
    }

    std::filesystem::path dir_;
};

std::vector<StringEntry> Eight(const std::string& tag) {
    return {{"CompanyName", tag + "Co"},      {"FileDescription", tag + "Desc"},
            {"FileVersion", tag + "1.0"},     {"InternalName", tag + "Int"},
            {"LegalCopyright", tag + "(C)"},  {"OriginalFilename", tag + ".DLL"},
            {"ProductName", tag + "Product"}, {"ProductVersion", tag + "2.0"}};
}

TEST_F(Verinfo, OneRowPerFileThroughTheFirstTranslation) {
    VersionInfo us;
    us.tables.push_back(StringTable{0x0409, 0x04B0, Eight("us"), ""});
    VersionInfo german;
    german.tables.push_back(StringTable{0x0409, 0x04B0, Eight("us"), ""});
    german.tables.push_back(StringTable{0x0407, 0x04E4, Eight("de"), ""});
    german.translations = {{0x0407, 0x04E4}, {0x0409, 0x04B0}};
    VersionInfo noTranslation = us;
    noTranslation.withTranslation = false;
    VersionInfo sparse;
    sparse.tables.push_back(
        StringTable{0x0409, 0x04E4, {{"CompanyName", "Caf\u00e9"}, {"ProductName", ""}}, ""});

    struct Case {
        std::string file;
        std::string row;  // after the path
    };
    const Case cases[] = {
        {Image("us.dll", us), "usCo\tusDesc\tus1.0\tusInt\tus(C)\tus.DLL\tusProduct\tus2.0"},
        {Image("de.dll", german), "deCo\tdeDesc\tde1.0\tdeInt\tde(C)\tde.DLL\tdeProduct\tde2.0"},
        {Image("old.drv", us, Format::Ne),
         "usCo\tusDesc\tus1.0\tusInt\tus(C)\tus.DLL\tusProduct\tus2.0"},
        {Image("notrans.ocx", noTranslation), "\t\t\t\t\t\t\t"},
        {Image("sparse.vxd", sparse, Format::Le), "Caf\u00e9\t\t\t\t\t\t\t"},
        {Write("readme.txt", {'h', 'i', '\n'}), "\t\t\t\t\t\t\t"},
    };
    std::vector<std::string> args{"verinfo"};
    std::string expected;
    for (const Case& c : cases) {
        args.push_back(c.file);
        expected += c.file + "\t" + c.row + "\n";
    }
    const auto run = Tool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
}

TEST_F(Verinfo, SeparatorsInsideValuesAreEscaped) {
    VersionInfo info;
    info.tables.push_back(StringTable{0x0409,
                                      0x04B0,
                                      {{"CompanyName", "a\tb"},
                                       {"FileDescription", "line one\nline two"},
                                       {"FileVersion", "C:\\WINDOWS\\"},
                                       {"InternalName", "  spaced  "}},
                                      ""});
    const std::string file = Image("odd\tname.dll", info);
    const auto run = Tool({"verinfo", file});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string escapedPath = (dir_ / "odd\\tname.dll").string();
    EXPECT_EQ(run.out, escapedPath +
                           "\ta\\tb\tline one\\nline two\tC:\\\\WINDOWS\\\\\t  spaced  \t\t\t\t\n");
}

TEST_F(Verinfo, UnreadableFilesAreReportedAndTheRestStillPrinted) {
    VersionInfo info;
    info.tables.push_back(StringTable{0x0409, 0x04B0, {{"CompanyName", "Korvane"}}, ""});
    const std::string good = Image("good.dll", info);
    const std::string missing = (dir_ / "missing.dll").string();
    const auto run = Tool({"verinfo", missing, dir_.string(), good});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, good + "\tKorvane\t\t\t\t\t\t\t\n");
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(dir_.string() + ":"), std::string::npos) << run.err;
}

TEST_F(Verinfo, WithoutFilesIsAUsageError) {
    const auto run = Tool({"verinfo"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("verinfo FILE"), std::string::npos) << run.err;
}

}  // namespace
