// Settings: defaults of a fresh installation, the exact "Y"/"N" rules, what each Let stores,
// and that every Get reads the registry again.
#include <functional>

#include "platform/automation/Errors.h"

#include "tests/vlt/core/CoreTestSupport.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"

namespace {

namespace props = modVLTProperties;
using coretest::CoreTest;

class SettingsTest : public CoreTest {
  protected:
    SettingsTest() { LoadHost(); }
};

struct BoolOption {
    const char* name;  // the registry value
    bool (*get)();
    void (*let)(bool);
    bool fresh;  // what a fresh installation reads
};

const BoolOption kOptions[] = {
    {"SmartCheck", props::SmartCheck, props::SmartCheck, true},
    {"ShowRecommended", props::ShowRecommended, props::ShowRecommended, true},
    {"ACM", props::ACM, props::ACM, false},
    {"DLL", props::DLL, props::DLL, true},
    {"DRV", props::DRV, props::DRV, false},
    {"OCX", props::OCX, props::OCX, false},
    {"TLB", props::TLB, props::TLB, false},
    {"VBX", props::VBX, props::VBX, false},
    {"VXD", props::VXD, props::VXD, false},
    {"AllDups", props::AllDups, props::AllDups, false},
    {"AutoScan", props::Auto, props::Auto, false},
    {"Backup", props::Backup, props::Backup, true},
};

TEST_F(SettingsTest, FreshInstallationReadsTheDefaults) {
    for (const BoolOption& option : kOptions) {
        EXPECT_EQ(option.get(), option.fresh) << option.name;
    }
    EXPECT_EQ(props::BackupPath(), coretest::kProgramDir);
    EXPECT_EQ(props::CompareFields(), 18);
    EXPECT_FALSE(props::EXE());
    // Reading never writes.
    EXPECT_EQ(Settings().find("\"DLL\""), std::string::npos);
}

TEST_F(SettingsTest, EveryLetStoresYOrNUnderItsValueName) {
    for (const BoolOption& option : kOptions) {
        option.let(!option.fresh);
        EXPECT_NE(Settings().find(std::string("\"") + option.name + "\"=\"" +
                                  (option.fresh ? "N" : "Y") + "\""),
                  std::string::npos)
            << option.name;
        EXPECT_EQ(option.get(), !option.fresh) << option.name;
    }
}

TEST_F(SettingsTest, StoredTextsAreReadByTheExactRules) {
    struct Case {
        const char* value;
        const char* stored;
        bool (*get)();
        bool expected;
    } const cases[] = {
        // Only "Y" switches smart matching and recommendations on...
        {"SmartCheck", "y", props::SmartCheck, false},
        {"SmartCheck", "Yes", props::SmartCheck, false},
        {"SmartCheck", "", props::SmartCheck, false},
        {"ShowRecommended", "y", props::ShowRecommended, false},
        // ...and only "N" switches anything else off.
        {"DLL", "n", props::DLL, true},
        {"DLL", "No", props::DLL, true},
        {"DLL", "N", props::DLL, false},
        {"ACM", "y", props::ACM, true},
        {"ACM", "", props::ACM, true},
        {"AutoScan", "n", props::Auto, true},
        {"Backup", "N", props::Backup, false},
    };
    for (const Case& c : cases) {
        Store({{c.value, c.stored}});
        EXPECT_EQ(c.get(), c.expected) << c.value << "=\"" << c.stored << "\"";
    }
}

TEST_F(SettingsTest, ShowRecommendedIsOffWheneverSmartCheckIsOff) {
    Store({{"ShowRecommended", "Y"}, {"SmartCheck", "N"}});
    EXPECT_FALSE(props::ShowRecommended());
    Store({{"SmartCheck", "Y"}});
    EXPECT_TRUE(props::ShowRecommended());
}

TEST_F(SettingsTest, EveryGetReadsTheRegistryAgain) {
    EXPECT_TRUE(props::DLL());
    Store({{"DLL", "N"}});
    EXPECT_FALSE(props::DLL());
    Store({{"BackupPath", "D:\\SAFE\\"}});
    EXPECT_EQ(props::BackupPath(), "D:\\SAFE\\");
}

TEST_F(SettingsTest, BackupPathIsStoredWithATrailingBackslash) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\BACK", "C:\\BACK\\"},
        {"C:\\BACK\\", "C:\\BACK\\"},
        {"C:\\", "C:\\"},
    };
    for (const auto& [set, stored] : cases) {
        props::BackupPath(set);
        EXPECT_EQ(props::BackupPath(), stored) << set;
    }
}

TEST_F(SettingsTest, CompareFieldsKeepsTheMaskAndSurvivesAMangledValue) {
    props::CompareFields(1042);
    EXPECT_EQ(props::CompareFields(), 1042);
    Store({{"CompareFields", "130"}});
    EXPECT_EQ(props::CompareFields(), 130);
    Store({{"CompareFields", "all of them"}});
    EXPECT_EQ(props::CompareFields(), 18);
}

TEST_F(SettingsTest, ExeIsHeldForTheRunOnly) {
    props::EXE(true);
    EXPECT_TRUE(props::EXE());
    EXPECT_EQ(Settings().find("EXE"), std::string::npos);
    vlt::ResetState();
    EXPECT_FALSE(props::EXE());
}

TEST_F(SettingsTest, GoScanLooksForDashSAnywhereInTheUpperCasedCommandLine) {
    const std::pair<const char*, bool> cases[] = {
        {"-S", true},
        {"-s", true},
        {"/nologo -s", true},
        {"-Silent", true},
        {"", false},
        {"-TRACE", false},
        {"/S", false},
        {"C:\\TEMP\\S", false},
        {"-TRACE:-setup", true},
    };
    for (const auto& [commandLine, unattended] : cases) {
        vlt::State().CommandLine = commandLine;
        EXPECT_EQ(props::GoScan(), unattended) << commandLine;
    }
}

TEST_F(SettingsTest, WithoutTheControlHostASettingFailsAsAnUnsetReference) {
    vlt::State().QzRegistry1 = nullptr;
    try {
        props::DLL();
        FAIL() << "no error";
    } catch (const automation::Error& error) {
        EXPECT_EQ(error.Number(), automation::ObjectVariableNotSet);
    }
}

TEST_F(CoreTest, LetsAndGetsTraceUnderTheirProcedureNames) {
    LoadHost("-TRACE");
    props::Auto(true);
    props::SmartCheck();
    const std::string trace = machine.Read(std::string(coretest::kProgramDir) + "\\VLT.trc");
    for (const char* line :
         {": +Enter modVLTProperties.Auto Let", ": -Exit modVLTProperties.Auto Let",
          ": +Enter modVLTProperties.SmartCheck Get", ": -Exit modVLTProperties.SmartCheck Get"}) {
        EXPECT_NE(trace.find(line), std::string::npos) << line;
    }
}

}  // namespace
